#include "rules/collection_state.h"

#include <nlohmann/json.hpp>

#include <mutex>
#include <set>

#include "core/cp932.h"

namespace quorvin::run {

namespace {

constexpr const char* kKind = "quorvin-collection-state";
constexpr int kVersion = 1;

bool KnownLog(const std::string& log) { return log == "system" || log == "security" || log == "application"; }

bool ReadNumber(const nlohmann::json& entry, const char* key, std::uint64_t most, std::uint64_t& value) {
    const auto it = entry.find(key);
    if (it == entry.end() || !it->is_number_unsigned()) return false;
    value = it->get<std::uint64_t>();
    return value <= most;
}

// The name as it reads back from its readable form.
std::string ReadBack(const std::string& cp932) { return text::Utf8ToCp932(text::Cp932ToUtf8Marked(cp932)); }

bool SameComputer(const StateEntry& entry, const std::string& computer) {
    if (text::MbsICmp(entry.computer, computer) == 0) return true;
    return entry.readableOnly && text::MbsICmp(entry.computer, ReadBack(computer)) == 0;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (const char c : bytes) {
        hex += digits[static_cast<unsigned char>(c) >> 4];
        hex += digits[static_cast<unsigned char>(c) & 15];
    }
    return hex;
}

bool FromHex(const std::string& hex, std::string& bytes) {
    const auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    if (hex.empty() || hex.size() % 2 != 0) return false;
    bytes.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = digit(hex[i]), low = digit(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes.find('\0') == std::string::npos;
}

// Whether a readable name may stand for bytes other than its own: it holds
// a byte that formed no character, or a character CP932 spells two ways
// (NEC's row 13 and the IBM extensions repeat characters of other rows).
bool MayBeOtherBytes(const std::string& utf8) {
    static std::set<char16_t> repeated;
    static std::once_flag once;
    std::call_once(once, [] {
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead > 0x9F && lead < 0xE0) continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
                const std::u16string unit = text::ToUtf16(bytes);
                if (unit.size() == 1 && text::FromUtf16(unit) != bytes) repeated.insert(unit[0]);
            }
        }
    });
    if (utf8.find("\xEF\xBF\xBD") != std::string::npos) return true;
    for (const char16_t unit : text::ToUtf16(text::Utf8ToCp932(utf8)))
        if (repeated.count(unit) != 0) return true;
    return false;
}

// An entry's log: "log" for the three classic logs, "channel" for a
// channel (any name; "/" and blanks are plain JSON text). A name that does
// not read back from its readable form keeps its bytes in "channel_cp932".
bool ReadLogName(const nlohmann::json& entry, StateEntry& read, std::string& error) {
    const auto log = entry.find("log");
    const auto channel = entry.find("channel");
    if (log != entry.end() && channel == entry.end()) {
        if (log->is_string() && KnownLog(log->get<std::string>())) {
            read.log = log->get<std::string>();
            return true;
        }
        error = "\"log\" is not system, security or application";
        return false;
    }
    if (log != entry.end() || channel == entry.end() || !channel->is_string() || channel->get<std::string>().empty()) {
        error = "neither a \"log\" nor a \"channel\" name";
        return false;
    }
    read.log = text::Utf8ToCp932(channel->get<std::string>());
    const auto bytes = entry.find("channel_cp932");
    if (bytes != entry.end() && (!bytes->is_string() || !FromHex(bytes->get<std::string>(), read.log))) {
        error = "\"channel_cp932\" is not the name's bytes in hexadecimal";
        return false;
    }
    if (KnownLog(read.log)) {
        error = "\"channel\" names a classic log: it is a \"log\"";
        return false;
    }
    return true;
}

// One entry of "logs" into `read`; false with `error` (without its place).
bool ReadEntry(const nlohmann::json& entry, StateEntry& read, std::string& error) {
    if (!entry.is_object()) {
        error = "not an object";
        return false;
    }
    const auto computer = entry.find("computer");
    const auto bytes = entry.find("computer_cp932");
    if (computer == entry.end() || !computer->is_string() || computer->get<std::string>().empty()) {
        error = "no \"computer\" name";
        return false;
    }
    if (!ReadLogName(entry, read, error)) return false;
    // A classic log numbers its records in 32 bits, a channel in 64.
    const std::uint64_t most = KnownLog(read.log) ? 0xFFFFFFFFu : ~std::uint64_t{0};
    std::uint64_t written = 0;
    if (!ReadNumber(entry, "record", most, read.bookmark.recordNumber) ||
        !ReadNumber(entry, "written", 0xFFFFFFFFu, written)) {
        error = KnownLog(read.log) ? "\"record\" and \"written\" must be numbers from 0 to 4294967295"
                                   : "\"record\" must be a number from 0 to 18446744073709551615 and \"written\" "
                                     "one from 0 to 4294967295";
        return false;
    }
    read.bookmark.timeWritten = static_cast<std::uint32_t>(written);
    read.readableOnly = bytes == entry.end();
    if (read.readableOnly) {
        read.computer = text::Utf8ToCp932(computer->get<std::string>());
    } else if (!bytes->is_string() || !FromHex(bytes->get<std::string>(), read.computer)) {
        error = "\"computer_cp932\" is not the name's bytes in hexadecimal";
        return false;
    }
    return true;
}

}  // namespace

std::optional<engine::LogBookmark> CollectionState::Find(const std::string& computer, const std::string& log) const {
    for (const StateEntry& entry : entries_)
        if (entry.log == log && SameComputer(entry, computer)) return entry.bookmark;
    return std::nullopt;
}

void CollectionState::Set(const std::string& computer, const std::string& log,
                          const std::optional<engine::LogBookmark>& bookmark) {
    if (bookmark) {
        Put({computer, log, *bookmark, false});
        return;
    }
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->log == log && SameComputer(*it, computer)) {
            entries_.erase(it);
            return;
        }
}

void CollectionState::Put(StateEntry entry) {
    for (StateEntry& old : entries_)
        if (old.log == entry.log && SameComputer(old, entry.computer)) {
            old = std::move(entry);
            return;
        }
    entries_.push_back(std::move(entry));
}

std::string WriteState(const CollectionState& state) {
    std::string text = "{\"kind\":\"" + std::string(kKind) + "\",\"version\":" + std::to_string(kVersion);
    if (state.events) {
        nlohmann::ordered_json events;
        events["file"] = state.events->file;
        events["length"] = state.events->length;
        text += ",\"events\":" + events.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    }
    text += ",\"logs\":[";
    bool first = true;
    for (const StateEntry& entry : state.Entries()) {
        nlohmann::ordered_json j;
        const std::string readable = text::Cp932ToUtf8Marked(entry.computer);
        j["computer"] = readable;
        if (!entry.readableOnly && text::Utf8ToCp932(readable) != entry.computer) j["computer_cp932"] = Hex(entry.computer);
        if (KnownLog(entry.log)) {
            j["log"] = entry.log;
        } else {
            const std::string channel = text::Cp932ToUtf8Marked(entry.log);
            j["channel"] = channel;
            if (text::Utf8ToCp932(channel) != entry.log) j["channel_cp932"] = Hex(entry.log);
        }
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
    const auto kind = document.is_object() ? document.find("kind") : document.end();
    if (!document.is_object() || kind == document.end() || !kind->is_string() || kind->get<std::string>() != kKind) {
        error = "no state file of this program: \"kind\" is not \"" + std::string(kKind) + "\"";
        return false;
    }
    const auto version = document.find("version");
    if (version == document.end() || !version->is_number_integer() || version->get<long long>() != kVersion) {
        error = "a state file of another version (this program reads version " + std::to_string(kVersion) + ")";
        return false;
    }
    if (const auto events = document.find("events"); events != document.end()) {
        const auto file = events->is_object() ? events->find("file") : events->end();
        const auto length = events->is_object() ? events->find("length") : events->end();
        if (file == events->end() || !file->is_string() || length == events->end() || !length->is_number_unsigned()) {
            error = "\"events\" does not name a file and its length in bytes";
            return false;
        }
        state.events = CollectionState::EventsMark{file->get<std::string>(), length->get<std::uint64_t>()};
    }
    const auto logs = document.find("logs");
    if (logs == document.end() || !logs->is_array()) {
        error = "the state file has no \"logs\" list";
        return false;
    }
    for (std::size_t i = 0; i < logs->size(); ++i) {
        const std::string where = "entry " + std::to_string(i + 1) + " of \"logs\": ";
        StateEntry read;
        if (!ReadEntry((*logs)[i], read, error)) {
            error = where + error;
            return false;
        }
        if (state.Find(read.computer, read.log)) {
            // Earlier versions wrote a second entry for a name that did not
            // read back to its bytes; the later one is the newer.
            const std::string readable = (*logs)[i]["computer"].get<std::string>();
            if (!read.readableOnly || !MayBeOtherBytes(readable)) {
                error = where + "a second entry for the same computer and log";
                return false;
            }
        }
        state.Put(std::move(read));
    }
    return true;
}

}  // namespace quorvin::run
