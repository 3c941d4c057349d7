// Message files read in pieces: the same tables as MessageTable::Load for
// real and damaged files at a fraction of the bytes, the MUI resource, and
// the rules from a neutral file to its language files.

#include "formats/messages/message_file.h"
#include "formats/messages/resource_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "support/message_files.h"
#include "support/pe_builder.h"

namespace quorvin::messages {
namespace {

using test::BuildImage;
using test::BuiltImage;
using test::ImageSpec;

constexpr platform::Error kOk = 0;
constexpr platform::Error kNetNameDeleted = 64;

// A source whose reads fail once `budget` bytes have been read.
class FailingSource final : public ByteSource {
public:
    FailingSource(const std::vector<std::uint8_t>& bytes, std::uint64_t budget)
        : inner_(bytes.data(), bytes.size()), budget_(budget) {}
    std::uint64_t Size() const override { return inner_.Size(); }
    platform::Error ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out) override {
        if (size > budget_) return kNetNameDeleted;
        budget_ -= size;
        return inner_.ReadAt(offset, size, out);
    }

private:
    MemorySource inner_;
    std::uint64_t budget_;
};

platform::Error Read(const std::vector<std::uint8_t>& bytes, MessageFile& file, std::string* problem = nullptr) {
    MemorySource source(bytes.data(), bytes.size());
    return ReadMessageFile(source, file, problem);
}

// One lookup's whole answer, for comparing two tables.
std::string Answer(const MessageTable& table, std::uint32_t id, std::uint16_t language) {
    MessageText text;
    std::string problem;
    const platform::Error e = table.Find(id, language, Locale{}, text, &problem);
    return std::to_string(e) + "|" + problem + "|" + std::to_string(text.unicode) + "|" + text.narrow + "|" +
           std::string(text.wide.begin(), text.wide.end());
}

void ExpectSameTables(const MessageTable& a, const MessageTable& b, const std::string& label) {
    ASSERT_EQ(a.TableError(), b.TableError()) << label;
    EXPECT_EQ(a.Problem(), b.Problem()) << label;
    ASSERT_EQ(a.Languages(), b.Languages()) << label;
    std::vector<std::uint16_t> requests = a.Languages();
    requests.push_back(language::kUserDefault);
    for (std::uint16_t lang : requests) {
        std::vector<MessageBlock> blocksA, blocksB;
        ASSERT_EQ(a.Blocks(lang, blocksA), b.Blocks(lang, blocksB)) << label;
        ASSERT_EQ(blocksA.size(), blocksB.size()) << label;
        std::vector<std::uint32_t> ids = {0, 1, 2, 0xFFFFFFFFu};
        for (std::size_t i = 0; i < blocksA.size() && i < 64; ++i)
            for (std::uint32_t id = blocksA[i].lowId; id - blocksA[i].lowId < 16 && id <= blocksA[i].highId; ++id)
                ids.push_back(id);
        for (std::uint32_t id : ids) ASSERT_EQ(Answer(a, id, lang), Answer(b, id, lang)) << label << " id " << id;
    }
}

// Load and ReadMessageFile over the same bytes agree on everything.
void ExpectSameAsLoad(const std::vector<std::uint8_t>& bytes, const std::string& label) {
    MessageTable loaded;
    std::string loadProblem, readProblem;
    const platform::Error loadError = MessageTable::Load(bytes.data(), bytes.size(), loaded, &loadProblem);
    MessageFile file;
    ASSERT_EQ(Read(bytes, file, &readProblem), loadError) << label;
    if (!bytes.empty()) {
        EXPECT_EQ(readProblem, loadProblem) << label;
    }
    EXPECT_LE(file.bytesRead, bytes.size()) << label;
    if (loadError == kOk) ExpectSameTables(loaded, file.table, label);
}

std::vector<std::string> RealFiles() {
    std::vector<std::string> paths;
    for (const char* name : {"msgtest_bilingual", "msgtest_categories", "msgtest_parameters", "msgtest_ansi32"})
        paths.push_back(test::TestDllPath(name));
    for (const char* name : {"kernelbase", "wininet", "mferror"}) paths.push_back(test::WineDllPath(name));
    const char* dir = std::getenv("QUORVIN_BINARY_DIR");
    std::error_code error;
    if (dir != nullptr)
        for (const auto& entry : std::filesystem::recursive_directory_iterator(std::string(dir) + "/demo-messages", error))
            if (entry.is_regular_file()) paths.push_back(entry.path().string());
    return paths;
}

TEST(MessageFileDifferential, SameTablesAsLoadForRealBuiltAndDamagedFiles) {
    std::vector<std::vector<std::uint8_t>> samples;
    for (const std::string& path : RealFiles()) {
        std::vector<std::uint8_t> bytes;
        if (!test::ReadBytes(path, bytes)) continue;
        ExpectSameAsLoad(bytes, path);
        if (path == test::TestDllPath("msgtest_bilingual")) samples.push_back(bytes);
    }
    ASSERT_EQ(samples.size(), 1u) << "the test DLLs are not built";
    const auto data = EncodeMessageData({{1, u"one\r\n"}, {2, u"two\r\n"}, {0x10, u"sixteen\r\n"}});
    ImageSpec both;
    both.tables = {{0x0409, data}, {0x0411, EncodeMessageData({{1, u"いち\r\n"}})}};
    both.mui = EncodeMui(test::LanguageMui(7, "ja-JP"));
    samples.push_back(BuildImage(both).bytes);
    both.pe32plus = true;
    both.codeSize = 3000;
    samples.push_back(BuildImage(both).bytes);
    samples.push_back(test::NeutralImage(test::NeutralMui(7)).bytes);

    for (const auto& bytes : samples) {
        for (std::size_t size = 0; size < bytes.size(); size += 11)
            ExpectSameAsLoad(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)),
                             "prefix of " + std::to_string(size) + " bytes");
        for (std::size_t at = 0; at < bytes.size(); at += 2) {
            std::vector<std::uint8_t> flipped = bytes;
            flipped[at] ^= (at % 3 == 0) ? 0xFF : 0x80;
            ExpectSameAsLoad(flipped, "byte " + std::to_string(at) + " flipped");
        }
    }
}

TEST(MessageFileDifferential, ReadsOnlyAFractionOfALargeFile) {
    ImageSpec spec;
    spec.tables = {{0x0411, EncodeMessageData({{1, u"いち\r\n"}, {2, u"に\r\n"}})}};
    spec.mui = EncodeMui(test::LanguageMui(1, "ja-JP"));
    spec.codeSize = 4 * 1024 * 1024;
    const BuiltImage big = BuildImage(spec);
    MessageFile file;
    ASSERT_EQ(Read(big.bytes, file), kOk);
    EXPECT_TRUE(file.hasMui);
    EXPECT_EQ(file.table.TableError(), kOk);
    EXPECT_LE(file.bytesRead, 4096u) << "of " << big.bytes.size();

    // Wine's wininet.dll: 27 KB of message tables in 22 languages in 2.2 MB.
    std::vector<std::uint8_t> wininet;
    if (!test::ReadBytes(test::WineDllPath("wininet"), wininet)) GTEST_SKIP() << "Wine is not installed";
    ASSERT_EQ(Read(wininet, file), kOk);
    EXPECT_LT(file.bytesRead, 40u * 1024);
    std::cout << "wininet.dll: " << file.bytesRead << " of " << wininet.size() << " bytes read\n";
}

// A source that fails after every possible number of bytes: its error, what
// was read until then, and no table; never a fault.
TEST(MessageFileReads, ASourceThatFailsPartWayGivesItsError) {
    const BuiltImage img = test::LanguageImage(test::LanguageMui(3, "en-US"), 0x0409, {{1, u"one\r\n"}});
    MessageFile whole;
    ASSERT_EQ(Read(img.bytes, whole), kOk);
    for (std::uint64_t budget = 0; budget < whole.bytesRead; ++budget) {
        FailingSource source(img.bytes, budget);
        MessageFile file;
        std::string problem;
        ASSERT_EQ(ReadMessageFile(source, file, &problem), kNetNameDeleted) << budget;
        EXPECT_NE(problem.find("failed with error 64"), std::string::npos) << problem;
        EXPECT_NE(file.table.TableError(), kOk);
        EXPECT_FALSE(file.hasMui);
        EXPECT_LE(file.bytesRead, budget);
    }
    FailingSource enough(img.bytes, whole.bytesRead);
    MessageFile file;
    EXPECT_EQ(ReadMessageFile(enough, file), kOk);
    EXPECT_EQ(file.bytesRead, whole.bytesRead);
}

// ---- The MUI resource --------------------------------------------------------------

// Every field the resource stores, through its encoding, and the ones the
// rules use by name.
void ExpectSameMui(const MuiConfig& a, const MuiConfig& b) {
    EXPECT_EQ(EncodeMui(a), EncodeMui(b));
    EXPECT_EQ(a.fileType, b.fileType);
    EXPECT_EQ(a.checksum, b.checksum);
    EXPECT_EQ(a.language, b.language);
    EXPECT_EQ(a.ultimateFallbackLanguage, b.ultimateFallbackLanguage);
    EXPECT_EQ(a.muiTypeIds, b.muiTypeIds);
}

struct MuiCase {
    const char* name;
    std::function<void(BuiltImage&)> damage;  // null: the file as built
    const char* problem;                      // null: the MUI resource is read back whole
};

TEST(MuiResource, RoundTripAndDamage) {
    MuiConfig neutral = test::NeutralMui(0x5A);
    neutral.serviceChecksum.fill(0xA5);
    neutral.systemAttributes = 0x100;
    neutral.mainTypeNames = {u"AVI", u"ORDERSTREAM", u"MUI"};
    neutral.muiTypeNames = {u"MUI"};
    const MuiConfig japanese = test::LanguageMui(0x5A, "ja-JP");
    const BuiltImage neutralImage = test::NeutralImage(neutral);
    const BuiltImage languageImage = test::LanguageImage(japanese, 0x0411, {{7, u"七\r\n"}});
    const std::size_t m = languageImage.mui, entry = languageImage.rsrc + 16;
    const std::uint32_t dataEntry = static_cast<std::uint32_t>(languageImage.dataEntries[0] + 16);

    const MuiCase cases[] = {
        {"as built", nullptr, nullptr},
        {"signature", [m](BuiltImage& i) { i.bytes[m] ^= 1; }, "signature"},
        {"size below the header", [m](BuiltImage& i) { i.Put32(m + 4, 0x80); }, "says it has 128 bytes"},
        {"size past the resource", [m](BuiltImage& i) { i.Put32(m + 4, 0x1000); }, "says it has 4096 bytes"},
        {"version", [m](BuiltImage& i) { i.Put32(m + 8, 0x20000); }, "unknown version 0x20000"},
        {"language in the header", [m](BuiltImage& i) { i.Put32(m + 0x74, 0x10); }, "language of the MUI resource at offset 0x10"},
        {"language outside", [m](BuiltImage& i) { i.Put32(m + 0x78, 0x400); }, "lies outside"},
        {"type ids outside", [m](BuiltImage& i) { i.Put32(m + 0x5C, 0xFFFFFFF0u); }, "main type ids"},
        {"language with a path", [m](BuiltImage& i) { i.Put16(i.mui + i.Get32(m + 0x74) + 2, '\\'); }, "is no language name"},
        {"resource too large", [dataEntry](BuiltImage& i) { i.Put32(i.rsrc + dataEntry + 4, 0x10001); }, "larger than"},
        {"resource outside", [dataEntry](BuiltImage& i) { i.Put32(i.rsrc + dataEntry, 0x9000); }, "lies outside the file"},
        {"type no directory", [entry](BuiltImage& i) { i.Put32(entry + 4, i.Get32(entry + 4) & 0x7FFFFFFF); }, "no directory"},
        {"no name 1", [](BuiltImage& i) { i.Put32(i.rsrc + i.Get32(i.rsrc + 20) - 0x80000000u + 16, 2); }, "none named 1"},
        {"type named otherwise", [](BuiltImage& i) { i.Put16(i.rsrc + (i.Get32(i.rsrc + 16) & 0x7FFFFFFF) + 4, 'X'); }, ""},
    };
    for (const MuiCase& c : cases) {
        BuiltImage img = languageImage;
        if (c.damage) c.damage(img);
        MessageFile file;
        ASSERT_EQ(Read(img.bytes, file), kOk) << c.name;
        EXPECT_EQ(file.hasMui, c.problem == nullptr) << c.name;
        EXPECT_NE(file.muiProblem.find(c.problem ? c.problem : ""), std::string::npos) << c.name << ": " << file.muiProblem;
        EXPECT_EQ(file.muiProblem.empty(), c.problem == nullptr || *c.problem == 0) << c.name;
        MessageText text;
        EXPECT_EQ(file.table.Find(7, language::kUserDefault, Locale{}, text), kOk) << c.name;
        if (c.problem == nullptr) ExpectSameMui(file.mui, japanese);
    }
    MessageFile file;
    ASSERT_EQ(Read(neutralImage.bytes, file), kOk);
    EXPECT_EQ(file.table.TableError(), platform::error::kResourceTypeNotFound);
    ASSERT_TRUE(file.hasMui) << file.muiProblem;
    ExpectSameMui(file.mui, neutral);
    EXPECT_TRUE(file.mui.fallbackLanguage.empty());
}

// ---- From a neutral file to its language files ---------------------------------------------

TEST(MuiRules, LanguageFilesBelongByTheirChecksum) {
    const MuiConfig neutral = test::NeutralMui(1);
    MuiConfig serviced = test::LanguageMui(1, "ja-JP");
    serviced.serviceChecksum.fill(9);
    EXPECT_TRUE(BelongsTo(neutral, test::LanguageMui(1, "ja-JP")));
    EXPECT_TRUE(BelongsTo(neutral, serviced));
    EXPECT_FALSE(BelongsTo(neutral, test::LanguageMui(2, "ja-JP")));
    EXPECT_TRUE(BelongsTo(neutral, test::LanguageMui(0, "ja-JP")));
    EXPECT_TRUE(BelongsTo(test::NeutralMui(0), test::LanguageMui(2, "ja-JP")));
}

TEST(MuiRules, LanguageOrderOfAJapaneseProgram) {
    using Order = std::vector<std::string>;
    EXPECT_EQ(MuiLanguageOrder("ja-JP", "ja-JP", test::NeutralMui(1, "en-US")), (Order{"ja-JP", "en-US"}));
    EXPECT_EQ(MuiLanguageOrder("ja-JP", "en-us", test::NeutralMui(1, "EN-US")), (Order{"ja-JP", "en-us"}));
    EXPECT_EQ(MuiLanguageOrder("ja-JP", "ja-jp", test::NeutralMui(1, "de-DE")), (Order{"ja-JP", "de-DE", "en-US"}));
    EXPECT_EQ(MuiLanguageOrder("", "", test::NeutralMui(1, "")), (Order{"en-US"}));
    EXPECT_EQ(MuiLanguageOrder("ja-JP", "fr-FR", test::NeutralMui(1, "de-DE")),
              (Order{"ja-JP", "fr-FR", "de-DE", "en-US"}));
}

TEST(MuiRules, PathBesideTheNeutralFile) {
    const std::string soft = "\x83\x5C\x83\x74\x83\x67";  // "ソフト": its first trail byte is 0x5C
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Windows\\System32\\netevent.dll", "C:\\Windows\\System32\\ja-JP\\netevent.dll.mui"},
        {"\\\\SV1\\ADMIN$\\System32\\msobjs.dll", "\\\\SV1\\ADMIN$\\System32\\ja-JP\\msobjs.dll.mui"},
        {"C:\\" + soft + "\\x.dll", "C:\\" + soft + "\\ja-JP\\x.dll.mui"},
        {"C:\\a\\" + soft + ".dll", "C:\\a\\ja-JP\\" + soft + ".dll.mui"},
        {"C:/w/x.dll", "C:/w/ja-JP\\x.dll.mui"},
        {"C:x.dll", "C:ja-JP\\x.dll.mui"},
        {"x.dll", "ja-JP\\x.dll.mui"},
    };
    for (const auto& c : cases) EXPECT_EQ(MuiPath(c.first, "ja-JP"), c.second);
}

}  // namespace
}  // namespace quorvin::messages

namespace quorvin::messages {
namespace {

// What the writer writes, the reader reads back: each language's data byte
// for byte where the layout says, the MUI resource field for field, the
// provider manifest byte for byte, in PE32 and PE32+ with and without code
// and a manifest before and after the other resources.
TEST(ResourceImage, ReadMessageFileReadsBackWhatItWrites) {
    ResourceImageSpec spec;
    spec.tables = {{0x0409, EncodeMessageData({{1, u"one\r\n"}, {2, u"two\r\n"}, {0x40001B7C, u"%1 is %2.\r\n"}})},
                   {0x0411, EncodeMessageData({{1, u"いち\r\n"}})}};
    const MuiConfig config = test::LanguageMui(9, "ja-JP");
    spec.mui = EncodeMui(config);
    for (const bool pe32plus : {false, true}) {
        spec.pe32plus = pe32plus;
        spec.codeSize = pe32plus ? 5000 : 0;
        spec.manifest = pe32plus ? std::vector<std::uint8_t>{'C', 'R', 'I', 'M', 1, 2, 3} : std::vector<std::uint8_t>{};
        ResourceImageLayout layout;
        const std::vector<std::uint8_t> image = WriteResourceImage(spec, &layout);
        MessageFile file;
        std::string problem;
        ASSERT_EQ(Read(image, file, &problem), kOk) << problem;
        ASSERT_EQ(file.table.Languages(), (std::vector<std::uint16_t>{0x0409, 0x0411}));
        for (std::size_t i = 0; i < spec.tables.size(); ++i) {
            std::vector<std::uint8_t> data;
            ASSERT_EQ(file.table.Data(spec.tables[i].first, data), kOk);
            EXPECT_EQ(data, spec.tables[i].second);
            EXPECT_TRUE(std::equal(data.begin(), data.end(), image.begin() + static_cast<std::ptrdiff_t>(layout.tables[i])));
        }
        ASSERT_TRUE(file.hasMui) << file.muiProblem;
        EXPECT_EQ(EncodeMui(file.mui), spec.mui);
        EXPECT_EQ(file.mui.language, "ja-JP");
        EXPECT_TRUE(std::equal(spec.mui.begin(), spec.mui.end(), image.begin() + static_cast<std::ptrdiff_t>(layout.mui)));
        EXPECT_EQ(Answer(file.table, 0x40001B7C, 0x0409), "0||1||%1 is %2.\r\n");
        MemorySource source(image.data(), image.size());
        std::vector<std::uint8_t> manifest;
        EXPECT_EQ(ReadManifestResource(source, manifest), pe32plus ? kOk : platform::error::kResourceTypeNotFound);
        EXPECT_EQ(manifest, spec.manifest);
    }
    std::vector<std::uint8_t> data;
    EXPECT_EQ(MessageTable::FromTexts(0x0409, {{1, u"x"}}).Data(0x0411, data), error::kResourceLanguageNotFound);
    spec.codeSize = kLargestResourceImage;
    EXPECT_TRUE(WriteResourceImage(spec).empty());
}

}  // namespace
}  // namespace quorvin::messages
