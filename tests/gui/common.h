#pragma once
// Helpers shared by the GUI tests.

#include <gtest/gtest.h>

#include "driver.h"

#define ASSERT_READY(app)                     \
    do {                                      \
        std::string why_;                     \
        ASSERT_TRUE((app).Ready(why_)) << why_; \
    } while (0)

namespace quorvin::gui_test {

// A fresh settings key holding only `computerList` as ComputerListToSave
// (none when null).
inline bool FreshSettings(const char* computerList) {
    if (!settings::Delete()) return false;
    return computerList == nullptr || settings::SetString("ComputerListToSave", computerList);
}

inline std::string StoredList() {
    std::string text = "<missing>";
    settings::ReadString("ComputerListToSave", text);
    return text;
}

// "n0;n1;...;" with `count` names.
inline std::string Names(int count, const std::string& prefix = "pc") {
    std::string text;
    for (int i = 0; i < count; ++i) text += prefix + std::to_string(i) + ";";
    return text;
}

}  // namespace quorvin::gui_test
