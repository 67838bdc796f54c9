#pragma once

#include <optional>

#include <QString>

class QWebEngineProfile;

namespace tarvisk {

/// The profile every embedded browser of the program shares. By default it is persistent: a named profile
/// stored in the per-user data folder (readable by the user only), with every cookie kept on disk, so a login
/// made in the login browser survives a restart. Its cookie store is kept in step with the store the request
/// routines use. Created on first use; needs a QApplication.
QWebEngineProfile* BrowserProfile();

/// The folder the persistent profile keeps its data in (readable by the user only; made when missing).
QString BrowserProfileFolder();

/// Chooses an off-the-record profile (demo mode, tests). Takes effect when called before the first
/// BrowserProfile().
void UseOffTheRecordProfile(bool offTheRecord);

/// What keeps the browser from starting here, said so that the user knows what to do: run as root, the engine's
/// sandbox refuses to start unless it is turned off (QTWEBENGINE_DISABLE_SANDBOX, or --no-sandbox in
/// QTWEBENGINE_CHROMIUM_FLAGS). None when nothing does.
std::optional<QString> BrowserStartProblem();

} // namespace tarvisk
