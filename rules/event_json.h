#pragma once
// The events as JSON Lines: one UTF-8 object per event with flat dotted
// keys named as the Elastic Common Schema and the Windows-log shippers name
// them (docs/cli.md, "JSON Lines", has the table).

#include <cstdint>
#include <string>

#include "engine/collection_view.h"

namespace quorvin::views {
struct SummaryRow;
}

namespace quorvin::run {

// "YYYY-MM-DDTHH:MM:SSZ" of seconds since 1970-01-01 00:00 UTC.
std::string IsoUtcTime(std::int64_t seconds);

// The line of one event, ending in "\n". `row.facts` must be set (the run
// made it with RunEnvironment::eventFacts). Every text is converted from
// CP932; bytes that form no character become U+FFFD.
std::string EventJsonLine(const engine::EventRow& row, const std::string& agentVersion);

// The line of one group of the summary: the events' keys for its
// computer, log, type, source and event ID (`host.name`, `winlog.channel`,
// `log.level`, `event.provider`, `winlog.event_id`), then `count`, and
// `first` and `last` as `event.created` writes a time (the time texts when
// the rows carried no facts).
std::string SummaryJsonLine(const views::SummaryRow& row);

}  // namespace quorvin::run
