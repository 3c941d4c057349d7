// Where the alternate account's password comes from, the keys of the prompt
// and the account texts of a stored credential.

#include "cli/password.h"

#include <gtest/gtest.h>

#include "cli/cli_options.h"
#include "cli/credential.h"

using namespace quorvin::cli;

namespace {

ParsedCommandLine Parse(std::vector<std::string> args) {
    args.insert(args.begin(), {"--network", "net", "--computers", "a"});
    return ParseCommandLine(args);
}

}  // namespace

TEST(Password, SourceFollowsTheSwitchesAndTheTerminal) {
    const struct {
        std::vector<std::string> args;
        PasswordSource onTerminal, withoutTerminal;
    } cases[] = {
        {{}, PasswordSource::kNone, PasswordSource::kNone},
        {{"--user", "admin"}, PasswordSource::kPrompt, PasswordSource::kRefused},
        {{"--user", "admin", "--password", "-"}, PasswordSource::kStandardInput, PasswordSource::kStandardInput},
        {{"--user", "admin", "--password="}, PasswordSource::kCommandLine, PasswordSource::kCommandLine},
        {{"--password", "pw", "--user", "admin"}, PasswordSource::kCommandLine, PasswordSource::kCommandLine},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.args);
        ASSERT_EQ(parsed.error, "") << ::testing::PrintToString(c.args);
        EXPECT_EQ(ChoosePasswordSource(parsed.options, true), c.onTerminal) << ::testing::PrintToString(c.args);
        EXPECT_EQ(ChoosePasswordSource(parsed.options, false), c.withoutTerminal) << ::testing::PrintToString(c.args);
    }
    EXPECT_EQ(Parse({"--user", "admin", "--password", "pw"}).options.password, "pw");

    CliOptions stored;
    stored.credential = "quorvin";
    EXPECT_EQ(ChoosePasswordSource(stored, false), PasswordSource::kCredential);
    // A password CP932 cannot hold or longer than the field is refused without
    // being repeated in the message.
    const std::string secrets[] = {"p\xF0\x9F\x98\x80w", std::string(31, 's'), "pw\xE2\x82\xAC\xE2\x82\xAC"};
    for (const std::string& secret : secrets) {
        const std::string error = Parse({"--user", "admin", "--password", secret}).error;
        EXPECT_NE(error, "");
        EXPECT_EQ(error.find(secret), std::string::npos) << error;
    }
    EXPECT_NE(Parse({"--credential", "c", "--user", "admin"}).error, "");
    EXPECT_NE(Parse({"--credential", ""}).error, "");
}

TEST(Password, PromptKeysEditTheLine) {
    const auto type = [](const std::string& keys, std::size_t limit = 90) {
        std::string line;
        for (const char key : keys) {
            const KeyResult result = TypeKey(line, static_cast<unsigned char>(key), limit);
            if (result == KeyResult::kCancelled) return std::string("<cancelled>");
            if (result == KeyResult::kDone) return line;
        }
        return std::string("<open>");
    };
    EXPECT_EQ(type("P@ssw0rd\r"), "P@ssw0rd");
    EXPECT_EQ(type("ab\x7F" "c\x08" "d\n"), "ad");
    EXPECT_EQ(type("\xE3\x82\xBD" "x\x7F\x7F" "y\r"), "y");  // a three-byte character taken back whole
    EXPECT_EQ(type("old\x15new\x1B\t\r"), "new");
    EXPECT_EQ(type("ab\x03"), "<cancelled>");
    EXPECT_EQ(type("\x04"), "<cancelled>");
    EXPECT_EQ(type("a\x04" "b\r"), "ab");
    EXPECT_EQ(type("abcdef\r", 3), "abcd");  // kept to one past the limit: the caller refuses it
    EXPECT_EQ(type("abc"), "<open>");
}

TEST(Password, CredentialBlobsBecomeTheAccountOrAClearRefusal) {
    std::string user, password, error;
    const auto blob = [](const std::u16string& text) {
        return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    };
    const auto read = [&](const char16_t* name, const std::string& bytes) {
        error.clear();
        return AccountOfCredential("quorvin", name, reinterpret_cast<const unsigned char*>(bytes.data()),
                                   bytes.size(), user, password, error);
    };
    ASSERT_TRUE(read(u"Administrator", blob(u"P@ssw0rd"))) << error;
    EXPECT_EQ(user, "Administrator");
    EXPECT_EQ(password, "P@ssw0rd");
    ASSERT_TRUE(read(u"\u7BA1\u7406\u8005", blob(std::u16string(u"\uFF8A\uFF9F\uFF7D") + u'\0')));  // with its NUL
    EXPECT_EQ(user, "\x8A\xC7\x97\x9D\x8E\xD2");
    EXPECT_EQ(password, "\xCA\xDF\xBD");
    ASSERT_TRUE(read(u"guest", ""));
    EXPECT_EQ(password, "");

    const struct {
        const char16_t* user;
        std::string bytes;
        const char* says;
    } bad[] = {
        {nullptr, blob(u"secret"), "no user name"},
        {u"", blob(u"secret"), "no user name"},
        {u"admin", blob(u"secret").substr(0, 5), "odd number"},
        {u"admin", blob(std::u16string(31, u's')), "longer than 30"},
        {u"admin", blob(u"se\u20ACret"), "CP932 cannot"},
        {u"admin", blob(std::u16string(u"se") + u'\0' + u"cret"), "CP932 cannot"},
        {u"\U0001F600", blob(u"secret"), "user name"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(read(b.user, b.bytes));
        EXPECT_NE(error.find(b.says), std::string::npos) << error;
        EXPECT_NE(error.find("'quorvin'"), std::string::npos) << error;
        EXPECT_EQ(error.find("secret"), std::string::npos) << error;
        EXPECT_EQ(password, "");
    }
}
