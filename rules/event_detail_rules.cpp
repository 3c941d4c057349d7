#include "rules/event_detail_rules.h"

#include "core/display_text.h"
#include "gui/resources/resource.h"

namespace quorvin::views {

std::string DetailCellText(std::string_view cell) { return app::CutToBytes(cell, kDetailCellBytes); }

// Columns 2, 1, 3, 4, 5, 7 and 6, in that order.
const std::array<DetailField, 7> kDetailFields = {{
    {IDC_DETAIL_TIME, 2},
    {IDC_DETAIL_TYPE, 1},
    {IDC_DETAIL_LOG, 3},
    {IDC_DETAIL_COMPUTER, 4},
    {IDC_DETAIL_SOURCE, 5},
    {IDC_DETAIL_MESSAGE, 7},
    {IDC_DETAIL_EVENT_ID, 6},
}};

}  // namespace quorvin::views
