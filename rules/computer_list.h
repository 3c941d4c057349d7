#pragma once
// The computer list: the names under the computer tree's root in insertion
// order, its stored form `ComputerListToSave` ("pc1;pc2;pc3;"), the add rule
// with its duplicate test and limit, and the current computer that the
// delete command removes. Names are CP932 texts.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/user_message.h"
#include "rules/settings_store.h"
#include "services/services.h"

namespace quorvin::computers {

// The text of the tree's root item.
extern const char* const kRootText;
// Longest name the add dialog and the import accept, in bytes.
constexpr std::size_t kMaxNameBytes = 32;

// The names of a stored `ComputerListToSave` text, in order: each piece up
// to the next ";" (or the end) is one name, taken as it is: an empty piece
// ("a;;b") gives an empty name, and neither length, count nor duplicates
// are tested. A final ";" ends the last name and gives no empty one.
std::vector<std::string> ParseComputerList(std::string_view stored);

// Each name followed by ";"; an empty list gives the empty text.
std::string ComposeComputerList(const std::vector<std::string>& names);

// The names of the value ComputerListToSave under the settings key of
// `root` (this machine's HKEY_LOCAL_MACHINE). A missing or unreadable value,
// or one that does not fit the 17,016-byte buffer, gives no names.
std::vector<std::string> LoadComputerList(platform::RegistryKey& root, const std::string& key = app::kSettingsKey);

// The list the tree starts with and what the exit must keep, from one read
// of ComputerListToSave under `key`.
struct StartingList {
    // The stored value as ReadRegistryValue gives it; `firstList` composed
    // when `key` holds no such value at all (a demo network's first start);
    // empty for an empty stored value (the user's, it stays) or one that
    // does not fit the 17,016-byte buffer.
    std::string stored;
    // A stored value too long for the buffer, whole: the tree starts empty,
    // and an exit with the list still empty writes it back unchanged
    // instead of an empty text, so what the user had is not lost.
    std::string unreadable;
};
StartingList ReadStartingList(platform::RegistryKey& root, const std::string& key,
                              const std::vector<std::string>& firstList);

// The text the exit stores: the list composed at close, or, when that is
// empty, the unreadable stored list kept at start-up.
std::string ListToStore(const std::string& composed, const std::string& unreadable);

// True when `name` equals an entry of `names` under _mbsicmp rules.
bool IsDuplicate(const std::vector<std::string>& names, std::string_view name);

// The add dialog and the import refuse to add when the tree's item count
// (the root included) is greater than MaxComputer, i.e. when the list
// already holds MaxComputer entries.
bool ListIsFull(std::size_t treeItemCount, std::uint32_t maxComputer);
app::UserMessage ListFullMessage();

// The computer list with its current computer.
class ComputerList {
public:
    static constexpr int kNone = -1;

    // The initial update: the names of the stored text; the first entry
    // becomes current (none when the list is empty).
    void Load(std::string_view stored);

    const std::vector<std::string>& Names() const { return names_; }
    std::size_t Size() const { return names_.size(); }
    bool Empty() const { return names_.empty(); }
    // Items of the tree, the root included.
    std::size_t TreeItemCount() const { return names_.size() + 1; }

    // Appends `name` unless an entry with the same name under _mbsicmp
    // rules exists; true when appended. No limit and no length test.
    bool AddComputer(const std::string& name);
    // Appends without any test (the import).
    void Append(const std::string& name);
    // Removes every entry (the import's overwrite); no current computer.
    void Clear();

    // The stored form of the list.
    std::string Compose() const { return ComposeComputerList(names_); }

    // Index of the current computer, or kNone. Never the root.
    int Current() const { return current_; }
    // The entry the tree shows selected becomes current, however the
    // selection moved there (click, key, typing); an index that names no
    // entry (the root, no selection) gives none.
    void Follow(int index);
    // Removes the current computer, if any: the entry before it becomes
    // current, or the new first entry when it was the first (none when the
    // list is now empty). False when there was no current computer.
    bool RemoveCurrent();
    // After the main frame's add command: the first entry when none is current.
    void AfterAddCommand();
    // After an import: no current computer (the root is selected).
    void AfterImport() { current_ = kNone; }

private:
    std::vector<std::string> names_;
    int current_ = kNone;
};

// What "追加" in the add-computer dialog did with the typed name.
enum class AddOutcome {
    Added,      // appended; the edit box is cleared
    ListFull,   // ListFullMessage() is shown; tested before anything else
    EmptyName,  // nothing happens
    TooLong,    // longer than 32 bytes (the edit box never gives one); nothing happens
    Duplicate,  // nothing happens, the text stays in the edit box
};
AddOutcome AddFromDialog(ComputerList& list, const std::string& name, std::uint32_t maxComputer);

}  // namespace quorvin::computers
