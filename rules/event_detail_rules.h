#pragma once
// Rules of the event detail dialog that need no window: which list column
// each field shows, how much of a cell it shows and which step buttons are
// enabled at a row.

#include <array>
#include <string>
#include <string_view>

namespace quorvin::views {

// A cell is read with room for 1024 bytes: at most 1023 bytes of it are
// shown, never ending inside a double-byte character.
constexpr std::size_t kDetailCellBytes = 1023;
std::string DetailCellText(std::string_view cell);

// The list column each field shows, in the order the fields are filled:
// time, type, log, computer, source, message, event id.
constexpr std::array<int, 7> kDetailColumns = {2, 1, 3, 4, 5, 7, 6};

// "↑前のｲﾍﾞﾝﾄ" is enabled exactly when `row` is not the first row,
// "↓次のｲﾍﾞﾝﾄ" exactly when it is not the last of `count` rows.
inline bool PreviousEnabled(int row) { return row != 0; }
inline bool NextEnabled(int row, int count) { return row != count - 1; }

}  // namespace quorvin::views
