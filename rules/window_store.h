#pragma once
// The main window's place and the event list's column widths kept for the
// next start, in values of their own beside the settings:
// MainWindowPlace (REG_SZ "left,top,right,bottom,maximized") and
// ListColumnWidths (REG_SZ, the widths in pixels separated by ",").

#include "rules/settings.h"
#include "rules/settings_store.h"

namespace quorvin::app {

// What is stored; a value that is missing or no such text is left out (the
// window then opens as on a first start).
MainWindowLayout LoadMainWindowLayout(platform::RegistryKey& root, const std::string& key = kSettingsKey);
// Writes what differs from `loaded`.
void SaveMainWindowLayout(platform::RegistryKey& root, const MainWindowLayout& layout, const MainWindowLayout& loaded,
                          RegistryMessages& messages, const std::string& key = kSettingsKey);

// The values' texts, and back; false for a text that is none.
std::string PlaceText(const PixelRect& normal, bool maximized);
bool ParsePlace(const std::string& text, PixelRect& normal, bool& maximized);
std::string WidthsText(const std::vector<int>& widths);
bool ParseWidths(const std::string& text, std::vector<int>& widths);

// `window` moved (and made smaller when it must) so that its top edge lies
// in `work`, the work area of the monitor nearest to it, with enough of it
// showing to be grabbed; a window that already shows so much stays where
// it is. A stored place can be off every monitor when a monitor was
// removed or the resolution lowered since.
PixelRect BringOnto(const PixelRect& window, const PixelRect& work);

}  // namespace quorvin::app
