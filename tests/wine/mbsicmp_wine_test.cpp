// Our CP932 ordering against the C runtime's _mbsicmp with code page 932.

#include <mbctype.h>
#include <mbstring.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/cp932.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

int RuntimeCompare(const std::string& a, const std::string& b) {
    // Padding: the runtime may look one byte past a lead byte that ends the text.
    std::string pa = a + std::string(4, '\0');
    std::string pb = b + std::string(4, '\0');
    return _mbsicmp(reinterpret_cast<const unsigned char*>(pa.c_str()),
                    reinterpret_cast<const unsigned char*>(pb.c_str()));
}

const std::vector<std::string>& Samples() {
    static const std::vector<std::string> samples = {
        "", "a", "A", "b", "Z", "z", "_", "[", "`", "{", "~", "0", "9", "@",
        "sv1", "SV1", "Sv10", "sv2", "pc", "pc1", "PC1a",
        "\x83\x5C",          // "ソ": trail byte is a backslash
        "\x83\x41",          // "ア": trail byte 'A'
        "\x83\x61",          // trail byte 'a'
        "\x94\x5C",          // "能"
        "\x95\x5C" "a",      // "表a"
        "\xB1", "\xB2", "\xDF", "\xA1",  // half-width katakana
        "\x83\x5C\xB1", "\xB1\x83\x5C", "a\x83\x41", "A\x83\x61",
        "\x88\x9F", "\xE0\x40", "\xFC\x4B", "\x80", "\xA0", "\xFD", "\xFF",
        std::string("\x83", 1), std::string("a\x83", 2), std::string("A\x83", 2),
        "\x82\x60",          // full-width A
        "\x82\x81",          // full-width a
    };
    return samples;
}

}  // namespace

TEST(MbsICmpAgainstRuntime, EveryPairOfSamplesOrdersAlike) {
    ASSERT_EQ(_setmbcp(932), 0);
    const auto& samples = Samples();
    int compared = 0;
    for (const auto& a : samples) {
        for (const auto& b : samples) {
            // Wine lower-cases full-width letters, the rule here does not:
            // those pairs stay out of the comparison.
            const bool fullWidthLetters = (a.find("\x82\x60") != std::string::npos && b.find("\x82\x81") != std::string::npos) ||
                                          (b.find("\x82\x60") != std::string::npos && a.find("\x82\x81") != std::string::npos);
            if (fullWidthLetters) continue;
            EXPECT_EQ(Sign(quorvin::text::MbsICmp(a, b)), Sign(RuntimeCompare(a, b)))
                << "pair: [" << a << "] [" << b << "]";
            ++compared;
        }
    }
    EXPECT_GT(compared, 2000);
}
