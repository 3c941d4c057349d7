// The provider manifest: what the writer writes the reader reads back, over
// a description with every kind of element present and absent; damage at
// every field the reader takes ends in a problem naming where, never a
// read outside the bytes; the resource is found in a DLL made by the mingw
// resource compiler.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "formats/messages/message_file.h"
#include "formats/wevt/wevt.h"
#include "support/evtx_test_util.h"
#include "support/wevt_test_util.h"

namespace quorvin::wevt {
namespace {

// Shows a template's binary XML as text.
class TextSink final : public evtx::XmlSink {
public:
    std::u16string text;
    void Open(evtx::NameView n) override { text += u"<" + Name(n); }
    void Attribute(evtx::NameView n) override { text += u" " + Name(n) + u"="; }
    void Content() override { text += u">"; }
    void End() override { text += u"/"; }
    void Literal(const std::uint8_t* p, std::uint32_t units) override { evtx::AppendUtf16(p, units, text); }
    void Character(char16_t c) override { text.push_back(c); }
    void Entity(evtx::NameView n) override { text += u"&" + Name(n) + u";"; }
    // A template walked alone has no values: each substitution shows as "{}".
    void Value(evtx::ValueView, bool) override { text += u"{}"; }

private:
    static std::u16string Name(evtx::NameView n) {
        std::u16string s;
        evtx::AppendUtf16(n.chars, n.units, s);
        return s;
    }
};

TEST(WevtManifest, WhatIsWrittenIsReadBack) {
    const Manifest written = test::SampleManifest();
    const std::vector<std::uint8_t> bytes = WriteManifest(written);
    Manifest read;
    std::string problem;
    ASSERT_TRUE(ReadManifest(bytes.data(), bytes.size(), read, problem)) << problem;
    EXPECT_EQ(problem, "");
    ASSERT_EQ(read.providers.size(), written.providers.size());
    for (std::size_t i = 0; i < written.providers.size(); ++i)
        EXPECT_TRUE(read.providers[i] == written.providers[i]) << "provider " << i;
    ASSERT_NE(read.Find(test::kProviderGuid), nullptr);
    EXPECT_EQ(read.Find(test::kProviderGuid)->events.size(), written.providers[0].events.size());

    // The template's binary XML walks as written, names in place.
    TextSink sink;
    ASSERT_TRUE(WalkTemplate(read.providers[0].templates[1], sink, problem)) << problem;
    EXPECT_EQ(sink.text, u"<EventData><Data Name=Kind>{}/<Data Name=Flags>{}/<Data Name=Text>{}/<Data>a &amp; b//");

    // Resource padding after the manifest is not part of it.
    std::vector<std::uint8_t> padded = bytes;
    padded.resize(bytes.size() + 6, 0);
    ASSERT_TRUE(ReadManifest(padded.data(), padded.size(), read, problem)) << problem;
    EXPECT_TRUE(read.providers[0] == written.providers[0]);
}

TEST(WevtManifest, GuidTexts) {
    Guid g{};
    ASSERT_TRUE(ParseGuid(u"{8D2B5A3E-1C4F-4A6B-9E21-0F3C5D7A9B11}", g));
    EXPECT_EQ(g, test::kProviderGuid);
    ASSERT_TRUE(ParseGuid(u"8d2b5a3e-1c4f-4a6b-9e21-0f3c5d7a9b11", g));
    EXPECT_EQ(g, test::kProviderGuid);
    EXPECT_FALSE(ParseGuid(u"{8D2B5A3E-1C4F-4A6B-9E21+0F3C5D7A9B11}", g));
    EXPECT_FALSE(ParseGuid(u"{8D2B5A3E-1C4F-4A6B-9E21-0F3C5D7A9B1G}", g));
    EXPECT_FALSE(ParseGuid(u"", g));
}

// Every field the reader takes, made to point or count past the end, ends
// the reading with a problem that says where; small changes of each, and
// every truncation, end in a manifest or a problem, never a read outside
// the bytes (the sanitizer build checks that).
TEST(WevtManifest, DamageAtEveryFieldIsReported) {
    std::vector<Field> fields;
    const std::vector<std::uint8_t> bytes = WriteManifest(test::SampleManifest(), fields);
    ASSERT_GT(fields.size(), 60u);
    Manifest read;
    std::string problem;
    for (const Field& f : fields) {
        for (std::uint32_t bad : {0xFFFFFFF0u, 0x7FFFFFFFu, static_cast<std::uint32_t>(bytes.size() + 1)}) {
            std::vector<std::uint8_t> damaged = bytes;
            if (f.size == 2 && bad > 0xFFFF) continue;
            for (std::size_t i = 0; i < f.size; ++i) damaged[f.offset + i] = static_cast<std::uint8_t>(bad >> (8 * i));
            EXPECT_FALSE(ReadManifest(damaged.data(), damaged.size(), read, problem)) << f.what << " = " << bad;
            EXPECT_NE(problem.find(" at 0x"), std::string::npos) << f.what << ": " << problem;
            EXPECT_TRUE(read.providers.empty());
        }
        for (std::uint32_t delta : {1u, 4u, 0xFFFFFFFFu, 0x80000000u}) {
            std::vector<std::uint8_t> damaged = bytes;
            for (std::size_t i = 0; i < f.size; ++i) damaged[f.offset + i] ^= static_cast<std::uint8_t>(delta >> (8 * i));
            if (!ReadManifest(damaged.data(), damaged.size(), read, problem)) {
                EXPECT_FALSE(problem.empty()) << f.what;
            }
        }
    }
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_FALSE(ReadManifest(cut.data(), cut.size(), read, problem)) << size;
        EXPECT_FALSE(problem.empty());
        // The same cut with a header that agrees: the fault is found further in.
        if (size >= 8) quorvin::bytes::StoreU32(cut.data() + 4, static_cast<std::uint32_t>(size));
        if (!ReadManifest(cut.data(), cut.size(), read, problem)) {
            EXPECT_FALSE(problem.empty()) << size;
        }
    }
    EXPECT_FALSE(ReadManifest(nullptr, 0, read, problem));
    EXPECT_EQ(problem, "the manifest (4 bytes) runs past the end of the manifest (0 bytes) at 0x0");
}

TEST(WevtManifest, ProblemsSayWhatAndWhere) {
    std::vector<Field> fields;
    const std::vector<std::uint8_t> bytes = WriteManifest(test::SampleManifest(), fields);
    auto damage = [&](const std::string& what, std::uint32_t value) {
        for (const Field& f : fields) {
            if (f.what != what) continue;
            std::vector<std::uint8_t> d = bytes;
            quorvin::bytes::StoreU32(d.data() + f.offset, value);
            Manifest m;
            std::string problem;
            EXPECT_FALSE(ReadManifest(d.data(), d.size(), m, problem));
            return problem;
        }
        ADD_FAILURE() << "no field " << what;
        return std::string();
    };
    EXPECT_EQ(damage("the number of providers", 1000), "1000 providers (20000 bytes) runs past the end of the manifest (" +
                                                           std::to_string(bytes.size()) + " bytes) at 0x10");
    EXPECT_NE(damage("the template offset of event 100 version 1", 0x30).find("event 100 version 1 names no template"),
              std::string::npos);
    EXPECT_NE(damage("the map offset of an item of template 1", 0x30).find("names no map"), std::string::npos);
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The test DLL holds tests/messages/manifest.bin as the resource
// "1 WEVT_TEMPLATE" put there by windres; that file is what the writer
// writes for SampleManifest (QUORVIN_WRITE_WEVT_SAMPLE=1 writes it again).
TEST(WevtManifest, ResourceOfADllMadeByTheResourceCompiler) {
    const char* source = std::getenv("QUORVIN_SOURCE_DIR");
    const char* binary = std::getenv("QUORVIN_BINARY_DIR");
    if (source == nullptr || binary == nullptr) GTEST_SKIP() << "QUORVIN_SOURCE_DIR and QUORVIN_BINARY_DIR are not set";
    const std::vector<std::uint8_t> written = WriteManifest(test::SampleManifest());
    const std::string sample = std::string(source) + "/tests/messages/manifest.bin";
    if (std::getenv("QUORVIN_WRITE_WEVT_SAMPLE") != nullptr)
        std::ofstream(sample, std::ios::binary).write(reinterpret_cast<const char*>(written.data()), written.size());
    EXPECT_EQ(ReadFile(sample), written) << "tests/messages/manifest.bin is not what the writer writes now";

    const std::vector<std::uint8_t> dll = ReadFile(std::string(binary) + "/test-messages/msgtest_manifest.dll");
    ASSERT_FALSE(dll.empty());
    messages::MemorySource dllSource(dll.data(), dll.size());
    std::vector<std::uint8_t> resource;
    std::string problem;
    ASSERT_EQ(messages::ReadManifestResource(dllSource, resource, &problem), 0u) << problem;
    // windres pads the resource to a multiple of 4 bytes.
    ASSERT_GE(resource.size(), written.size());
    EXPECT_TRUE(std::equal(written.begin(), written.end(), resource.begin()));
    Manifest read;
    ASSERT_TRUE(ReadManifest(resource.data(), resource.size(), read, problem)) << problem;
    EXPECT_EQ(read.providers.size(), 3u);

    const std::vector<std::uint8_t> plain = ReadFile(std::string(binary) + "/test-messages/msgtest_parameters.dll");
    messages::MemorySource plainSource(plain.data(), plain.size());
    EXPECT_EQ(messages::ReadManifestResource(plainSource, resource, &problem), 1813u);
    EXPECT_EQ(problem, "the file has no WEVT_TEMPLATE resource");
    messages::MemorySource none(written.data(), written.size());
    EXPECT_EQ(messages::ReadManifestResource(none, resource, &problem), 193u);
    EXPECT_TRUE(resource.empty());
}

}  // namespace
}  // namespace quorvin::wevt
