#pragma once

#include "jobs/fetch_mode.h"

class QComboBox;

// 读取方式: the box in the ranking window and in the shop window that chooses how their jobs reach their pages.

namespace tarvisk {

/// Fills `box` with the modes (kFetchModeNames) and the tooltip that says what each does.
void FillFetchModeBox(QComboBox& box);
/// The mode `box` shows.
FetchMode FetchModeShown(const QComboBox& box);
/// Shows `mode` in `box` without telling its listeners.
void ShowFetchMode(QComboBox& box, FetchMode mode);

} // namespace tarvisk
