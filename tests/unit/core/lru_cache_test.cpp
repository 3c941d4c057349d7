#include "core/lru_cache.h"

#include <gtest/gtest.h>

#include <string>

using quorvin::LruCache;

TEST(LruCache, DropsTheLeastRecentlyUsedToStayWithinItsBudget) {
    LruCache<std::string, int> cache(100);
    cache.Put("a", 1, 40);
    cache.Put("b", 2, 40);
    ASSERT_NE(cache.Find("a"), nullptr);  // "b" is now the oldest
    cache.Put("c", 3, 40);
    EXPECT_EQ(cache.Find("b"), nullptr);
    EXPECT_EQ(*cache.Find("a"), 1);
    EXPECT_EQ(*cache.Find("c"), 3);
    EXPECT_EQ(cache.Bytes(), 80u);

    // Replacing counts the new size only.
    cache.Put("a", 10, 10);
    EXPECT_EQ(cache.Bytes(), 50u);
    EXPECT_EQ(*cache.Find("a"), 10);

    // Larger than the budget: kept alone, until the next entry.
    EXPECT_EQ(cache.Put("huge", 4, 500), 4);
    EXPECT_EQ(cache.Size(), 1u);
    EXPECT_EQ(*cache.Find("huge"), 4);
    cache.Put("d", 5, 0);
    EXPECT_EQ(cache.Find("huge"), nullptr);
    EXPECT_EQ(cache.Bytes(), 0u);
    EXPECT_EQ(cache.Size(), 1u);
}
