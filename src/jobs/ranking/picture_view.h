#pragma once

#include <string>

#include "table/result_table.h"

// The picture view of the ranking results: the table's rows as a grid of 80 x 80 item pictures,
// four a line, each with the row's position text as its tool tip. The window writes the HTML
// into its browser's document body.

namespace tarvisk {

/// The margin style the picture view's document body gets.
inline constexpr char16_t kPictureViewMargin[] = u"0px;";

/// The id of the marked picture's element, for the window to bring it into view.
inline constexpr char16_t kMarkedPictureId[] = u"found";

/// The grid HTML of the table's "位置" and "图片" cells: a "<div>" per group of four rows, an
/// "<img .../> " per row. The position text and the picture address are escaped for the quoted
/// attributes they go into, so a listing cannot add markup or script. An empty table gives "".
/// The picture of row `markedRow` (from 1; 0: none), the item the walk found, has the id
/// kMarkedPictureId and a frame drawn over its edge, which moves no other picture.
std::u16string PictureViewHtml(const ResultTable& table, int markedRow = 0);

} // namespace tarvisk
