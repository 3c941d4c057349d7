#include "rules/settings_store.h"

#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "core/cp932.h"
#include "core/local_time.h"
#include "rules/other_logs.h"

namespace quorvin::app {

const char* const kSettingsKey = "SOFTWARE\\ORVANTE\\クォーヴィン";
const char* const kRegistryErrorText = "ﾚｼﾞｽﾄﾘにｱｸｾｽできませんでした。";

namespace {

using platform::Error;
namespace regtype = platform::regtype;

std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void WriteLe32(std::uint32_t value, std::uint8_t* p) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The bytes of `data` before its first zero byte.
std::string_view UpToZero(std::string_view data) {
    const auto end = data.find('\0');
    return end == std::string_view::npos ? data : data.substr(0, end);
}

// A create or a set of a value that reports "file not found" or "invalid
// handle" counts as success.
bool CountsAsSuccess(Error e) {
    return e == platform::error::kSuccess || e == platform::error::kFileNotFound ||
           e == platform::error::kInvalidHandle;
}

// A decimal text as the C runtime's atoi reads it: leading white space, an
// optional sign, digits up to the first other byte; 0 without digits;
// saturated to the 32-bit range.
std::int32_t ParseNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min())
                                        : std::numeric_limits<std::int32_t>::max();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) {
            value = limit;
            break;
        }
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

// Copies `text` into a fixed field, cut so that it keeps its terminator and
// no double-byte character is split.
template <std::size_t N>
void CopyToField(std::string_view text, char (&field)[N]) {
    const std::size_t length = text::WholeCharactersLength(text, N - 1);
    std::memset(field, 0, N);
    if (length > 0) std::memcpy(field, text.data(), length);
}

template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return UpToZero(std::string_view(field, N));
}

}  // namespace

int ReadRegistryValue(platform::RegistryKey& root, const std::string& subKey, const std::string& valueName,
                      std::uint32_t kind, std::string& out) {
    out.clear();
    std::unique_ptr<platform::RegistryKey> key;
    if (root.OpenKeyToQuery(subKey, key) != platform::error::kSuccess || !key) return 0;

    // The caller's buffer. `type` starts as the kind asked for and becomes
    // the value's actual type after every successful query, so a flag
    // stored as the text "1" is read again as that text.
    std::vector<std::uint8_t> buffer(kind == regtype::kBinary ? kBinaryValueRoom : kTextValueRoom, 0);
    std::uint32_t type = kind;
    std::uint32_t filled = 0;
    if (type == regtype::kDword) {
        std::uint8_t number[4] = {};
        std::uint32_t size = sizeof number;
        if (key->QueryValue(valueName, type, number, size) != platform::error::kSuccess) return 0;
        const std::string decimal = std::to_string(static_cast<std::int32_t>(ReadLe32(number)));
        std::memcpy(buffer.data(), decimal.data(), decimal.size());
        filled = static_cast<std::uint32_t>(decimal.size());
    }
    const auto query = [&](std::uint32_t limit) {
        std::uint32_t size = limit;
        if (key->QueryValue(valueName, type, buffer.data(), size) != platform::error::kSuccess) return false;
        filled = size < limit ? size : limit;
        return true;
    };
    bool ok = true;
    if (type == regtype::kExpandSz) ok = query(kTextValueRoom);
    if (ok && type == regtype::kSz) ok = query(kTextValueRoom);
    if (ok && type == regtype::kBinary) ok = query(kBinaryValueRoom);
    if (!ok) return 0;

    const std::string_view data(reinterpret_cast<const char*>(buffer.data()), filled);
    out = kind == regtype::kBinary ? std::string(data) : std::string(UpToZero(data));
    return 1;
}

int WriteRegistryValue(platform::RegistryKey& root, const std::string& subKey, const std::string& valueName,
                       std::uint32_t kind, std::uint32_t number, std::string_view bytes,
                       RegistryMessages& messages) {
    std::unique_ptr<platform::RegistryKey> key;
    if (!CountsAsSuccess(root.CreateKey(subKey, key))) {
        messages.ShowRegistryError("注意 A01");
        return 0;
    }
    // A create that "succeeded" with code 2 or 6 gives no key; setting a
    // value on it then fails with an invalid handle, which counts as success.
    const auto set = [&](std::uint32_t type, const std::uint8_t* data, std::size_t size) {
        if (!key) return platform::error::kInvalidHandle;
        return key->SetValue(valueName, type, data, static_cast<std::uint32_t>(size));
    };
    Error result;
    const char* caption;
    switch (kind) {
    case regtype::kDword: {
        std::uint8_t data[4];
        WriteLe32(number, data);
        result = set(regtype::kDword, data, sizeof data);
        caption = "注意 A02";
        break;
    }
    case regtype::kSz: {
        const std::string text(UpToZero(bytes));
        result = set(regtype::kSz, reinterpret_cast<const std::uint8_t*>(text.c_str()), text.size() + 1);
        caption = "注意 A03";
        break;
    }
    case regtype::kBinary:
        result = set(regtype::kBinary, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        caption = "注意 A07";
        break;
    default:
        return 1;
    }
    if (!CountsAsSuccess(result)) {
        messages.ShowRegistryError(caption);
        return 0;
    }
    return 1;
}

std::string ScramblePassword(const char (&password)[32], std::uint32_t seed) {
    std::minstd_rand generator(seed);
    std::string block(kPasswordBlockSize, '\0');
    for (std::size_t i = 0; i <= 96; ++i) block[i] = static_cast<char>(20 + generator() % 16);
    for (std::size_t i = 0; i < 32; ++i) {
        const unsigned sum = static_cast<unsigned char>(password[i]) + static_cast<unsigned char>(block[64 + i]) +
                             static_cast<unsigned char>(block[i]);
        block[32 + i] = static_cast<char>(sum & 0xFF);
    }
    return block;
}

void UnscramblePassword(std::string_view block, char (&password)[32]) {
    std::uint8_t b[kBinaryValueRoom] = {};
    const std::size_t size = block.size() < sizeof b ? block.size() : sizeof b;
    if (size > 0) std::memcpy(b, block.data(), size);
    for (std::size_t i = 0; i < 31; ++i) password[i] = static_cast<char>((b[32 + i] - b[64 + i] - b[i]) & 0xFF);
    password[31] = 0;
}

void LoadSettings(platform::RegistryKey& root, AppSettings& settings, std::int64_t now, const std::string& key) {
    std::string text;
    const auto read = [&](const char* name, std::uint32_t kind) {
        return ReadRegistryValue(root, key, name, kind, text) == 1;
    };
    // Filters are on unless stored as something other than "1".
    const auto filter = [&](const char* name) { return read(name, regtype::kDword) ? (text == "1" ? 1 : 0) : 1; };
    // Options are off unless stored as "1".
    const auto option = [&](const char* name) { return read(name, regtype::kDword) && text == "1" ? 1 : 0; };

    settings.Filter_System = filter("Filter_System");
    settings.Filter_Application = filter("Filter_Application");
    settings.Filter_Security = filter("Filter_Security");
    settings.Filter_Information = filter("Filter_Information");
    settings.Filter_Warning = filter("Filter_Warning");
    settings.Filter_Error = filter("Filter_Error");
    settings.Filter_Securityok = filter("Filter_Securityok");
    settings.Filter_Securityng = filter("Filter_Securityng");

    settings.EnableStartDate = 0;
    settings.EnableEndDate = 1;

    settings.DontShowComList = option("DontShowComList");
    settings.DontShowMessageToolTip = option("DontShowMessageToolTip");

    settings.DayBefore = read("DayBefore", regtype::kDword) ? ParseNumber(text) : 3;

    if (read("MaxComputer", regtype::kDword)) {
        // Compared unsigned: a stored negative number is above 500.
        const auto stored = static_cast<std::uint32_t>(ParseNumber(text));
        settings.MaxComputer = stored < 200 ? 200 : stored > 500 ? 500 : stored;
    } else {
        settings.MaxComputer = 200;
    }

    settings.StartTime = now - static_cast<std::int64_t>(settings.DayBefore) * 86400;
    settings.EndTime = now;

    settings.AnotherLoginName = option("AnotherLoginName");
    settings.ShowOnlyServer = option("ShowOnlyServer");

    CopyToField(read("Username", regtype::kSz) ? std::string_view(text) : std::string_view(), settings.Username);

    std::memset(settings.Password, 0, sizeof settings.Password);
    if (read("Password", regtype::kBinary)) UnscramblePassword(text, settings.Password);

    settings.bDebugTrace = read("bDebugTrace", regtype::kDword) ? ParseNumber(text) : 0;

    // A stored text the start dialog would refuse is dropped whole.
    settings.OtherLogs.clear();
    settings.Channels.clear();
    run::OtherLogsError refused;
    if (read("OtherLogs", regtype::kSz)) {
        if (auto channels = run::ParseOtherLogs(text, refused)) {
            settings.OtherLogs = text;
            settings.Channels = std::move(*channels);
        }
    }

    // Read after the stored record, so a missing or odd value changes none of it.
    if (read("ParallelComputers", regtype::kDword)) {
        const std::int32_t stored = ParseNumber(text);
        settings.ParallelComputers = stored < 1 ? 1 : stored > engine::kMostParallel ? engine::kMostParallel : stored;
    } else {
        settings.ParallelComputers = engine::kDefaultParallel;
    }
}

void SaveSettings(platform::RegistryKey& root, const AppSettings& settings, RegistryMessages& messages,
                  std::int64_t now, const std::string& key) {
    const auto dword = [&](const char* name, std::uint32_t value) {
        WriteRegistryValue(root, key, name, regtype::kDword, value, {}, messages);
    };
    const auto text = [&](const char* name, std::string_view value) {
        WriteRegistryValue(root, key, name, regtype::kSz, 0, value, messages);
    };
    // The local calendar date of a time value; zeros when the C library
    // cannot convert it.
    const auto date = [&](const char* year, const char* month, const char* day, std::int64_t time) {
        std::tm local{};
        const bool converted = ToLocalCalendar(time, local);
        dword(year, converted ? static_cast<std::uint32_t>(local.tm_year + 1900) : 0);
        dword(month, converted ? static_cast<std::uint32_t>(local.tm_mon + 1) : 0);
        dword(day, converted ? static_cast<std::uint32_t>(local.tm_mday) : 0);
    };
    const auto flag = [](std::int32_t value) { return static_cast<std::uint32_t>(value); };

    dword("EnableStartDate", flag(settings.EnableStartDate));
    dword("EnableEndDate", flag(settings.EnableEndDate));
    dword("Filter_Application", flag(settings.Filter_Application));
    dword("Filter_System", flag(settings.Filter_System));
    dword("Filter_Security", flag(settings.Filter_Security));
    dword("Filter_Information", flag(settings.Filter_Information));
    dword("Filter_Error", flag(settings.Filter_Error));
    dword("Filter_Warning", flag(settings.Filter_Warning));
    dword("Filter_Securityok", flag(settings.Filter_Securityok));
    dword("Filter_Securityng", flag(settings.Filter_Securityng));
    dword("DontShowMessageToolTip", flag(settings.DontShowMessageToolTip));
    dword("DontShowComList", flag(settings.DontShowComList));
    date("StartTime_Year", "StartTime_Month", "StartTime_Day", settings.StartTime);
    date("EndTime_Year", "EndTime_Month", "EndTime_Day", settings.EndTime);
    dword("AnotherLoginName", flag(settings.AnotherLoginName));
    dword("ShowOnlyServer", flag(settings.ShowOnlyServer));
    dword("DayBefore", flag(settings.DayBefore));
    dword("MajorVersion", 1);
    text("Username", FieldText(settings.Username));
    dword("MaxComputer", settings.MaxComputer);
    const std::string block = ScramblePassword(settings.Password, static_cast<std::uint32_t>(now));
    WriteRegistryValue(root, key, "Password", regtype::kBinary, 0, block, messages);
    text("ComputerListToSave", settings.ComputerListToSave);
    text("OtherLogs", settings.OtherLogs);
}

void LoadSettings(platform::RegistryKey& root, AppSettings& settings) {
    LoadSettings(root, settings, static_cast<std::int64_t>(std::time(nullptr)));
}

void SaveSettings(platform::RegistryKey& root, const AppSettings& settings, RegistryMessages& messages) {
    SaveSettings(root, settings, messages, static_cast<std::int64_t>(std::time(nullptr)));
}

}  // namespace quorvin::app
