// The message service both backends share, over files in memory: a
// language-neutral file followed to its language files in the loader's
// order, files read once while they stay the same, and reads that fail.

#include <gtest/gtest.h>

#include "core/cp932.h"
#include "services/message_files.h"
#include "support/memory_files.h"
#include "support/pe_builder.h"

namespace quorvin::platform {
namespace {

using messages::test::LanguageImage;
using messages::test::LanguageMui;
using messages::test::NeutralImage;
using messages::test::NeutralMui;

using test::MemoryFiles;

// The system's table holds every number below 100 as "system N".
class Numbers final : public SystemMessages {
public:
    Error Format(std::uint32_t id, const std::vector<std::string>*, std::string& text) override {
        text = id < 100 ? "system " + std::to_string(id) : "";
        return id < 100 ? error::kSuccess : error::kMessageNotFound;
    }
    std::string ErrorText(Error code) override { return "error " + std::to_string(code); }
};

const std::string kNeutral = "C:\\Windows\\System32\\ソ\\netevent.dll";  // "ソ" ends in the byte 0x5C

class MessageFiles : public ::testing::Test {
protected:
    void Lay(const std::string& path, const messages::test::BuiltImage& image) { files_.files[path].bytes = image.bytes; }
    void LayLanguage(const std::string& language, std::uint8_t checksum,
                     const std::vector<std::pair<std::uint32_t, std::u16string>>& texts) {
        Lay(messages::MuiPath(kNeutral, language),
            LanguageImage(LanguageMui(checksum, language), language == "ja-JP" ? 0x411 : 0x409, texts));
    }
    // The text of each number, or "-" and the error.
    std::vector<std::string> Texts(FileMessageService& service, std::initializer_list<std::uint32_t> ids) {
        std::unique_ptr<MessageModule> module;
        const Error loaded = service.LoadDataFile(kNeutral, module);
        if (loaded != error::kSuccess) return {"load " + std::to_string(loaded)};
        std::vector<std::string> texts;
        const std::vector<std::string> arguments = {"x"};
        for (const std::uint32_t id : ids) {
            std::string text;
            const Error e = service.FormatMessage(module.get(), id, &arguments, text);
            texts.push_back(e == error::kSuccess ? text : "-" + std::to_string(e));
        }
        return texts;
    }

    MemoryFiles files_;
    Numbers system_;
};

// ja-JP, then the ultimate fallback en-US; a language file without the
// number passes it on; one of another neutral file or with a damaged MUI
// resource is passed over; with neither, the system's table answers.
TEST_F(MessageFiles, ANeutralFileTakesItsLanguageFilesInTheLoadersOrder) {
    Lay(kNeutral, NeutralImage(NeutralMui(7, "en-US"), 4096));
    const auto both = [&] {
        LayLanguage("ja-JP", 7, {{1, u"日本語 %1\r\n"}, {2, u"二\r\n"}});
        LayLanguage("en-US", 7, {{1, u"English %1\r\n"}, {3, u"three\r\n"}});
    };
    struct Case {
        const char* what;
        std::function<void()> lay;
        std::vector<std::string> expected;  // numbers 1, 3, 5, 200
    } cases[] = {
        {"ja-JP and en-US", both, {"日本語 x\r\n", "three\r\n", "system 5", "-317"}},
        {"only en-US", [&] { LayLanguage("en-US", 7, {{1, u"English %1\r\n"}}); },
         {"English x\r\n", "system 3", "system 5", "-317"}},
        {"neither", [] {}, {"system 1", "system 3", "system 5", "-317"}},
        {"ja-JP of another file",
         [&] {
             both();
             LayLanguage("ja-JP", 8, {{1, u"別 %1\r\n"}});
         },
         {"English x\r\n", "three\r\n", "system 5", "-317"}},
        {"ja-JP with a damaged MUI resource",
         [&] {
             both();
             auto image = LanguageImage(LanguageMui(7, "ja-JP"), 0x411, {{1, u"壊 %1\r\n"}});
             image.bytes[image.mui] ^= 0xFF;  // the signature
             Lay(messages::MuiPath(kNeutral, "ja-JP"), image);
         },
         {"English x\r\n", "three\r\n", "system 5", "-317"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        files_.files.erase(messages::MuiPath(kNeutral, "ja-JP"));
        files_.files.erase(messages::MuiPath(kNeutral, "en-US"));
        c.lay();
        FileMessageService service(files_, system_, MessageLanguages{});
        EXPECT_EQ(Texts(service, {1, 3, 5, 200}), c.expected);
    }
    EXPECT_EQ(messages::MuiPath(kNeutral, "ja-JP"), "C:\\Windows\\System32\\ソ\\ja-JP\\netevent.dll.mui");
}

// A file is read once while its size and write time stay; replaced (as
// another computer's file under the same local path), it is read again. A
// read that fails part way is the load's error and is not kept.
TEST_F(MessageFiles, FilesAreReadOnceWhileTheyStayTheSameAndFailuresAreNotKept) {
    Lay(kNeutral, NeutralImage(NeutralMui(7, "en-US"), 256 * 1024));
    LayLanguage("en-US", 7, {{1, u"first %1\r\n"}});
    FileMessageService service(files_, system_, MessageLanguages{});
    EXPECT_EQ(Texts(service, {1}), std::vector<std::string>{"first x\r\n"});
    const std::uint64_t once = files_.bytesRead;
    EXPECT_LT(once, files_.files[kNeutral].bytes.size() / 8) << "the whole file was read";
    EXPECT_EQ(Texts(service, {1}), std::vector<std::string>{"first x\r\n"});
    EXPECT_EQ(files_.bytesRead, once);
    EXPECT_GT(service.CachedBytes(), 0u);

    LayLanguage("en-US", 7, {{1, u"second %1\r\n"}});
    files_.files[messages::MuiPath(kNeutral, "en-US")].writeTime = 2;
    EXPECT_EQ(Texts(service, {1}), std::vector<std::string>{"second x\r\n"});

    files_.files[kNeutral].writeTime = 3;
    files_.files[kNeutral].failAt = 100;
    EXPECT_EQ(Texts(service, {1}), std::vector<std::string>{"load 64"});
    files_.files[kNeutral].failAt = ~std::uint64_t{0};
    EXPECT_EQ(Texts(service, {1}), std::vector<std::string>{"second x\r\n"});

    // Empty files and files that are no PE image load as the system refuses them.
    files_.files[kNeutral].bytes.clear();
    EXPECT_EQ(Texts(service, {1}), std::vector<std::string>{"load 1006"});
    files_.files[kNeutral].bytes.assign(300, 'x');
    EXPECT_EQ(Texts(service, {1}), std::vector<std::string>{"load 193"});
}

}  // namespace
}  // namespace quorvin::platform
