#include "rules/computer_list.h"

#include <algorithm>

#include "core/cp932.h"
#include "rules/settings_store.h"

namespace quorvin::computers {

const char* const kRootText = "ｺﾝﾋﾟｭｰﾀﾘｽﾄ";

std::vector<std::string> ParseComputerList(std::string_view stored) {
    // ";" (0x3B) is never the trail byte of a CP932 character, so a byte
    // search finds exactly the separators.
    std::vector<std::string> names;
    while (!stored.empty()) {
        const auto end = stored.find(';');
        if (end == std::string_view::npos) {
            names.emplace_back(stored);
            break;
        }
        names.emplace_back(stored.substr(0, end));
        stored.remove_prefix(end + 1);
    }
    return names;
}

std::string ComposeComputerList(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += name;
        text += ';';
    }
    return text;
}

std::vector<std::string> LoadComputerList(platform::RegistryKey& root, const std::string& key) {
    std::string stored;
    if (app::ReadRegistryValue(root, key, "ComputerListToSave", platform::regtype::kSz, stored) != 1)
        return {};
    return ParseComputerList(stored);
}

std::string ListToStore(const std::string& composed, const std::string& unreadable) {
    return composed.empty() ? unreadable : composed;
}

bool IsDuplicate(const std::vector<std::string>& names, std::string_view name) {
    for (const std::string& entry : names)
        if (text::MbsICmp(entry, name) == 0) return true;
    return false;
}

bool ListIsFull(std::size_t treeItemCount, std::uint32_t maxComputer) { return treeItemCount > maxComputer; }

app::UserMessage ListFullMessage() {
    return app::UserMessage{"これ以上ｺﾝﾋﾟｭｰﾀを追加することができません。", "注意", app::MessageIcon::Exclamation,
                            app::MessageButtons::Ok};
}

void ComputerList::Load(std::string_view stored) {
    names_ = ParseComputerList(stored);
    current_ = names_.empty() ? kNone : 0;
}

bool ComputerList::AddComputer(const std::string& name) {
    if (IsDuplicate(names_, name)) return false;
    names_.push_back(name);
    return true;
}

void ComputerList::Append(const std::string& name) { names_.push_back(name); }

void ComputerList::Clear() {
    names_.clear();
    current_ = kNone;
}

void ComputerList::Follow(int index) {
    current_ = index >= 0 && static_cast<std::size_t>(index) < names_.size() ? index : kNone;
}

bool ComputerList::RemoveCurrent() {
    if (current_ == kNone) return false;
    const int before = current_ - 1;
    names_.erase(names_.begin() + current_);
    if (before >= 0)
        current_ = before;
    else
        current_ = names_.empty() ? kNone : 0;
    return true;
}

void ComputerList::AfterAddCommand() {
    if (current_ == kNone && !names_.empty()) current_ = 0;
}

AddOutcome AddFromDialog(ComputerList& list, const std::string& name, std::uint32_t maxComputer) {
    if (ListIsFull(list.TreeItemCount(), maxComputer)) return AddOutcome::ListFull;
    if (name.empty()) return AddOutcome::EmptyName;
    if (name.size() > kMaxNameBytes) return AddOutcome::TooLong;
    return list.AddComputer(name) ? AddOutcome::Added : AddOutcome::Duplicate;
}

StartingList ReadStartingList(platform::RegistryKey& root, const std::string& keyPath,
                              const std::vector<std::string>& firstList) {
    StartingList list;
    if (app::ReadRegistryValue(root, keyPath, "ComputerListToSave", platform::regtype::kSz, list.stored) == 1)
        return list;
    list.stored.clear();
    std::unique_ptr<platform::RegistryKey> key;
    platform::Error error = root.OpenKeyToQuery(keyPath, key);
    std::uint32_t type = 0, size = 0;
    if (error == platform::error::kSuccess && key) error = key->QueryValue("ComputerListToSave", type, nullptr, size);
    if (error == platform::error::kFileNotFound) {
        list.stored = ComposeComputerList(firstList);
        return list;
    }
    if (error != platform::error::kSuccess || !key) return list;
    if ((type != platform::regtype::kSz && type != platform::regtype::kExpandSz) || size == 0) return list;
    std::string value(size, '\0');
    if (key->QueryValue("ComputerListToSave", type, reinterpret_cast<std::uint8_t*>(value.data()), size) !=
        platform::error::kSuccess)
        return list;
    value.resize(std::min<std::size_t>(size, value.find('\0')));
    list.unreadable = std::move(value);
    return list;
}

}  // namespace quorvin::computers
