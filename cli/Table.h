#pragma once
// Tables on a terminal: names from a card are shown with their control characters replaced, and the
// columns are as wide as their widest cell as a terminal shows it (UTF-8, wide East Asian letters).

#include <cstddef>
#include <string>
#include <vector>

namespace cli {

// The columns a terminal gives the UTF-8 text (a byte that is not UTF-8 counts as one column).
size_t DisplayWidth(const std::string& text);
// The text with each control character replaced by '?', so a name cannot move the cursor or break
// a line of a table.
std::string Printable(const std::string& text);

// Prints the rows with their cells left-aligned in columns, one space apart. Each column is as wide as
// its widest cell and at least its entry in `minWidths`; a row's last cell is never padded and does
// not widen its column (a row may end with a note in place of its remaining cells).
void PrintTable(const std::vector<std::vector<std::string>>& rows, const std::vector<size_t>& minWidths);

} // namespace cli
