#include "rules/window_store.h"

#include <algorithm>
#include <cstdlib>

#include "services/services.h"

namespace quorvin::app {

namespace {

namespace regtype = platform::regtype;

constexpr char kPlaceValue[] = "MainWindowPlace";
constexpr char kWidthsValue[] = "ListColumnWidths";
// Larger than any screen: a stored number past it is no place.
constexpr long kMostCoordinate = 100000;
// The least width and height of a restored window, and how much of its
// caption must show to leave it where it is.
constexpr int kLeastSide = 100, kGrabWidth = 60, kGrabHeight = 24;
constexpr int kMostColumnWidth = 10000;

// Numbers separated by ",", each with an optional "-"; false when the text is anything else.
bool ParseNumbers(const std::string& text, std::vector<long>& numbers) {
    numbers.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string part = text.substr(start, end - start);
        const std::size_t digits = !part.empty() && part[0] == '-' ? 1 : 0;
        if (part.size() == digits || part.size() > 7 + digits ||
            part.find_first_not_of("0123456789", digits) != std::string::npos)
            return false;
        numbers.push_back(std::strtol(part.c_str(), nullptr, 10));
        if (end == text.size()) return true;
        start = end + 1;
    }
}

}  // namespace

std::string PlaceText(const PixelRect& normal, bool maximized) {
    return std::to_string(normal.left) + "," + std::to_string(normal.top) + "," + std::to_string(normal.right) + "," +
           std::to_string(normal.bottom) + "," + (maximized ? "1" : "0");
}

bool ParsePlace(const std::string& text, PixelRect& normal, bool& maximized) {
    std::vector<long> n;
    if (!ParseNumbers(text, n) || n.size() != 5 || (n[4] != 0 && n[4] != 1)) return false;
    for (int i = 0; i < 4; ++i)
        if (std::labs(n[static_cast<std::size_t>(i)]) > kMostCoordinate) return false;
    const PixelRect read{static_cast<int>(n[0]), static_cast<int>(n[1]), static_cast<int>(n[2]), static_cast<int>(n[3])};
    if (read.Width() < kLeastSide || read.Height() < kLeastSide) return false;
    normal = read;
    maximized = n[4] == 1;
    return true;
}

std::string WidthsText(const std::vector<int>& widths) {
    std::string text;
    for (const int width : widths) text += (text.empty() ? "" : ",") + std::to_string(width);
    return text;
}

bool ParseWidths(const std::string& text, std::vector<int>& widths) {
    std::vector<long> n;
    if (!ParseNumbers(text, n)) return false;
    for (const long width : n)
        if (width < 0 || width > kMostColumnWidth) return false;
    widths.assign(n.begin(), n.end());
    return true;
}

MainWindowLayout LoadMainWindowLayout(platform::RegistryKey& root, const std::string& key) {
    MainWindowLayout layout;
    std::string text;
    if (ReadRegistryValue(root, key, kPlaceValue, regtype::kSz, text) == 1)
        layout.placed = ParsePlace(text, layout.normal, layout.maximized);
    if (ReadRegistryValue(root, key, kWidthsValue, regtype::kSz, text) == 1 && !ParseWidths(text, layout.columnWidths))
        layout.columnWidths.clear();
    return layout;
}

void SaveMainWindowLayout(platform::RegistryKey& root, const MainWindowLayout& layout, const MainWindowLayout& loaded,
                          RegistryMessages& messages, const std::string& key) {
    if (layout.placed && (!loaded.placed || layout.normal != loaded.normal || layout.maximized != loaded.maximized))
        WriteRegistryValue(root, key, kPlaceValue, regtype::kSz, 0, PlaceText(layout.normal, layout.maximized),
                           messages);
    if (!layout.columnWidths.empty() && layout.columnWidths != loaded.columnWidths)
        WriteRegistryValue(root, key, kWidthsValue, regtype::kSz, 0, WidthsText(layout.columnWidths), messages);
}

PixelRect BringOnto(const PixelRect& window, const PixelRect& work) {
    const int grabbed = std::min(window.right, work.right) - std::max(window.left, work.left);
    const bool captionShows = window.top >= work.top && window.top <= work.bottom - kGrabHeight &&
                              grabbed >= std::min(kGrabWidth, window.Width());
    if (captionShows) return window;
    const int width = std::min(window.Width(), work.Width()), height = std::min(window.Height(), work.Height());
    const int left = std::clamp(window.left, work.left, work.right - width);
    const int top = std::clamp(window.top, work.top, work.bottom - height);
    return {left, top, left + width, top + height};
}

}  // namespace quorvin::app
