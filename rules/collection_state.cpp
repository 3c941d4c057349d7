#include "rules/collection_state.h"

#include <nlohmann/json.hpp>

#include "core/cp932.h"

namespace quorvin::run {

namespace {

constexpr const char* kKind = "quorvin-collection-state";
constexpr int kVersion = 1;

bool KnownLog(const std::string& log) { return log == "system" || log == "security" || log == "application"; }

bool ReadNumber(const nlohmann::json& entry, const char* key, std::uint32_t& value) {
    const auto it = entry.find(key);
    if (it == entry.end() || !it->is_number_unsigned()) return false;
    const std::uint64_t number = it->get<std::uint64_t>();
    if (number > 0xFFFFFFFFu) return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}

}  // namespace

std::optional<engine::LogBookmark> CollectionState::Find(const std::string& computer, const std::string& log) const {
    for (const StateEntry& entry : entries_)
        if (entry.log == log && text::MbsICmp(entry.computer, computer) == 0) return entry.bookmark;
    return std::nullopt;
}

void CollectionState::Set(const std::string& computer, const std::string& log,
                          const std::optional<engine::LogBookmark>& bookmark) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->log != log || text::MbsICmp(it->computer, computer) != 0) continue;
        if (bookmark)
            it->bookmark = *bookmark;
        else
            entries_.erase(it);
        return;
    }
    if (bookmark) entries_.push_back({computer, log, *bookmark});
}

std::string WriteState(const CollectionState& state) {
    std::string text = "{\"kind\":\"" + std::string(kKind) + "\",\"version\":" + std::to_string(kVersion) +
                       ",\"logs\":[";
    bool first = true;
    for (const StateEntry& entry : state.Entries()) {
        nlohmann::ordered_json j;
        j["computer"] = text::Cp932ToUtf8Marked(entry.computer);
        j["log"] = entry.log;
        j["record"] = entry.bookmark.recordNumber;
        j["written"] = entry.bookmark.timeWritten;
        text += first ? "\n" : ",\n";
        text += j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        first = false;
    }
    return text + "\n]}\n";
}

bool ParseState(std::string_view text, CollectionState& state, std::string& error) {
    state = CollectionState{};
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return true;
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        // e.what() names the line and the column of a syntax error.
        error = std::string("no state file of this program: ") + e.what();
        return false;
    }
    if (!document.is_object() || document.value("kind", std::string()) != kKind) {
        error = "no state file of this program: \"kind\" is not \"" + std::string(kKind) + "\"";
        return false;
    }
    const auto version = document.find("version");
    if (version == document.end() || !version->is_number_integer() || version->get<long long>() != kVersion) {
        error = "a state file of another version (this program reads version " + std::to_string(kVersion) + ")";
        return false;
    }
    const auto logs = document.find("logs");
    if (logs == document.end() || !logs->is_array()) {
        error = "the state file has no \"logs\" list";
        return false;
    }
    for (std::size_t i = 0; i < logs->size(); ++i) {
        const nlohmann::json& entry = (*logs)[i];
        const std::string where = "entry " + std::to_string(i + 1) + " of \"logs\": ";
        if (!entry.is_object()) {
            error = where + "not an object";
            return false;
        }
        const auto computer = entry.find("computer");
        const auto log = entry.find("log");
        StateEntry read;
        if (computer == entry.end() || !computer->is_string() || computer->get<std::string>().empty()) {
            error = where + "no \"computer\" name";
            return false;
        }
        if (log == entry.end() || !log->is_string() || !KnownLog(log->get<std::string>())) {
            error = where + "\"log\" is not system, security or application";
            return false;
        }
        if (!ReadNumber(entry, "record", read.bookmark.recordNumber) ||
            !ReadNumber(entry, "written", read.bookmark.timeWritten)) {
            error = where + "\"record\" and \"written\" must be numbers from 0 to 4294967295";
            return false;
        }
        read.computer = text::Utf8ToCp932(computer->get<std::string>());
        read.log = log->get<std::string>();
        if (state.Find(read.computer, read.log)) {
            error = where + "a second entry for the same computer and log";
            return false;
        }
        state.Set(read.computer, read.log, read.bookmark);
    }
    return true;
}

}  // namespace quorvin::run
