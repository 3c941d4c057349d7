#include "rules/event_list_rules.h"

#include "core/display_text.h"

namespace quorvin::views {

int EventColumnWidth(int column, int titleWidth) {
    switch (column) {
    case 0: return 18;
    case 1: return 50;
    case 2: return titleWidth + 100;
    case 3: return titleWidth + 20;
    case 4: return titleWidth + 25;
    case 5: return titleWidth + 44;
    case 6: return titleWidth + 44;
    case 7: return titleWidth + 500;
    default: return titleWidth;
    }
}

std::string PositionText(int row, int count) {
    const int shown = row < 0 ? 0 : row + 1;
    return std::to_string(shown) + "/" + std::to_string(count);
}

std::string TooltipText(std::string_view message) { return app::CutToBytes(message, kTooltipBytes); }

}  // namespace quorvin::views
