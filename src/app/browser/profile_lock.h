#pragma once

#include <memory>

#include <QString>

class QLockFile;

namespace tarvisk {

/// Keeps other programs off the program's persistent browser profile while it lives: two programs (the desktop
/// program and a windowless run of it from cron, say) never open one profile at once, as the engine would corrupt
/// its stores or refuse. A lock file beside the profile's folder, taken at once or not at all; one left by a
/// program that died is taken over. Needs the application's name (the profile is the program's own).
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

    /// What a program that finds the profile held tells its user: u"浏览器资料正被另一个程序（tarvisk，进程
    /// 1234）使用".
    QString busyText() const;

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
    qint64 m_ownerProcess = 0;
    QString m_ownerName;
};

} // namespace tarvisk
