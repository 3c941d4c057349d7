#include "services/simulated/hive_key.h"

#include <gtest/gtest.h>

#include <cstring>

#include "formats/registry/reg_file.h"

namespace reg = quorvin::reg;
namespace error = quorvin::platform::error;
namespace regtype = quorvin::platform::regtype;
using quorvin::platform::RegistryKey;

namespace {

std::shared_ptr<reg::Hive> Load(std::string_view file) {
    const reg::ParseResult r = reg::ParseRegFile(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
    EXPECT_TRUE(r.hive) << r.error;
    return r.hive;
}

const char kSample[] =
    "REGEDIT4\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n"
    "\"SystemRoot\"=\"C:\\\\WINNT\"\r\n"
    "@=\"既定\"\r\n"
    "\"ア\"=dword:00000001\r\n"
    "\"ヂ\"=dword:00000002\r\n"
    "\"NoNul\"=hex(1):61,62\r\n"
    "\"Multi\"=hex(7):61,00,83,5c,00,00\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ソフト]\r\n";

std::string Text(const std::uint8_t* data, std::uint32_t size) { return std::string(data, data + size); }

}  // namespace

TEST(HiveKey, QueryValueReportsTypeAndSize) {
    auto root = reg::OpenHiveRoot(Load(kSample), false);
    std::unique_ptr<RegistryKey> key;
    ASSERT_EQ(root->OpenKey("software\\MICROSOFT\\windows nt\\CurrentVersion", key), error::kSuccess);

    // Size only: data null.
    std::uint32_t type = 99, size = 0;
    EXPECT_EQ(key->QueryValue("systemroot", type, nullptr, size), error::kSuccess);
    EXPECT_EQ(type, regtype::kSz);
    EXPECT_EQ(size, 9u);

    // Too small: 234, the size needed, the buffer left alone.
    std::uint8_t buffer[16];
    std::memset(buffer, 0xCC, sizeof buffer);
    type = 99;
    size = 8;
    EXPECT_EQ(key->QueryValue("SystemRoot", type, buffer, size), error::kMoreData);
    EXPECT_EQ(type, regtype::kSz);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(buffer[0], 0xCC);

    // Exactly enough.
    size = 9;
    EXPECT_EQ(key->QueryValue("SystemRoot", type, buffer, size), error::kSuccess);
    EXPECT_EQ(Text(buffer, size), std::string("C:\\WINNT\0", 9));

    // Missing: 2, type and size untouched.
    type = 99;
    size = 5;
    EXPECT_EQ(key->QueryValue("Missing", type, buffer, size), error::kFileNotFound);
    EXPECT_EQ(type, 99u);
    EXPECT_EQ(size, 5u);

    // The default value, and a name cut at its NUL as a C string is.
    size = sizeof buffer;
    EXPECT_EQ(key->QueryValue(std::string("\0x", 2), type, buffer, size), error::kSuccess);
    EXPECT_EQ(Text(buffer, size), std::string("既定\0", 5));

    // ア (83 41) and ヂ (83 61): the trail byte is not folded like a letter.
    size = sizeof buffer;
    EXPECT_EQ(key->QueryValue("ヂ", type, buffer, size), error::kSuccess);
    EXPECT_EQ(type, regtype::kDword);
    EXPECT_EQ(Text(buffer, size), std::string("\x02\0\0\0", 4));

    // A text without its terminator gets one after the data when there is room, not counted.
    std::memset(buffer, 0xCC, sizeof buffer);
    size = sizeof buffer;
    EXPECT_EQ(key->QueryValue("NoNul", type, buffer, size), error::kSuccess);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(buffer[2], 0);
    size = 2;
    buffer[2] = 0xCC;
    EXPECT_EQ(key->QueryValue("NoNul", type, buffer, size), error::kSuccess);
    EXPECT_EQ(buffer[2], 0xCC);

    size = sizeof buffer;
    EXPECT_EQ(key->QueryValue("multi", type, buffer, size), error::kSuccess);
    EXPECT_EQ(type, regtype::kMultiSz);
    EXPECT_EQ(Text(buffer, size), std::string("a\0ソ\0\0", 6));
}

TEST(HiveKey, OpenKeyFollowsRegOpenKeyEx) {
    auto root = reg::OpenHiveRoot(Load(kSample), true);
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(root->OpenKey("SOFTWARE\\Missing", key), error::kFileNotFound);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(root->OpenKey("\\SOFTWARE", key), reg::kBadPathname);
    // Doubled and trailing separators are skipped; the 5C of ソ is no separator.
    EXPECT_EQ(root->OpenKey("SOFTWARE\\\\ソフト\\\\", key), error::kSuccess);
    EXPECT_EQ(root->OpenKey("", key), error::kSuccess);

    // Keys opened for reading refuse changes, even below a writable root.
    ASSERT_EQ(root->OpenKey("SOFTWARE", key), error::kSuccess);
    std::unique_ptr<RegistryKey> sub;
    EXPECT_EQ(key->CreateKey("New", sub), error::kAccessDenied);
    const std::uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(key->SetValue("v", regtype::kDword, one, 4), error::kAccessDenied);
}

TEST(HiveKey, ReadOnlyRootRefusesChanges) {
    auto hive = Load(kSample);
    int calls = 0;
    auto root = reg::OpenHiveRoot(hive, false, [&] {
        ++calls;
        return error::kSuccess;
    });
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(root->CreateKey("SOFTWARE", key), error::kAccessDenied);
    EXPECT_EQ(key, nullptr);
    const std::uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(root->SetValue("v", regtype::kDword, one, 4), error::kAccessDenied);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(hive->root.FindValue("v"), nullptr);
}

TEST(HiveKey, WritableRootChangesAndReports) {
    auto hive = Load(kSample);
    int calls = 0;
    quorvin::platform::Error answer = error::kSuccess;
    auto root = reg::OpenHiveRoot(hive, true, [&] {
        ++calls;
        return answer;
    });

    std::unique_ptr<RegistryKey> key;
    ASSERT_EQ(root->CreateKey("SOFTWARE\\ORVANTE\\クォーヴィン\\", key), error::kSuccess);
    EXPECT_EQ(calls, 1);
    std::unique_ptr<RegistryKey> again;
    ASSERT_EQ(root->CreateKey("software\\orvante\\クォーヴィン", again), error::kSuccess);
    EXPECT_EQ(calls, 1);  // nothing new

    const std::string list = "pc1;pc2;";
    ASSERT_EQ(key->SetValue("ComputerListToSave", regtype::kSz, reinterpret_cast<const std::uint8_t*>(list.c_str()),
                            static_cast<std::uint32_t>(list.size() + 1)),
              error::kSuccess);
    EXPECT_EQ(calls, 2);
    // Replacing keeps the first spelling.
    const std::uint8_t n[4] = {0xF4, 1, 0, 0};
    ASSERT_EQ(again->SetValue("COMPUTERLISTTOSAVE", regtype::kDword, n, 4), error::kSuccess);
    ASSERT_EQ(key->SetValue("MaxComputer", regtype::kDword, n, 4), error::kSuccess);
    // Texts are stored as the ANSI functions store them: ED 40 comes back as FA 5C.
    const std::uint8_t nec[3] = {0xED, 0x40, 0};
    ASSERT_EQ(key->SetValue("\xED\x40", regtype::kExpandSz, nec, 3), error::kSuccess);

    const reg::Key& stored =
        *hive->root.FindSubKey("SOFTWARE")->FindSubKey("ORVANTE")->FindSubKey("クォーヴィン");
    ASSERT_EQ(stored.Values().size(), 3u);
    EXPECT_EQ(stored.Values().front().name, "ComputerListToSave");
    EXPECT_EQ(stored.Values().front().value.type, regtype::kDword);
    EXPECT_EQ(stored.Values().back().name, "\xFA\x5C");
    EXPECT_EQ(stored.Values().back().value.data, std::vector<std::uint8_t>({0xFA, 0x5C, 0}));

    // Bad arguments change nothing.
    const int before = calls;
    EXPECT_EQ(key->SetValue("v", regtype::kBinary, nullptr, 4), error::kInvalidParameter);
    EXPECT_EQ(key->SetValue("a\r\nb", regtype::kBinary, n, 4), error::kInvalidParameter);
    EXPECT_EQ(key->SetValue(std::string(16384, 'v'), regtype::kBinary, n, 4), error::kInvalidParameter);
    EXPECT_EQ(key->CreateKey(std::string(256, 'k'), again), error::kInvalidParameter);
    EXPECT_EQ(key->CreateKey("a\nb", again), error::kInvalidParameter);
    EXPECT_EQ(key->CreateKey("\\x", again), reg::kBadPathname);
    std::string deep;
    for (int i = 0; i < 510; ++i) deep += "k\\";
    EXPECT_EQ(key->CreateKey(deep, again), error::kInvalidParameter);  // 3 + 510 levels
    EXPECT_EQ(calls, before);
    EXPECT_EQ(stored.SubKeys().size(), 0u);

    // A failed save is the caller's failure; the change stays in memory.
    answer = 112;
    EXPECT_EQ(key->SetValue("Saved", regtype::kDword, n, 4), 112u);
    EXPECT_NE(stored.FindValue("Saved"), nullptr);
    EXPECT_EQ(key->CreateKey("Sub", again), 112u);
    EXPECT_EQ(again, nullptr);
    EXPECT_NE(stored.FindSubKey("Sub"), nullptr);

    // What the keys wrote reads back from the file the network saves.
    for (reg::Format format : {reg::Format::kRegedit4, reg::Format::kVersion5}) {
        const std::vector<std::uint8_t> file = reg::WriteRegFile(*hive, format);
        const reg::ParseResult back = reg::ParseRegFile(file.data(), file.size());
        ASSERT_TRUE(back.hive) << back.error;
        EXPECT_TRUE(back.hive->root == hive->root);
    }
}
