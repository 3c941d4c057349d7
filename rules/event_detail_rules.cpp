#include "rules/event_detail_rules.h"

#include "core/display_text.h"

namespace quorvin::views {

std::string DetailCellText(std::string_view cell) { return app::CutToBytes(cell, kDetailCellBytes); }

}  // namespace quorvin::views
