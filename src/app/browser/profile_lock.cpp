#include "app/browser/profile_lock.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>

#include "app/browser/browser_profile.h"

namespace tarvisk {

namespace {

// The most of a lock file read: its few lines of process id, program, host and machine.
constexpr qint64 kLongestLock = 4096;

/// What a lock file says, as QLockFile writes it: the process id, the program's name, the host name, the machine's
/// id and its boot's id, one a line.
struct LockLines {
    bool readable = false;
    qint64 process = 0;
    QString name;
    QString host;
    QByteArray boot;
};

LockLines readLock(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QList<QByteArray> lines = file.read(kLongestLock).split('\n');
    LockLines lock;
    bool number = false;
    lock.process = lines.size() >= 3 ? lines[0].toLongLong(&number) : 0;
    lock.readable = number && lock.process > 0;
    if (lock.readable) {
        lock.name = QString::fromUtf8(lines[1]);
        lock.host = QString::fromUtf8(lines[2]);
        lock.boot = lines.size() >= 5 ? lines[4] : QByteArray();
    }
    return lock;
}

} // namespace

ProfileLock::ProfileLock() : m_path(BrowserProfileFolder() + QStringLiteral(".lock")) {
    // Whatever stands at the path is looked at before it is opened: a pipe there would hold the open for good.
    const QFileInfo info(m_path);
    if (info.isSymLink() || (info.exists() && !info.isFile())) {
        m_refusal = Refusal::NotAFile;
        return;
    }
    if (info.exists()) {
        const LockLines lock = readLock(m_path);
        const bool thisComputer = lock.host == QSysInfo::machineHostName();
        if (lock.readable && !thisComputer) {
            m_refusal = Refusal::Foreign;
            m_ownerProcess = lock.process;
            m_ownerName = lock.name;
            m_ownerHost = lock.host;
            return;
        }
        // Nothing a program would write, or written before this computer last started: no program holds it.
        if (!lock.readable || (!lock.boot.isEmpty() && lock.boot != QSysInfo::bootUniqueId())) {
            QFile::remove(m_path);
        }
    }
    m_lock = std::make_unique<QLockFile>(m_path);
    // A lock is never left to go stale while its program runs.
    m_lock->setStaleLockTime(0);
    m_held = m_lock->tryLock(0);
    if (!m_held) {
        QString host;
        m_lock->getLockInfo(&m_ownerProcess, &host, &m_ownerName);
    }
}

ProfileLock::~ProfileLock() = default;

QString ProfileLock::refusalText(const QString& then) const {
    switch (m_refusal) {
    case Refusal::NotAFile:
        return QStringLiteral("浏览器资料的锁文件 %1 不是普通文件（是文件夹、链接或管道），请删除它后再%2")
            .arg(m_path, then);
    case Refusal::Foreign:
        return QStringLiteral(
                   "浏览器资料正被另一台电脑（%1）上的程序（%2，进程 %3）使用；如果那里没有在运行，请删除锁文件 "
                   "%4 后再%5")
            .arg(m_ownerHost, m_ownerName)
            .arg(m_ownerProcess)
            .arg(m_path, then);
    case Refusal::Busy:
        break;
    }
    const QString owner =
        m_ownerProcess > 0 ? QStringLiteral("%1，进程 %2").arg(m_ownerName).arg(m_ownerProcess) : m_ownerName;
    const QString busy = owner.isEmpty() ? QStringLiteral("浏览器资料正被另一个程序使用")
                                         : QStringLiteral("浏览器资料正被另一个程序（%1）使用").arg(owner);
    return busy + QStringLiteral("，请等它结束后再") + then;
}

} // namespace tarvisk
