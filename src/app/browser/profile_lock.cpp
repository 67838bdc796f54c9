#include "app/browser/profile_lock.h"

#include <QLockFile>

#include "app/browser/browser_profile.h"

namespace tarvisk {

ProfileLock::ProfileLock() : m_lock(std::make_unique<QLockFile>(BrowserProfileFolder() + QStringLiteral(".lock"))) {
    // A lock is never left to go stale while its program runs.
    m_lock->setStaleLockTime(0);
    m_held = m_lock->tryLock(0);
    if (!m_held) {
        QString host;
        m_lock->getLockInfo(&m_ownerProcess, &host, &m_ownerName);
    }
}

ProfileLock::~ProfileLock() = default;

QString ProfileLock::busyText() const {
    const QString owner =
        m_ownerProcess > 0 ? QStringLiteral("%1，进程 %2").arg(m_ownerName).arg(m_ownerProcess) : m_ownerName;
    return owner.isEmpty() ? QStringLiteral("浏览器资料正被另一个程序使用")
                           : QStringLiteral("浏览器资料正被另一个程序（%1）使用").arg(owner);
}

} // namespace tarvisk
