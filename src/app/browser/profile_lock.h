#pragma once

#include <memory>

#include <QString>

class QLockFile;

namespace tarvisk {

/// Keeps other programs off the program's persistent browser profile while it lives: two programs (the desktop
/// program and a windowless run of it from cron, say) never open one profile at once, as the engine would corrupt
/// its stores or refuse. A lock file beside the profile's folder, taken at once or not at all, and never waited
/// for (whatever stands at its path). One left by a program that died, an empty or unreadable one, or one written
/// on this computer before it last started is taken over; one written on another computer (a shared folder) is
/// not, and what stands at the path when it is no file (a folder, a link, a pipe) is left alone: the message names
/// the file in both cases. Needs the application's name (the profile is the program's own).
class ProfileLock {
public:
    ProfileLock();
    ~ProfileLock();
    ProfileLock(const ProfileLock&) = delete;
    ProfileLock& operator=(const ProfileLock&) = delete;

    /// True when this program holds the profile.
    bool held() const { return m_held; }
    /// When another program holds it: that program's process id (0 when the lock does not say), and its name.
    qint64 ownerProcess() const { return m_ownerProcess; }
    QString ownerName() const { return m_ownerName; }

    /// Why the program cannot have the profile, with what to do; `then` is what the user does afterwards
    /// ("打开" or "运行"): u"浏览器资料正被另一个程序（tarvisk，进程 1234）使用，请等它结束后再运行".
    QString refusalText(const QString& then) const;

private:
    enum class Refusal { Busy, Foreign, NotAFile };

    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
    Refusal m_refusal = Refusal::Busy;
    qint64 m_ownerProcess = 0;
    QString m_ownerName;
    QString m_ownerHost;
};

} // namespace tarvisk
