// IndexLogFile finds the records ParseLogFile gives, in the same order, with
// the same notes and errors, reading the file only through FileBytes; the
// bytes ReadRecordBytes reads at each place are the record's.

#include <gtest/gtest.h>

#include <random>

#include "formats/evt/evt.h"
#include "support/evt_test_util.h"

namespace quorvin::evt {
namespace {

using namespace testing;

// A file image read through FileBytes, as a file on disk is: zeros past its end.
class Image final : public FileBytes {
public:
    explicit Image(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    void Read(std::uint32_t offset, std::uint32_t n, std::uint8_t* out) const override {
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint64_t at = std::uint64_t{offset} + i;
            out[i] = at < bytes_.size() ? bytes_[at] : 0;
        }
    }

private:
    const std::vector<std::uint8_t>& bytes_;
};

void ExpectSameAsParse(const std::vector<std::uint8_t>& file, const std::string& what) {
    const ParsedLog parsed = Parse(file);
    std::vector<RecordSpan> spans;
    const Image image(file);
    const ParsedLog indexed = IndexLogFile(image, file.size(), spans);
    ASSERT_EQ(indexed.error, parsed.error) << what;
    EXPECT_EQ(indexed.message, parsed.message) << what;
    EXPECT_EQ(indexed.notes, parsed.notes) << what;
    EXPECT_EQ(indexed.flags, parsed.flags) << what;
    EXPECT_TRUE(indexed.records.empty()) << what;
    ASSERT_EQ(spans.size(), parsed.records.size()) << what;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        EXPECT_EQ(spans[i].offset, parsed.records[i].offset) << what << " record " << i;
        EXPECT_EQ(ReadRecordBytes(image, file.size(), spans[i]), parsed.records[i].raw) << what << " record " << i;
    }
}

TEST(EvtLogIndex, FindsWhatTheWholeFileParseFindsInEveryKindOfFile) {
    const std::vector<Event> events = MakeEvents(120);
    ExpectSameAsParse(WriteLogFile({}), "empty");
    ExpectSameAsParse(WriteLogFile(events), "plain");
    // Wrapped at every size: records split across the end, padding, a split EOF record.
    for (std::uint32_t size = 0x200; size <= 0x700; size += 4) {
        WriteOptions options;
        options.maxSize = size;
        ExpectSameAsParse(WriteLogFile(MakeEvents(40), options), "wrapped " + std::to_string(size));
    }
    for (std::size_t headerEvents : {0, 50, 120}) {
        WriteOptions options;
        options.maxSize = 0x1000;
        options.dirty = true;
        options.dirtyHeaderEvents = headerEvents;
        ExpectSameAsParse(WriteLogFile(events, options), "dirty " + std::to_string(headerEvents));
    }
    std::vector<std::uint8_t> file = WriteLogFile(events);
    file.resize(0x30 + 0x500 + 2);  // cut short, at no multiple of 4
    ExpectSameAsParse(file, "cut");
    ExpectSameAsParse(std::vector<std::uint8_t>(0x20, 0), "shorter than a header");
}

TEST(EvtLogIndex, RandomDamageGivesTheSameRecordsAndNotes) {
    WriteOptions options;
    options.maxSize = 0x400;
    const std::vector<std::uint8_t> good = WriteLogFile(MakeEvents(30), options);
    std::mt19937 random(4242);
    for (int round = 0; round < 1500; ++round) {
        std::vector<std::uint8_t> file = good;
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = random() % file.size();
            switch (random() % 4) {
                case 0: file[at] = static_cast<std::uint8_t>(random()); break;
                case 1: SetU32(file, at & ~std::size_t{3}, static_cast<std::uint32_t>(random() % 0x500)); break;
                case 2: SetU32(file, at & ~std::size_t{3}, 0x28); break;
                default: file.resize(std::max<std::size_t>(at, 0x30)); break;
            }
        }
        ExpectSameAsParse(file, "round " + std::to_string(round));
        if (HasFailure()) return;
    }
}

}  // namespace
}  // namespace quorvin::evt
