// A secret text leaves nothing of itself in the buffers it held: Wipe, which
// the destructor calls, overwrites the text where it lies, and a move wipes
// the buffer it leaves.

#include "core/secret.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace quorvin::text {
namespace {

template <typename CharT>
bool AllNul(const CharT* chars, std::size_t count) {
    return std::all_of(chars, chars + count, [](CharT c) { return c == CharT(); });
}

template <typename CharT>
void ExpectWipedInPlace(BasicSecret<CharT>& secret) {
    const CharT* held = secret.data();
    const std::size_t size = secret.size();
    ASSERT_FALSE(AllNul(held, size));
    secret.Wipe();
    EXPECT_TRUE(AllNul(held, size));
    EXPECT_EQ(secret.size(), 0u);
}

TEST(Secret, WipeOverwritesTheTextWhereItLies) {
    Secret inside("pw");  // short enough to be held in the object itself
    Secret onHeap("a password far too long to be held in the object");
    WideSecret wide(L"p\u30D1ss");
    ExpectWipedInPlace(inside);
    ExpectWipedInPlace(onHeap);
    ExpectWipedInPlace(wide);
}

TEST(Secret, AMoveWipesTheBufferItLeavesAndACopyKeepsItsOwn) {
    Secret source("pw");
    const char* left = source.data();  // in the object: the move copies the text out of it
    const Secret copy(source);
    const Secret moved(std::move(source));
    EXPECT_TRUE(AllNul(left, 2));
    EXPECT_EQ(copy.view(), "pw");
    EXPECT_EQ(moved.view(), "pw");
    EXPECT_NE(copy.data(), moved.data());
}

}  // namespace
}  // namespace quorvin::text
