#include "rules/list_file.h"

#include <gtest/gtest.h>
#include <random>

#include "rules/computer_list.h"

using namespace quorvin::computers;
using Names = std::vector<std::string>;

namespace {

std::string Lines(const Names& names, const char* end) {
    std::string file;
    for (const auto& n : names) file += n + end;
    return file;
}

Names Numbered(int count) {
    Names names;
    for (int i = 1; i <= count; ++i) names.push_back("pc" + std::to_string(i));
    return names;
}

}  // namespace

TEST(ListFile, SavedFileImportsBackUnchanged) {
    EXPECT_EQ(ListFileContent({"pc1", "pc2"}), "pc1\r\npc2\r\n");
    EXPECT_EQ(ListFileContent({}), "");
    const Names names = {"pc1", "ソフト", " sv 2 ", std::string(32, 'x'), "ｺﾝﾋﾟｭｰﾀ"};
    const ImportResult back = ImportListFile(ListFileContent(names), 0, 200);
    EXPECT_EQ(back.names, names);
    EXPECT_TRUE(back.messages.empty());
}

TEST(ListFile, ImportAcceptsLooseLineEndsAndSkipsOnlyEmptyLines) {
    EXPECT_EQ(ImportListFile("a\nb\nc", 0, 200).names, (Names{"a", "b", "c"}));
    EXPECT_EQ(ImportListFile("\n\r\na\n\n\r\n\nb\r\n\n", 0, 200).names, (Names{"a", "b"}));
    EXPECT_EQ(ImportListFile("  \n\t\n", 0, 200).names, (Names{"  ", "\t"}));
    // CRs that are not part of a line end are removed from the name; a line
    // of them alone is no empty line and gives an empty name.
    EXPECT_EQ(ImportListFile("a\rb\r\r\n\r\nc\r", 0, 200).names, (Names{"ab", "c"}));
    EXPECT_EQ(ImportListFile("x\n\r\r\ny\n", 0, 200).names, (Names{"x", "", "y"}));
    // A line feed that follows a lead byte still ends the line.
    EXPECT_EQ(ImportListFile("\x83\n\xFF\xFE\n", 0, 200).names, (Names{"\x83", "\xFF\xFE"}));
    EXPECT_EQ(ImportListFile("", 0, 200).names, Names{});
}

TEST(ListFile, OverlongNameStopsTheImportKeepingWhatCameBefore) {
    const std::string tooLong(33, 'y');
    ImportResult r = ImportListFile("a\n" + tooLong + "\nb\n", 0, 200);
    EXPECT_EQ(r.names, Names{"a"});
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], NameTooLongMessage());
    EXPECT_EQ(r.messages[0].caption, "注意");

    // One line of 100 KB: its first 249-byte piece is too long.
    r = ImportListFile("a\r\nb\r\n" + std::string(100000, 'z') + "\r\nc\r\n", 0, 200);
    EXPECT_EQ(r.names, (Names{"a", "b"}));
    EXPECT_EQ(r.messages, std::vector<quorvin::app::UserMessage>{NameTooLongMessage()});
}

TEST(ListFile, ImportStopsAtTheComputerLimit) {
    ImportResult r = ImportListFile(Lines(Numbered(250), "\r\n"), 0, 200);
    EXPECT_EQ(r.names, Numbered(200));
    EXPECT_EQ(r.messages, std::vector<quorvin::app::UserMessage>{ListFullMessage()});

    // Appending to a list of 10: 190 more.
    r = ImportListFile(Lines(Numbered(195), "\n"), 10, 200);
    EXPECT_EQ(r.names.size(), 190u);
    EXPECT_EQ(r.messages.size(), 1u);

    // Exactly filling the list, then empty lines: no message.
    r = ImportListFile(Lines(Numbered(200), "\n") + "\n\r\n", 0, 200);
    EXPECT_EQ(r.names.size(), 200u);
    EXPECT_TRUE(r.messages.empty());

    // The limit is tested before the length.
    r = ImportListFile(std::string(40, 'q') + "\n", 200, 200);
    EXPECT_EQ(r.messages, std::vector<quorvin::app::UserMessage>{ListFullMessage()});
}

TEST(ListFile, ZeroBytesEndTheTextOfTheirPieceOnly) {
    EXPECT_EQ(ImportListFile(std::string("pc1\0junk\npc2\n", 13), 0, 200).names, (Names{"pc1", "pc2"}));
    // A piece is at most 249 bytes: the rest of a long line is a piece of its own.
    const std::string line = std::string("a\0", 2) + std::string(248, 'x') + "\n";
    EXPECT_EQ(ImportListFile(line + "b\n", 0, 200).names, (Names{"a", "x", "b"}));
}

TEST(ListFile, GarbageNeverGivesNamesBeyondTheRules) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string file(random() % 4000, '\0');
        for (char& c : file) c = static_cast<char>(random() % 4 == 0 ? "\n\r\0;"[random() % 4] : random());
        const std::size_t entries = random() % 3;
        const ImportResult r = ImportListFile(file, entries, 200);
        EXPECT_LE(r.messages.size(), 1u);
        EXPECT_LE(entries + r.names.size(), 200u);
        for (const std::string& name : r.names) {
            EXPECT_LE(name.size(), kMaxNameBytes);
            EXPECT_EQ(name.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
        }
    }
}
