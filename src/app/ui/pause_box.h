#pragma once

#include "jobs/ranking/stored_walk.h"

class QSpinBox;
class QWidget;

// The pause a user sets so that a walk or a batch of checks goes at the pace of a person: one value, stored in the
// settings file under "Pause" and shared by every window that pauses (the ranking window between pages, the batch
// check between accounts).

namespace tarvisk {

/// The longest pause the windows offer, in seconds.
inline constexpr int kMaxPauseBoxSeconds = kMaxWindowPauseSeconds;

/// A box for the pause: 0 ("不停顿") to kMaxPauseBoxSeconds seconds (" 秒"), 0 until set.
QSpinBox* MakePauseBox(QWidget* parent);

/// Stores the pause for every window (StoredPauseSeconds reads it).
void StorePauseSeconds(int seconds);

} // namespace tarvisk
