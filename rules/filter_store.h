#pragma once
// The event list's filter kept for the next start, in values of its own
// beside the settings (ViewFilterTypes, ViewFilterLogs as REG_DWORD;
// ViewFilterComputers, ViewFilterSources, ViewFilterEventIds,
// ViewFilterText, ViewFilterHiddenChannels as REG_SZ, the last the hidden
// channels separated by ";"). Missing values restrict nothing.

#include <optional>

#include "rules/event_filter.h"
#include "rules/settings_store.h"

namespace quorvin::app {

// Reads the stored filter into `fields`. A stored value that is no filter
// gives its error and leaves `fields` restricting nothing.
// `key` is where the settings are kept (the program's own key or a demo network's).
std::optional<views::FilterError> LoadViewFilter(platform::RegistryKey& root, views::FilterFields& fields,
                                                 const std::string& key = kSettingsKey);

// The message at start-up when the stored filter cannot be used.
UserMessage StoredFilterMessage(const views::FilterError& error);

// Writes `fields` when they differ from `loaded` (a start that never set a
// filter writes nothing), each value through WriteRegistryValue; with no
// `loaded` (the stored filter was no filter) always, so that the values
// reported at this start are not reported again at the next.
void SaveViewFilter(platform::RegistryKey& root, const views::FilterFields& fields,
                    const views::FilterFields* loaded, RegistryMessages& messages,
                    const std::string& key = kSettingsKey);

// The summary window's size as the user left it, in pixels, in two values
// of its own (SummaryWidth, SummaryHeight as REG_DWORD); {0, 0} when they
// are not stored or not from kLeastSummarySide to kMostSummarySide.
constexpr int kLeastSummarySide = 200, kMostSummarySide = 16384;
SummarySize LoadSummarySize(platform::RegistryKey& root, const std::string& key = kSettingsKey);
// Writes `size` when it differs from `loaded`.
void SaveSummarySize(platform::RegistryKey& root, const SummarySize& size, const SummarySize& loaded,
                     RegistryMessages& messages, const std::string& key = kSettingsKey);

}  // namespace quorvin::app
