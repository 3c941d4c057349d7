#include "rules/row_batch.h"

#include <gtest/gtest.h>

using quorvin::run::RowBatch;
using quorvin::run::RowHandover;

namespace {
quorvin::engine::EventRow Row(const std::string& message) {
    quorvin::engine::EventRow row;
    row.columns[7] = message;
    return row;
}
}  // namespace

TEST(RowBatch, HandsOverAtMostOncePerIntervalWithTheLastProgressText) {
    RowBatch batch(1000, 50);
    EXPECT_TRUE(batch.Empty());
    EXPECT_FALSE(batch.Due(5000));  // nothing waits
    batch.Add(Row("one"));
    batch.SetProgressText("ﾄｰﾀﾙ 1 件");
    batch.Add(Row("two"));
    batch.SetProgressText("ﾄｰﾀﾙ 2 件");
    EXPECT_FALSE(batch.Due(1049));
    EXPECT_TRUE(batch.Due(1050));

    RowHandover first = batch.Take(1050);
    ASSERT_EQ(first.rows.size(), 2u);
    EXPECT_EQ(first.rows[1].columns[7], "two");
    EXPECT_EQ(first.progressText, "ﾄｰﾀﾙ 2 件");
    EXPECT_TRUE(batch.Empty());

    // The interval counts from the last handover.
    batch.Add(Row("three"));
    EXPECT_FALSE(batch.Due(1099));
    EXPECT_TRUE(batch.Due(1100));
    // A handover before it is due (end of a log) takes what waits, text or not.
    RowHandover second = batch.Take(1060);
    EXPECT_EQ(second.rows.size(), 1u);
    EXPECT_FALSE(second.progressText);
    batch.SetProgressText("only a text");
    EXPECT_FALSE(batch.Empty());
    EXPECT_TRUE(batch.Take(1061).rows.empty());
}

TEST(RowBatch, TheMillisecondClockMayWrap) {
    RowBatch batch(0xFFFFFFF0u, 50);
    batch.Add(Row("x"));
    EXPECT_FALSE(batch.Due(0x10u));  // 32 ms later
    EXPECT_TRUE(batch.Due(0x22u));   // 50 ms later
}
