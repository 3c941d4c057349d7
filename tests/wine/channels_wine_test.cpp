// The channel backend under Wine, whose event log API is mostly a stub:
// every call answers with a code (or with events it can render), never a
// crash, and a session asked for texts it has no event for says so.

#include <gtest/gtest.h>

#include "services/win32/win32_platform.h"

namespace {

namespace error = quorvin::platform::error;
using quorvin::platform::ChannelQuery;
using quorvin::platform::ChannelSession;
using quorvin::platform::ChannelTexts;

TEST(ChannelsWine, EveryCallAnswersWithACodeAndNothingCrashes) {
    quorvin::win32::ChannelService service;
    for (const char* server : {"", "\\\\QUORVIN-NOSUCH-PC"}) {
        SCOPED_TRACE(server);
        std::unique_ptr<ChannelSession> session;
        const auto opened = service.OpenSession(server, nullptr, session);
        // 120 where wevtapi.dll or one of its functions is missing.
        EXPECT_EQ(opened == error::kSuccess, session != nullptr) << opened;
        if (!session) continue;
        for (const ChannelQuery& query : {ChannelQuery{"System", 0, 0}, ChannelQuery{"Setup", 41, 1700000000},
                                          ChannelQuery{"No/Such-Channel", 0, 0}}) {
            std::unique_ptr<quorvin::platform::ChannelEvents> events;
            const auto asked = session->Query(query, events);
            EXPECT_EQ(asked == error::kSuccess, events != nullptr) << query.channel << " " << asked;
            if (!events) continue;
            std::vector<quorvin::evtx::Record> batch;
            auto read = error::kSuccess;
            for (int i = 0; i < 4 && read == error::kSuccess; ++i) {
                read = events->Next(quorvin::platform::kChannelBatch, batch);
                if (read == error::kSuccess) {
                    EXPECT_FALSE(batch.empty());
                }
                for (const auto& record : batch) {
                    ChannelTexts texts;
                    session->Format(record, texts);  // Wine's answers vary: only that it returns
                }
            }
            EXPECT_NE(read, error::kSuccess);
        }
        // A record no query of the session gave has no event to format.
        ChannelTexts texts;
        texts.message = u"stale";
        session->Format(quorvin::evtx::Record(), texts);
        EXPECT_EQ(texts.error, error::kEvtMessageNotFound);
        EXPECT_TRUE(texts.message.empty());
    }
    // With an account the session is used at once: a code, and a session only with 0.
    const quorvin::platform::ChannelAccount account{"CORP\\user", "pw"};
    std::unique_ptr<ChannelSession> session;
    const auto opened = service.OpenSession("\\\\QUORVIN-NOSUCH-PC", &account, session);
    EXPECT_EQ(opened == error::kSuccess, session != nullptr) << opened;
}

}  // namespace
