#pragma once
// Channels of a test network: .evtx files of numbered events, and the rows
// a run gives for them, as the reader reads the file.

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "core/local_time.h"
#include "engine/event_row.h"
#include "engine/xml_event.h"
#include "support/evtx_test_util.h"

namespace quorvin::evtx::test {

// Records `first`..`last` of a channel; `rendered`: each carries the text
// its computer rendered (RenderingInfo), as forwarded events do.
inline std::vector<std::uint8_t> ChannelFile(std::uint64_t first, std::uint64_t last, std::uint16_t eventId,
                                             bool rendered = false, std::uint64_t timeShift = 0) {
    std::vector<Node> parts{Element(
        u"EventData", {}, {Element(u"Data", {{u"Name", {Text(u"Index")}}}, {Sub(kSystemValues, type::kUInt32)})})};
    if (rendered)
        parts.push_back(Element(u"RenderingInfo", {{u"Culture", {Text(u"ja-JP")}}},
                                {Element(u"Message", {}, {Sub(kSystemValues + 1, type::kString)}),
                                 Element(u"Level", {}, {Text(u"情報")}), Element(u"Task", {}, {Text(u"ﾛｸﾞｵﾝ")})}));
    Template data;
    data.root = EventElement(std::move(parts));
    std::vector<WrittenRecord> records;
    for (std::uint64_t n = first; n <= last; ++n) {
        WrittenRecord record{n, 131124751716816408ull + n * 123456789ull, {0, SystemValues(n, eventId)}};
        record.instance.values[kTimeCreated] =
            Number(type::kFileTime, 131124751716816408ull + (n + timeShift) * 123456789ull, 8);
        record.instance.values.push_back(Number(type::kUInt32, n, 4));
        record.instance.values.push_back(String(u"アカウントがログオンしました。\r\n番号 " +
                                                std::u16string(1, static_cast<char16_t>(u'0' + n % 10))));
        records.push_back(std::move(record));
    }
    return WriteFile({data}, records);
}

// The rows a run gives the channel of `file` on `computer`: the reader's
// records, newest first, as XmlEventRow makes them.
inline std::vector<engine::EventRow> ExpectedRows(const std::vector<std::uint8_t>& file,
                                                  const std::string& computer, const std::string& channel) {
    FileReader reader(file.data(), file.size());
    std::vector<Record> records;
    Record record;
    while (reader.Next(record)) records.push_back(record);
    std::sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.id > b.id; });
    std::vector<engine::EventRow> rows;
    for (const Record& r : records) {
        std::tm local{};
        app::ToLocalCalendar(engine::XmlEventTime(r), local);
        rows.push_back(engine::XmlEventRow(r, engine::TimeText(local), false));
        rows.back().columns[3] = channel;
        rows.back().columns[4] = computer;
    }
    return rows;
}

}  // namespace quorvin::evtx::test
