#include "rules/filter_store.h"

#include "services/services.h"

namespace quorvin::app {

namespace {

namespace regtype = platform::regtype;

struct StoredText {
    const char* name;
    std::string views::FilterFields::*text;
};
constexpr StoredText kTexts[] = {
    {"ViewFilterComputers", &views::FilterFields::computers},
    {"ViewFilterSources", &views::FilterFields::sources},
    {"ViewFilterEventIds", &views::FilterFields::eventIds},
    {"ViewFilterText", &views::FilterFields::text},
};

constexpr const char* kChannelsValue = "ViewFilterHiddenChannels";

// A stored set of choices: the decimal text of a number from 0 to `all`.
bool ParseChoice(const std::string& text, unsigned all, unsigned& choice) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    choice = static_cast<unsigned>(std::stoi(text));
    return choice <= all;
}

}  // namespace

std::optional<views::FilterError> LoadViewFilter(platform::RegistryKey& root, views::FilterFields& fields,
                                                 const std::string& key) {
    views::FilterFields read;
    std::string text;
    const struct {
        const char* name;
        unsigned views::FilterFields::*choice;
        unsigned all;
        views::FilterField field;
    } choices[] = {{"ViewFilterTypes", &views::FilterFields::types, views::kAllTypes, views::FilterField::kTypes},
                   {"ViewFilterLogs", &views::FilterFields::logs, views::kAllLogs, views::FilterField::kLogs}};
    for (const auto& c : choices) {
        if (ReadRegistryValue(root, key, c.name, regtype::kDword, text) != 1) continue;
        if (!ParseChoice(text, c.all, read.*c.choice)) {
            fields = views::FilterFields();
            return views::FilterError{c.field, views::FilterProblem::kBadChoice, text, 0};
        }
    }
    for (const StoredText& stored : kTexts)
        if (ReadRegistryValue(root, key, stored.name, regtype::kSz, text) == 1) read.*stored.text = text;
    views::FilterError error{};
    if (ReadRegistryValue(root, key, kChannelsValue, regtype::kSz, text) == 1 &&
        !views::ParseChannelList(text, read.hiddenChannels, error)) {
        fields = views::FilterFields();
        return error;
    }
    if (!views::EventFilter::Parse(read, error)) {
        fields = views::FilterFields();
        return error;
    }
    fields = read;
    return std::nullopt;
}

UserMessage StoredFilterMessage(const views::FilterError& error) {
    UserMessage message = views::FilterErrorMessage(error);
    message.text = "保存されていた絞り込みを使えないため、すべてのｲﾍﾞﾝﾄを表示します。\r\n" + message.text;
    return message;
}

void SaveViewFilter(platform::RegistryKey& root, const views::FilterFields& fields,
                    const views::FilterFields* loaded, RegistryMessages& messages, const std::string& key) {
    if (loaded && fields == *loaded) return;
    WriteRegistryValue(root, key, "ViewFilterTypes", regtype::kDword, fields.types, {}, messages);
    WriteRegistryValue(root, key, "ViewFilterLogs", regtype::kDword, fields.logs, {}, messages);
    for (const StoredText& stored : kTexts)
        WriteRegistryValue(root, key, stored.name, regtype::kSz, 0, fields.*stored.text, messages);
    WriteRegistryValue(root, key, kChannelsValue, regtype::kSz, 0, views::ChannelListText(fields.hiddenChannels),
                       messages);
}

SummarySize LoadSummarySize(platform::RegistryKey& root, const std::string& key) {
    std::string width, height;
    if (ReadRegistryValue(root, key, "SummaryWidth", regtype::kDword, width) != 1 ||
        ReadRegistryValue(root, key, "SummaryHeight", regtype::kDword, height) != 1)
        return {};
    const auto side = [](const std::string& text) {
        const bool number = !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
        const int value = number ? std::stoi(text) : 0;
        return value >= kLeastSummarySide && value <= kMostSummarySide ? value : 0;
    };
    const SummarySize size{side(width), side(height)};
    return size.width && size.height ? size : SummarySize{};
}

void SaveSummarySize(platform::RegistryKey& root, const SummarySize& size, const SummarySize& loaded,
                     RegistryMessages& messages, const std::string& key) {
    if (size == loaded || !size.width || !size.height) return;
    WriteRegistryValue(root, key, "SummaryWidth", regtype::kDword, static_cast<std::uint32_t>(size.width), {},
                       messages);
    WriteRegistryValue(root, key, "SummaryHeight", regtype::kDword, static_cast<std::uint32_t>(size.height), {},
                       messages);
}

}  // namespace quorvin::app
