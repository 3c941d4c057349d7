#include "rules/list_file.h"

#include <gtest/gtest.h>
#include <algorithm>
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
    // of them alone, or one that starts with a zero byte, gives no name: an
    // empty name would mean this machine.
    EXPECT_EQ(ImportListFile("a\rb\r\r\n\r\nc\r", 0, 200).names, (Names{"ab", "c"}));
    EXPECT_EQ(ImportListFile("x\n\r\r\ny\n", 0, 200).names, (Names{"x", "y"}));
    EXPECT_EQ(ImportListFile(std::string("DC01\n\0\n\0abc\r\n\r\0\nPC01", 20), 0, 200).names,
              (Names{"DC01", "PC01"}));
    // Skipped pieces do not count toward the limit, nor stop at it.
    const ImportResult full = ImportListFile(Lines(Numbered(200), "\n") + std::string("\0\n\r\n", 4), 0, 200);
    EXPECT_EQ(full.names.size(), 200u);
    EXPECT_TRUE(full.messages.empty());
    // A line feed that follows a lead byte still ends the line.
    EXPECT_EQ(ImportListFile("\x83\n\xFF\xFE\n", 0, 200).names, (Names{"\x83", "\xFF\xFE"}));
    EXPECT_EQ(ImportListFile("", 0, 200).names, Names{});
    // Notepad's UTF-8 byte-order mark before the first name is skipped; the
    // same bytes elsewhere, or only the mark's beginning, are text.
    EXPECT_EQ(ImportListFile("\xEF\xBB\xBFPC03\r\n\xEF\xBB\xBFx\n", 0, 200).names, (Names{"PC03", "\xEF\xBB\xBFx"}));
    EXPECT_EQ(ImportListFile("\xEF\xBB\xBF", 0, 200).names, Names{});
    EXPECT_EQ(ImportListFile("\xEF\xBBz\n\xEF", 0, 200).names, (Names{"\xEF\xBBz", "\xEF"}));
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

TEST(ListFile, ReadingInAnyPiecesGivesTheSameImport) {
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        std::string file(random() % 3000, '\0');
        for (char& c : file) c = static_cast<char>(random() % 3 == 0 ? "\n\r\0"[random() % 3] : 'a' + random() % 3);
        // A byte-order mark, or only its beginning, split across reads.
        if (round % 3 == 0) file.insert(0, "\xEF\xBB\xBF", 1 + round % 4 % 3);
        const std::uint32_t maxComputer = 20 + random() % 200;
        std::size_t at = 0;
        ImportResult streamed;
        ASSERT_TRUE(ReadListFile(
            [&](char* buffer, std::size_t size) -> long long {
                const std::size_t n = std::min<std::size_t>({size, file.size() - at, 1 + random() % 300});
                file.copy(buffer, n, at);
                at += n;
                return static_cast<long long>(n);
            },
            0, maxComputer, streamed));
        const ImportResult whole = ImportListFile(file, 0, maxComputer);
        EXPECT_EQ(streamed.names, whole.names);
        EXPECT_EQ(streamed.messages, whole.messages);
    }
}

TEST(ListFile, AnEndlessOrFailingSourceIsAFileThatCouldNotBeRead) {
    // Empty lines without end: read up to the limit, then refused.
    std::uint64_t given = 0;
    ImportResult result;
    EXPECT_FALSE(ReadListFile(
        [&](char* buffer, std::size_t size) -> long long {
            std::fill(buffer, buffer + size, '\n');
            given += size;
            return static_cast<long long>(size);
        },
        0, 200, result));
    EXPECT_GT(given, kMaxListFileBytes);
    EXPECT_LT(given, kMaxListFileBytes + (1u << 20));
    EXPECT_TRUE(result.names.empty());

    // A stop ends the reading at once, as it always did.
    int calls = 0;
    EXPECT_TRUE(ReadListFile(
        [&](char* buffer, std::size_t size) -> long long {
            if (++calls == 1) return static_cast<long long>(std::string("pc1\n").copy(buffer, size));
            std::fill(buffer, buffer + size, 'x');
            return static_cast<long long>(size);
        },
        0, 200, result));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(result.names, Names{"pc1"});
    EXPECT_EQ(result.messages, std::vector<quorvin::app::UserMessage>{NameTooLongMessage()});

    // A read error after some names gives none of them.
    calls = 0;
    result = {};
    EXPECT_FALSE(ReadListFile(
        [&](char* buffer, std::size_t size) -> long long {
            if (++calls > 1) return -1;
            return static_cast<long long>(std::string("pc2\n").copy(buffer, size));
        },
        0, 200, result));
    EXPECT_TRUE(result.names.empty());
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
            EXPECT_FALSE(name.empty());
            EXPECT_EQ(name.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
        }
    }
}
