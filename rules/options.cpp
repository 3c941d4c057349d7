#include "rules/options.h"

#include <cstring>
#include <limits>

#include "core/display_text.h"

namespace quorvin::app {

namespace {
void Store(char* field, std::size_t room, const std::string& text) {
    const std::string fitted = CutToBytes(text, std::min(kMaxLoginBytes, room - 1));
    std::memset(field, 0, room);
    std::memcpy(field, fitted.data(), fitted.size());
}
std::string FieldText(const char* field, std::size_t room) { return std::string(field, strnlen(field, room)); }
}  // namespace

OptionsForm FormFromSettings(const AppSettings& settings) {
    OptionsForm form;
    form.dontShowComList = settings.DontShowComList == 1;
    form.dontShowMessageToolTip = settings.DontShowMessageToolTip == 1;
    form.anotherLoginName = settings.AnotherLoginName == 1;
    form.days = std::to_string(settings.DayBefore);
    form.username = FieldText(settings.Username, sizeof settings.Username);
    form.password = FieldText(settings.Password, sizeof settings.Password);
    return form;
}

std::int32_t LenientNumber(std::string_view text) {
    std::size_t at = 0;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
    while (at < text.size() && blank(text[at])) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = std::min(kLimit, value * 10 + (text[at] - '0'));
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min(value, kLimit - 1));
}

std::optional<UserMessage> CheckOptions(const OptionsForm& form) {
    if (LenientNumber(form.days) < 0) return UserMessage{"初期設定の日付は0日前から99日前の間で設定してください。", "注意"};
    if (form.anotherLoginName && form.username.empty()) return UserMessage{"ユーザ名を指定してください。", "注意"};
    return std::nullopt;
}

std::optional<UserMessage> AcceptOptions(const OptionsForm& form, AppSettings& settings) {
    if (auto refusal = CheckOptions(form)) return refusal;
    settings.DayBefore = LenientNumber(form.days);
    settings.DontShowComList = form.dontShowComList ? 1 : 0;
    settings.DontShowMessageToolTip = form.dontShowMessageToolTip ? 1 : 0;
    settings.AnotherLoginName = form.anotherLoginName ? 1 : 0;
    Store(settings.Username, sizeof settings.Username, form.username);
    Store(settings.Password, sizeof settings.Password, form.password);
    return std::nullopt;
}

}  // namespace quorvin::app
