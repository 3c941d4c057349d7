#include "rules/options.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace quorvin::app;

namespace {
AppSettings Stored() {
    AppSettings settings;
    settings.DayBefore = 120;
    settings.DontShowComList = 1;
    settings.AnotherLoginName = 1;
    std::strcpy(settings.Username, "admin");
    std::strcpy(settings.Password, "P@ssw0rd");
    return settings;
}
}  // namespace

TEST(Options, LenientNumberReadsLikeTheCLibrary) {
    EXPECT_EQ(LenientNumber("7"), 7);
    EXPECT_EQ(LenientNumber("7x"), 7);
    EXPECT_EQ(LenientNumber("ab"), 0);
    EXPECT_EQ(LenientNumber(""), 0);
    EXPECT_EQ(LenientNumber("-"), 0);
    EXPECT_EQ(LenientNumber("-5"), -5);
    EXPECT_EQ(LenientNumber("  +12"), 12);
    EXPECT_EQ(LenientNumber(" 1 2"), 1);
    EXPECT_EQ(LenientNumber("99999999999"), 2147483647);
    EXPECT_EQ(LenientNumber("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(LenientNumber("１２"), 0);
}

TEST(Options, FormShowsTheSettingsAndOkStoresThemBack) {
    AppSettings settings = Stored();
    const OptionsForm form = FormFromSettings(settings);
    EXPECT_EQ(form.days, "120");
    EXPECT_TRUE(form.dontShowComList);
    EXPECT_FALSE(form.dontShowMessageToolTip);
    EXPECT_TRUE(form.anotherLoginName);
    EXPECT_EQ(form.username, "admin");
    EXPECT_EQ(form.password, "P@ssw0rd");
    // Unchanged, OK stores what was there: 120 days survive although typing takes two digits.
    EXPECT_FALSE(AcceptOptions(form, settings));
    EXPECT_EQ(settings.DayBefore, 120);
    EXPECT_STREQ(settings.Username, "admin");

    OptionsForm changed;
    changed.days = "ab";
    changed.dontShowMessageToolTip = true;
    EXPECT_FALSE(AcceptOptions(changed, settings));
    EXPECT_EQ(settings.DayBefore, 0);
    EXPECT_EQ(settings.DontShowMessageToolTip, 1);
    EXPECT_EQ(settings.DontShowComList, 0);
    EXPECT_EQ(settings.AnotherLoginName, 0);
    EXPECT_STREQ(settings.Username, "");
    EXPECT_STREQ(settings.Password, "");
}

TEST(Options, RefusalsStoreNothing) {
    AppSettings settings = Stored();
    OptionsForm form = FormFromSettings(settings);
    form.days = "-5";
    form.username = "other";
    auto refusal = AcceptOptions(form, settings);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->text, "初期設定の日付は0日前から99日前の間で設定してください。");
    EXPECT_EQ(refusal->caption, "注意");
    EXPECT_EQ(refusal->icon, MessageIcon::Exclamation);
    EXPECT_EQ(settings.DayBefore, 120);
    EXPECT_STREQ(settings.Username, "admin");

    // The day count is looked at first; then the user name of the alternate login.
    form.days = "3";
    form.username.clear();
    form.password.clear();
    refusal = AcceptOptions(form, settings);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->text, "ユーザ名を指定してください。");
    EXPECT_STREQ(settings.Username, "admin");
    // An empty password is accepted.
    form.username = "u";
    EXPECT_FALSE(AcceptOptions(form, settings));
    EXPECT_STREQ(settings.Password, "");
    EXPECT_EQ(settings.DayBefore, 3);
}

TEST(Options, LoginTextsFitTheirFieldsAtWholeCharacters) {
    AppSettings settings;
    OptionsForm form;
    form.anotherLoginName = true;
    form.username = std::string(30, 'u');
    form.password = std::string(30, 'p');
    EXPECT_FALSE(AcceptOptions(form, settings));
    EXPECT_EQ(std::string(settings.Username), std::string(30, 'u'));
    EXPECT_EQ(std::string(settings.Password), std::string(30, 'p'));
    // Double-byte characters count two bytes: 16 of them are cut to 15.
    form.username = std::string(16 * 2, '\0');
    form.username.clear();
    for (int i = 0; i < 16; ++i) form.username += "管";
    EXPECT_FALSE(AcceptOptions(form, settings));
    EXPECT_EQ(std::strlen(settings.Username), 30u);
    EXPECT_EQ(settings.Password[30], '\0');
    EXPECT_EQ(settings.Password[31], '\0');
}
