// The simulated channel service against formats/evtx's reader of the same
// files: every event it hands out, batch by batch, is the reader's record,
// newest first, from the start, after a bookmark and from a start time;
// and the faults a computer.ini sets.

#include "services/simulated/simulated_network.h"

#include "engine/xml_event.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/evtx_test_util.h"
#include "support/temp_folder.h"

namespace evtx = quorvin::evtx;
namespace platform = quorvin::platform;
using quorvin::network::SimulatedNetwork;
using quorvin::network::test::TempFolder;

namespace {

constexpr const char* kSysmon = "Microsoft-Windows-Sysmon/Operational";

// Records `first`..`last`, written in chunks as a wrapped log holds them:
// the newest part of the ids first, then the oldest.
std::vector<std::uint8_t> ChannelFile(std::uint64_t first, std::uint64_t last, std::uint16_t eventId) {
    using namespace evtx::test;
    evtx::Template data;
    data.root = EventElement(
        {Element(u"EventData", {}, {Element(u"Data", {{u"Name", {Text(u"Index")}}}, {Sub(kSystemValues, evtx::type::kUInt32)})})});
    std::vector<evtx::WrittenRecord> records;
    const std::uint64_t middle = first + (last - first) * 2 / 3;
    for (std::uint64_t pass = 0; pass < 2; ++pass)
        for (std::uint64_t n = pass == 0 ? middle + 1 : first; n <= (pass == 0 ? last : middle); ++n) {
            evtx::WrittenRecord record{n, 131124751716816408ull + n * 123456789ull, {0, SystemValues(n, eventId)}};
            record.instance.values.push_back(Number(evtx::type::kUInt32, n, 4));
            records.push_back(std::move(record));
        }
    return evtx::WriteFile({data}, records);
}

// What the reader gives for the file, as the query asks for it, newest first.
std::vector<evtx::Record> Expected(const std::vector<std::uint8_t>& file, const platform::ChannelQuery& query) {
    evtx::FileReader reader(file.data(), file.size());
    std::vector<evtx::Record> records;
    evtx::Record record;
    while (reader.Next(record))
        if (record.id > query.afterRecord && quorvin::engine::XmlEventTime(record) >= query.since)
            records.push_back(record);
    std::sort(records.begin(), records.end(), [](const evtx::Record& a, const evtx::Record& b) { return a.id > b.id; });
    return records;
}

bool Same(const evtx::Record& a, const evtx::Record& b) {
    if (a.id != b.id || a.written != b.written || a.offset != b.offset || a.present != b.present ||
        a.data.size() != b.data.size())
        return false;
    for (std::size_t f = 0; f < evtx::kFieldCount; ++f)
        if (a.System(static_cast<evtx::Field>(f)) != b.System(static_cast<evtx::Field>(f))) return false;
    for (std::size_t i = 0; i < a.data.size(); ++i)
        if (a.Text(a.data[i].name) != b.Text(b.data[i].name) || a.Text(a.data[i].value) != b.Text(b.data[i].value))
            return false;
    return true;
}

// Every batch of a query until it ends: the events, and the code it ended with.
platform::Error ReadAll(platform::ChannelSession& session, const platform::ChannelQuery& query,
                        std::vector<evtx::Record>& events, std::size_t& batches) {
    events.clear();
    batches = 0;
    std::unique_ptr<platform::ChannelEvents> result;
    if (const platform::Error e = session.Query(query, result)) return e;
    std::vector<evtx::Record> batch;
    for (;;) {
        const platform::Error e = result->Next(platform::kChannelBatch, batch);
        if (e != platform::error::kSuccess) {
            EXPECT_TRUE(batch.empty());
            return e;
        }
        EXPECT_GE(batch.size(), 1u);
        EXPECT_LE(batch.size(), platform::kChannelBatch);
        ++batches;
        for (evtx::Record& r : batch) events.push_back(std::move(r));
    }
}

class Channels : public ::testing::Test {
protected:
    void SetUp() override {
        sysmon = ChannelFile(1, 900, 1);
        forwarded = ChannelFile(40, 90, 4624);
        temp.Write("network.ini", "[local]\ncomputer=admin\n");
        temp.Write("ADMIN/logs/System.evt", "");
        temp.Write("PC1/LOGS/Microsoft-Windows-Sysmon%4Operational.evtx", sysmon);
        temp.Write("PC1/LOGS/ForwardedEvents.evtx", forwarded);
        temp.Write("PC2/computer.ini", "[services]\nchannels=off\n");
        temp.Write("PC2/logs/ForwardedEvents.evtx", forwarded);
        temp.Write("PC3/computer.ini", "[faults]\nReadFailsAfter=300,1726\n");
        temp.Write("PC3/logs/Microsoft-Windows-Sysmon%4Operational.evtx", sysmon);
        temp.Write("PC4/computer.ini", "[services]\nchannels=auth\n[accounts]\nuser=pw\n");
        std::string error;
        network = SimulatedNetwork::Open(temp.Path(), error);
        ASSERT_TRUE(network) << error;
    }

    TempFolder temp;
    std::vector<std::uint8_t> sysmon, forwarded;
    std::unique_ptr<SimulatedNetwork> network;
};

TEST_F(Channels, EveryEventIsTheReadersRecordNewestFirst) {
    std::unique_ptr<platform::ChannelSession> session;
    ASSERT_EQ(network->Services().channels.OpenSession("\\\\PC1", nullptr, session), 0u);
    const std::vector<std::pair<const char*, const std::vector<std::uint8_t>*>> channels = {
        {kSysmon, &sysmon}, {"forwardedevents", &forwarded}};
    for (const auto& [name, file] : channels) {
        const std::vector<evtx::Record> all = Expected(*file, {name, 0, 0});
        ASSERT_GT(all.size(), 40u);
        const std::int64_t middleTime = quorvin::engine::XmlEventTime(all[all.size() / 2]);
        for (const platform::ChannelQuery& query : {platform::ChannelQuery{name, 0, 0},
                                                   platform::ChannelQuery{name, all[all.size() / 3].id, 0},
                                                   platform::ChannelQuery{name, 0, middleTime},
                                                   platform::ChannelQuery{name, all.front().id, 0}}) {
            SCOPED_TRACE(std::string(name) + " after " + std::to_string(query.afterRecord) + " since " +
                         std::to_string(query.since));
            const std::vector<evtx::Record> expected = Expected(*file, query);
            std::vector<evtx::Record> events;
            std::size_t batches = 0;
            EXPECT_EQ(ReadAll(*session, query, events, batches), platform::error::kNoMoreItems);
            ASSERT_EQ(events.size(), expected.size());
            EXPECT_EQ(batches, (expected.size() + platform::kChannelBatch - 1) / platform::kChannelBatch);
            for (std::size_t i = 0; i < events.size(); ++i) {
                ASSERT_TRUE(Same(events[i], expected[i])) << "event " << i << ", record " << expected[i].id;
            }
        }
    }
    EXPECT_EQ(Expected(sysmon, {kSysmon, 0, 0}).size(), 900u);
}

TEST_F(Channels, FaultsAndMissingChannels) {
    platform::ChannelService& service = network->Services().channels;
    std::unique_ptr<platform::ChannelSession> session;
    EXPECT_EQ(service.OpenSession("\\\\PC2", nullptr, session), platform::error::kRpcServerUnavailable);   // channels=off
    EXPECT_EQ(service.OpenSession("\\\\ADMIN", nullptr, session), platform::error::kRpcServerUnavailable);  // no .evtx file
    EXPECT_EQ(service.OpenSession("\\\\NOWHERE", nullptr, session), platform::error::kRpcServerUnavailable);
    EXPECT_FALSE(session);
    EXPECT_EQ(service.OpenSession("\\\\PC4", nullptr, session), platform::error::kAccessDenied);  // channels=auth
    // One of the computer's accounts opens it too; any other is refused as the shares refuse it.
    const platform::ChannelAccount right{"USER", "pw"}, wrong{"user", "PW"}, unknown{"other", "pw"};
    EXPECT_EQ(service.OpenSession("\\\\PC4", &right, session), 0u);
    EXPECT_EQ(service.OpenSession("\\\\PC4", &wrong, session), platform::error::kLogonFailure);
    EXPECT_EQ(service.OpenSession("\\\\PC4", &unknown, session), platform::error::kLogonFailure);
    EXPECT_EQ(service.OpenSession("\\\\PC1", &unknown, session), platform::error::kLogonFailure);
    EXPECT_FALSE(session);
    ASSERT_EQ(network->Services().connections.AddConnection("\\\\PC4\\IPC$", "user", "pw"), 0u);
    EXPECT_EQ(service.OpenSession("\\\\PC4", nullptr, session), 0u);

    ASSERT_EQ(service.OpenSession("PC1", nullptr, session), 0u);
    std::unique_ptr<platform::ChannelEvents> events;
    for (const char* missing : {"Microsoft-Windows-Sysmon%4Operational", "Microsoft-Windows-Sysmon", "ForwardedEvents.evtx",
                                "Forwarded\\..\\ForwardedEvents", "Security", ""}) {
        EXPECT_EQ(session->Query({missing, 0, 0}, events), platform::error::kChannelNotFound) << missing;
        EXPECT_FALSE(events);
    }

    // ReadFailsAfter=300: the batch that would go past gives the records before, then the error.
    ASSERT_EQ(service.OpenSession("\\\\PC3", nullptr, session), 0u);
    std::vector<evtx::Record> got;
    std::size_t batches = 0;
    EXPECT_EQ(ReadAll(*session, {kSysmon, 0, 0}, got, batches), 1726u);
    const std::vector<evtx::Record> expected = Expected(sysmon, {kSysmon, 0, 0});
    ASSERT_EQ(got.size(), 300u);
    EXPECT_EQ(batches, 2u);
    EXPECT_TRUE(Same(got.back(), expected[299]));
}

}  // namespace
