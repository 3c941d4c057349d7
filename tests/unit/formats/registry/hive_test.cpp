#include "formats/registry/hive.h"

#include <gtest/gtest.h>

namespace reg = quorvin::reg;
namespace regtype = quorvin::platform::regtype;

namespace {

reg::Value Dword(std::uint8_t n) { return reg::Value{regtype::kDword, {n, 0, 0, 0}}; }

}  // namespace

TEST(Hive, KeysKeepTheirOrderAndFirstSpelling) {
    reg::Key root;
    bool made = false;
    ASSERT_NE(root.AddSubKey("Beta", &made), nullptr);
    EXPECT_TRUE(made);
    root.AddSubKey("alpha");
    EXPECT_EQ(root.AddSubKey("BETA", &made)->Name(), "Beta");
    EXPECT_FALSE(made);
    root.FindSubKey("beta")->AddSubKey("child");

    EXPECT_TRUE(root.RemoveSubKey("bEtA"));
    EXPECT_FALSE(root.RemoveSubKey("Beta"));
    root.AddSubKey("Beta");
    ASSERT_EQ(root.SubKeys().size(), 2u);
    EXPECT_EQ(root.SubKeys().front().Name(), "alpha");
    EXPECT_TRUE(root.SubKeys().back().SubKeys().empty());  // removed with its parent

    root.SetValue("b", Dword(1));
    root.SetValue("a", Dword(2));
    root.SetValue("B", Dword(3));
    EXPECT_TRUE(root.RemoveValue("A"));
    root.SetValue("A", Dword(4));
    ASSERT_EQ(root.Values().size(), 2u);
    EXPECT_EQ(root.Values().front().name, "b");
    EXPECT_EQ(root.Values().front().value, Dword(3));
    EXPECT_EQ(root.Values().back().name, "A");
}

TEST(Hive, NamesTheRegistryCannotHoldAreRefused) {
    reg::Key root;
    EXPECT_EQ(root.AddSubKey(""), nullptr);
    EXPECT_EQ(root.AddSubKey("a\\b"), nullptr);
    EXPECT_EQ(root.AddSubKey("a\nb"), nullptr);
    EXPECT_EQ(root.AddSubKey(std::string("a\0b", 3)), nullptr);
    EXPECT_EQ(root.AddSubKey("\x83"), nullptr);  // a lead byte without its trail
    EXPECT_EQ(root.AddSubKey(std::string(256, 'k')), nullptr);
    EXPECT_NE(root.AddSubKey("ソ"), nullptr);  // 83 5C: the 5C is a trail byte
    EXPECT_NE(root.AddSubKey(std::string(255, 'k')), nullptr);

    EXPECT_TRUE(root.SetValue("", Dword(1)));
    EXPECT_TRUE(root.SetValue("a\\b", Dword(1)));
    EXPECT_FALSE(root.SetValue("a\rb", Dword(1)));
    EXPECT_FALSE(root.SetValue(std::string(16384, 'v'), Dword(1)));
    EXPECT_FALSE(root.SetValue("big", reg::Value{regtype::kBinary, std::vector<std::uint8_t>(reg::kMaxValueBytes + 1)}));
    EXPECT_EQ(root.Values().size(), 2u);
}

TEST(Hive, EqualityLooksAtEverything) {
    const auto make = [](reg::Key& k) {
        k.AddSubKey("a")->SetValue("v", Dword(1));
        k.AddSubKey("b");
    };
    reg::Key a, b;
    make(a);
    make(b);
    EXPECT_TRUE(a == b);

    reg::Key order;
    order.AddSubKey("b");
    order.AddSubKey("a")->SetValue("v", Dword(1));
    EXPECT_FALSE(a == order);

    reg::Key spelling;
    spelling.AddSubKey("A")->SetValue("v", Dword(1));
    spelling.AddSubKey("b");
    EXPECT_FALSE(a == spelling);

    b.FindSubKey("a")->SetValue("v", Dword(2));
    EXPECT_FALSE(a == b);
    b.FindSubKey("a")->SetValue("v", reg::Value{regtype::kBinary, {1, 0, 0, 0}});
    EXPECT_FALSE(a == b);
    b.FindSubKey("a")->SetValue("v", Dword(1));
    b.FindSubKey("b")->AddSubKey("c");
    EXPECT_FALSE(a == b);
}
