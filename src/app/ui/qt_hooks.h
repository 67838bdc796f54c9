#pragma once

namespace tarvisk {

/// Connects the core's hooks to the windows: messages from the core become message boxes (ShowMessageBox, shown
/// on the window thread even when a job on another thread sends them), and the event pump that the request
/// routines call while they wait processes window events, only when called on the window thread. Needs a
/// QApplication.
void InstallWindowHooks();

} // namespace tarvisk
