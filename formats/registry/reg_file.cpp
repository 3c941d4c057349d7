#include "formats/registry/reg_file.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "core/cp932.h"

namespace quorvin::reg {

namespace {

namespace regtype = platform::regtype;

constexpr std::u16string_view kHeader4 = u"REGEDIT4";
constexpr std::u16string_view kHeader5 = u"Windows Registry Editor Version 5.00";

// Hex data of a text type in a UTF-16 file take two bytes a character, so
// they may be up to twice as long as the value they give.
constexpr std::size_t kMaxHexBytes = 2 * kMaxValueBytes;

bool IsTextType(std::uint32_t type) {
    return type == regtype::kSz || type == regtype::kExpandSz || type == regtype::kMultiSz;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimLeft(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::u16string_view Trim(std::u16string_view s) {
    s = TrimLeft(s);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Nothing but blanks, or blanks and a comment.
bool IsEndOfLine(std::u16string_view rest) {
    rest = TrimLeft(rest);
    return rest.empty() || rest.front() == u';';
}

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c; }

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); });
}

bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsAscii(std::u16string_view s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; });
}

// UTF-16 to CP932 as the ANSI registry functions convert.
std::string ToCp932(std::u16string_view s) {
    if (IsAscii(s)) return std::string(s.begin(), s.end());
    return text::FromUtf16(s);
}

std::u16string ToWide(std::string_view s) {
    if (IsAscii(s)) return std::u16string(s.begin(), s.end());
    return text::ToUtf16(s);
}

// CP932 bytes to UTF-16; false when they hold a sequence that is no
// character: a malformed one (IsWellFormedCp932) or a double-byte code the
// code page leaves unassigned, which the conversion turns into U+30FB like
// the bytes that form no character ("・" itself is 81 45).
bool DecodeCp932(std::string_view bytes, std::u16string& out) {
    if (!IsWellFormedCp932(bytes)) return false;
    out = ToWide(bytes);
    std::size_t dots = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (!text::IsLeadByte(static_cast<unsigned char>(bytes[i]))) continue;
        if (bytes[i] == '\x81' && bytes[i + 1] == '\x45') ++dots;
        ++i;
    }
    return static_cast<std::size_t>(std::count(out.begin(), out.end(), u'\x30FB')) == dots;
}

// An unpaired surrogate, or npos.
std::size_t FindLoneSurrogate(std::u16string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
                ++i;
                continue;
            }
            return i;
        }
        if (c >= 0xDC00 && c <= 0xDFFF) return i;
    }
    return std::u16string_view::npos;
}

// The one bounds rule: `size` bytes at `offset` lie within `limit` bytes.
constexpr bool Fits(std::size_t offset, std::size_t size, std::size_t limit) {
    return size <= limit && offset <= limit - size;
}

// A little-endian UTF-16 unit; the caller has checked that both bytes are there.
char16_t LoadU16(const std::uint8_t* p) { return static_cast<char16_t>(p[0] | p[1] << 8); }

std::string LineError(std::size_t line, const std::string& what) { return "line " + std::to_string(line) + ": " + what; }

// The root keys a registry file may name. HKEY_CLASSES_ROOT is
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes on Windows NT; the others are no part
// of HKEY_LOCAL_MACHINE.
struct Root {
    std::u16string_view name;
    bool underClasses;
    bool skipped;
};

constexpr Root kRoots[] = {
    {u"HKEY_LOCAL_MACHINE", false, false}, {u"HKEY_CLASSES_ROOT", true, false},
    {u"HKEY_CURRENT_USER", false, true},   {u"HKEY_USERS", false, true},
    {u"HKEY_CURRENT_CONFIG", false, true}, {u"HKEY_DYN_DATA", false, true},
};

const Root* FindRoot(std::u16string_view name) {
    for (const Root& root : kRoots) {
        if (EqualsNoCase(name, root.name)) return &root;
    }
    return nullptr;
}

// ---- Lines --------------------------------------------------------------------

// The physical lines of the file as UTF-16, numbered from 1.
class LineReader {
public:
    LineReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {
        utf16_ = size_ >= 2 && data_[0] == 0xFF && data_[1] == 0xFE;
        pos_ = utf16_ ? 2 : 0;
    }

    bool Utf16() const { return utf16_; }
    // Begins with the UTF-8 byte order mark.
    bool Utf8() const { return size_ >= 3 && data_[0] == 0xEF && data_[1] == 0xBB && data_[2] == 0xBF; }
    std::size_t Number() const { return number_; }

    // False at the end of the file or on a fault (then `error` is set).
    bool Next(std::u16string& line, std::string& error) {
        if (pos_ >= size_) return false;
        ++number_;
        return utf16_ ? NextUtf16(line, error) : NextCp932(line, error);
    }

private:
    // Steps over the line end at pos_ (CR LF, LF or CR), `unit` bytes a character.
    void SkipLineEnd(std::size_t unit) {
        const auto at = [&](std::size_t p) -> char16_t { return unit == 1 ? data_[p] : LoadU16(data_ + p); };
        if (!Fits(pos_, unit, size_)) return;
        const char16_t c = at(pos_);
        pos_ += unit;
        if (c == u'\r' && Fits(pos_, unit, size_) && at(pos_) == u'\n') pos_ += unit;
    }

    bool NextCp932(std::u16string& line, std::string& error) {
        std::size_t end = pos_;
        while (end < size_ && data_[end] != '\r' && data_[end] != '\n') ++end;
        const std::string_view bytes(reinterpret_cast<const char*>(data_ + pos_), end - pos_);
        pos_ = end;
        SkipLineEnd(1);
        if (bytes.find('\0') != std::string_view::npos) {
            error = LineError(number_, "NUL byte in the line");
            return false;
        }
        if (!DecodeCp932(bytes, line)) {
            error = LineError(number_, "bytes that are no code page 932 text");
            return false;
        }
        return true;
    }

    bool NextUtf16(std::u16string& line, std::string& error) {
        line.clear();
        while (pos_ < size_) {
            if (!Fits(pos_, 2, size_)) {
                error = LineError(number_, "the file ends in half a UTF-16 character");
                return false;
            }
            const char16_t c = LoadU16(data_ + pos_);
            if (c == u'\r' || c == u'\n') break;
            if (c == 0) {
                error = LineError(number_, "NUL character in the line");
                return false;
            }
            line += c;
            pos_ += 2;
        }
        SkipLineEnd(2);
        if (FindLoneSurrogate(line) != std::u16string::npos) {
            error = LineError(number_, "unpaired UTF-16 surrogate");
            return false;
        }
        return true;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
    bool utf16_ = false;
};

// ---- Parser -------------------------------------------------------------------

class Parser {
public:
    Parser(const std::uint8_t* data, std::size_t size) : lines_(data, size), hive_(std::make_shared<Hive>()) {}

    ParseResult Run() {
        ParseResult result;
        result.format = lines_.Utf16() ? Format::kVersion5 : Format::kRegedit4;
        if (ParseFile()) {
            result.hive = std::move(hive_);
        } else {
            result.errorLine = errorLine_;
            result.error = std::move(error_);
        }
        return result;
    }

private:
    enum class Section { kNone, kKey, kSkipped };

    bool Fail(const std::string& what) {
        errorLine_ = lines_.Number();
        error_ = LineError(errorLine_, what);
        return false;
    }

    // The next physical line; false at the end or on a fault (error_ set).
    bool NextLine(std::u16string& line) {
        std::string fault;
        if (lines_.Next(line, fault)) return true;
        if (!fault.empty()) {
            errorLine_ = lines_.Number();
            error_ = std::move(fault);
        }
        return false;
    }

    bool ParseFile() {
        if (lines_.Utf8()) {
            errorLine_ = 1;
            error_ = LineError(1, "UTF-8 file: registry files are REGEDIT4 in code page 932, or UTF-16LE with FF FE");
            return false;
        }
        std::u16string line;
        if (!NextLine(line)) {
            if (!error_.empty()) return false;
            errorLine_ = 1;
            error_ = LineError(1, "empty file: the first line must be REGEDIT4 or Windows Registry Editor Version 5.00");
            return false;
        }
        const std::u16string_view header = Trim(line);
        if (header != kHeader4 && header != kHeader5)
            return Fail("not a registry file: the first line must be REGEDIT4 or Windows Registry Editor Version 5.00");
        while (NextLine(line)) {
            const std::u16string_view s = TrimLeft(line);
            if (s.empty() || s.front() == u';') continue;
            bool ok = false;
            if (s.front() == u'[') {
                ok = KeyLine(s);
            } else if (s.front() == u'@' || s.front() == u'"') {
                ok = ValueLine(s);
            } else {
                ok = Fail("expected a [key] line, a value line (\"name\"= or @=) or a ; comment");
            }
            if (!ok) return false;
        }
        return error_.empty();
    }

    // ---- Key lines

    bool KeyLine(std::u16string_view s) {
        const std::size_t close = s.rfind(u']');
        if (close == std::u16string_view::npos) return Fail("key line without its closing ]");
        if (!IsEndOfLine(s.substr(close + 1))) return Fail("text after the ] of the key line");
        std::u16string_view inner = s.substr(1, close - 1);
        const bool remove = !inner.empty() && inner.front() == u'-';
        if (remove) inner.remove_prefix(1);

        const std::size_t slash = inner.find(u'\\');
        const std::u16string_view rootName = inner.substr(0, slash);
        const std::u16string_view path =
            slash == std::u16string_view::npos ? std::u16string_view() : inner.substr(slash + 1);

        std::vector<std::string> names;
        const Root* root = FindRoot(rootName);
        if (root == nullptr) return Fail("unknown root key: expected HKEY_LOCAL_MACHINE or another HKEY_ root");
        if (root->skipped) {
            section_ = Section::kSkipped;
            current_ = nullptr;
            return true;
        }
        if (root->underClasses) names = {"SOFTWARE", "Classes"};

        if (!path.empty() && path.front() == u'\\') return Fail("key path with a \\ right after the root name");
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t end = path.find(u'\\', start);
            if (end == std::u16string_view::npos) end = path.size();
            if (end > start) {
                if (names.size() >= kMaxDepth) return Fail("key more than 512 levels deep");
                std::string name = ToCp932(path.substr(start, end - start));
                if (!IsValidKeyName(name))
                    return Fail("key name that the registry cannot hold (longer than 255 characters or a \\ in "
                                "code page 932)");
                names.push_back(std::move(name));
            }
            start = end + 1;
        }

        current_ = nullptr;
        section_ = Section::kNone;
        if (remove) {
            if (names.empty()) return Fail("the root key cannot be removed");
            Key* parent = &hive_->root;
            for (std::size_t i = 0; parent != nullptr && i + 1 < names.size(); ++i)
                parent = parent->FindSubKey(names[i]);
            if (parent != nullptr) parent->RemoveSubKey(names.back());
            return true;
        }
        Key* key = &hive_->root;
        for (const std::string& name : names) {
            key = key->AddSubKey(name);
            if (key == nullptr) return Fail("key name that the registry cannot hold");
        }
        current_ = key;
        section_ = Section::kKey;
        return true;
    }

    // ---- Value lines

    enum class Quoted { kOk, kUnterminated, kBadEscape };

    // A quoted text from just after its opening quote; `pos` ends after the closing one.
    static Quoted ReadQuoted(std::u16string_view s, std::size_t& pos, std::u16string& out) {
        out.clear();
        while (pos < s.size()) {
            const char16_t c = s[pos++];
            if (c == u'"') return Quoted::kOk;
            if (c == u'\\') {
                if (pos >= s.size()) return Quoted::kUnterminated;
                const char16_t e = s[pos++];
                if (e != u'\\' && e != u'"') return Quoted::kBadEscape;
                out += e;
            } else {
                out += c;
            }
        }
        return Quoted::kUnterminated;
    }

    bool QuotedFault(Quoted q, const char* what) {
        if (q == Quoted::kBadEscape)
            return Fail(std::string("unknown escape in ") + what + " (only \\\\ and \\\" are known)");
        return Fail(std::string(what) + " without its closing quote");
    }

    bool ValueLine(std::u16string_view s) {
        if (section_ == Section::kNone) return Fail("value line outside a key (no key line before it)");
        std::size_t pos = 1;
        std::u16string name16;
        if (s.front() == u'"') {
            const Quoted q = ReadQuoted(s, pos, name16);
            if (q != Quoted::kOk) return QuotedFault(q, "value name");
        }
        std::string name = ToCp932(name16);
        if (!IsValidValueName(name)) return Fail("value name longer than 16383 characters");

        std::u16string_view rest = TrimLeft(s.substr(pos));
        if (rest.empty() || rest.front() != u'=') return Fail("expected = after the value name");
        rest = TrimLeft(rest.substr(1));

        if (!rest.empty() && rest.front() == u'-') {
            if (!IsEndOfLine(rest.substr(1))) return Fail("text after the - that removes a value");
            if (section_ == Section::kKey) current_->RemoveValue(name);
            return true;
        }
        Value value;
        if (!ParseData(rest, value)) return false;
        if (value.data.size() > kMaxValueBytes) return Fail("value data longer than 1 MiB");
        if (section_ == Section::kKey && !current_->SetValue(name, std::move(value)))
            return Fail("value that the registry cannot hold");
        return true;
    }

    bool ParseData(std::u16string_view data, Value& value) {
        if (!data.empty() && data.front() == u'"') {
            std::size_t pos = 1;
            std::u16string text16;
            const Quoted q = ReadQuoted(data, pos, text16);
            if (q != Quoted::kOk) return QuotedFault(q, "string");
            if (!IsEndOfLine(data.substr(pos))) return Fail("text after the closing quote of the string");
            const std::string text = ToCp932(text16);
            value.type = regtype::kSz;
            value.data.assign(text.begin(), text.end());
            value.data.push_back(0);
            return true;
        }
        if (StartsWithNoCase(data, u"dword:")) return ParseDword(data.substr(6), value);
        if (StartsWithNoCase(data, u"hex:")) {
            value.type = regtype::kBinary;
            return ParseHex(data.substr(4), value);
        }
        if (StartsWithNoCase(data, u"hex(")) {
            data.remove_prefix(4);
            std::uint32_t type = 0;
            std::size_t digits = 0;
            for (; digits < data.size() && HexDigit(data[digits]) >= 0; ++digits) {
                if (digits == 8) return Fail("type number of hex(N) longer than 8 hex digits");
                type = type << 4 | static_cast<std::uint32_t>(HexDigit(data[digits]));
            }
            if (digits == 0 || data.substr(digits, 2) != u"):") return Fail("expected hex(N): with N in hex");
            value.type = type;
            return ParseHex(data.substr(digits + 2), value);
        }
        return Fail("unknown data: expected \"text\", dword:, hex:, hex(N): or -");
    }

    bool ParseDword(std::u16string_view s, Value& value) {
        s = TrimLeft(s);
        std::uint32_t n = 0;
        std::size_t digits = 0;
        for (; digits < s.size() && HexDigit(s[digits]) >= 0; ++digits) {
            if (digits == 8) return Fail("dword: with more than 8 hex digits");
            n = n << 4 | static_cast<std::uint32_t>(HexDigit(s[digits]));
        }
        if (digits == 0) return Fail("dword: without hex digits");
        if (!IsEndOfLine(s.substr(digits))) return Fail("text after the hex digits of dword:");
        value.type = regtype::kDword;
        value.data = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                      static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
        return true;
    }

    // Hex bytes from `s` on, over continuation lines; then text types are
    // decoded from the file's encoding.
    bool ParseHex(std::u16string_view s, Value& value) {
        std::vector<std::uint8_t> bytes;
        std::u16string line;
        std::size_t pos = 0;
        for (;;) {
            while (pos < s.size() && IsBlank(s[pos])) ++pos;
            if (pos == s.size() || s[pos] == u';') break;
            if (s[pos] == u'\\') {
                if (!IsEndOfLine(s.substr(pos + 1))) return Fail("text after the \\ that continues hex data");
                if (!NextContinuation(line)) return false;
                s = line;
                pos = 0;
                continue;
            }
            int byte = 0;
            std::size_t digits = 0;
            for (; pos < s.size() && HexDigit(s[pos]) >= 0; ++pos, ++digits) {
                if (digits == 2) return Fail("hex byte with more than 2 digits");
                byte = byte << 4 | HexDigit(s[pos]);
            }
            if (digits == 0) return Fail("expected a hex byte");
            if (bytes.size() >= kMaxHexBytes) return Fail("value data longer than 1 MiB");
            bytes.push_back(static_cast<std::uint8_t>(byte));
            while (pos < s.size() && IsBlank(s[pos])) ++pos;
            if (pos == s.size() || s[pos] == u';') break;
            if (s[pos] != u',') return Fail("expected , between hex bytes");
            ++pos;
        }
        if (!IsTextType(value.type)) {
            value.data = std::move(bytes);
            return true;
        }
        std::u16string text16;
        if (lines_.Utf16()) {
            if (bytes.size() % 2 != 0) return Fail("UTF-16 text data with an odd number of bytes");
            text16.resize(bytes.size() / 2);
            for (std::size_t i = 0; i < text16.size(); ++i) text16[i] = LoadU16(bytes.data() + 2 * i);
            if (FindLoneSurrogate(text16) != std::u16string::npos)
                return Fail("unpaired UTF-16 surrogate in text data");
        } else if (!DecodeCp932(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                                text16)) {
            return Fail("text data that are no code page 932 text");
        }
        const std::string text = ToCp932(text16);
        value.data.assign(text.begin(), text.end());
        return true;
    }

    // The next line that is not blank or a comment, after a "\" that continues hex data.
    bool NextContinuation(std::u16string& line) {
        while (NextLine(line)) {
            const std::u16string_view s = TrimLeft(line);
            if (!s.empty() && s.front() != u';') return true;
        }
        return error_.empty() ? Fail("the file ends inside continued hex data") : false;
    }

    LineReader lines_;
    std::shared_ptr<Hive> hive_;
    Section section_ = Section::kNone;
    Key* current_ = nullptr;
    std::size_t errorLine_ = 0;
    std::string error_;
};

// ---- Writer -------------------------------------------------------------------

// regedit breaks hex data once a line holds this many characters.
constexpr std::size_t kHexWrapColumn = 77;

class Writer {
public:
    explicit Writer(Format format) : utf16_(format == Format::kVersion5) {
        if (utf16_) {
            out_ = {0xFF, 0xFE};
            Ascii("Windows Registry Editor Version 5.00");
        } else {
            Ascii("REGEDIT4");
        }
        NewLine();
    }

    void WriteKey(const Key& key, std::string& path, bool isRoot) {
        if (!isRoot || !key.Values().empty()) {
            NewLine();
            Ascii("[");
            Text(path);
            Ascii("]");
            NewLine();
            for (const NamedValue& value : key.Values()) WriteValue(value);
        }
        for (const Key& sub : key.SubKeys()) {
            const std::size_t length = path.size();
            path += '\\';
            path += sub.Name();
            WriteKey(sub, path, false);
            path.resize(length);
        }
    }

    std::vector<std::uint8_t> Finish() {
        NewLine();
        return std::move(out_);
    }

private:
    void Ascii(std::string_view s) {
        for (char c : s) Unit(static_cast<unsigned char>(c));
        column_ += s.size();
    }

    // CP932 text: as it is in REGEDIT4 files, as UTF-16 in version 5 files.
    void Text(std::string_view cp932) {
        if (!utf16_) {
            out_.insert(out_.end(), cp932.begin(), cp932.end());
            column_ += cp932.size();
            return;
        }
        const std::u16string wide = ToWide(cp932);
        for (char16_t c : wide) Unit(c);
        column_ += wide.size();
    }

    void Unit(char16_t c) {
        out_.push_back(static_cast<std::uint8_t>(c));
        if (utf16_) out_.push_back(static_cast<std::uint8_t>(c >> 8));
    }

    void NewLine() {
        Ascii("\r\n");
        column_ = 0;
    }

    // "\" and the quote get a "\" before them; a trail byte 5C is no "\".
    static std::string Escape(std::string_view cp932) {
        std::string out;
        out.reserve(cp932.size());
        for (std::size_t i = 0; i < cp932.size(); ++i) {
            const char c = cp932[i];
            if (text::IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < cp932.size()) {
                out += c;
                out += cp932[++i];
                continue;
            }
            if (c == '\\' || c == '"') out += '\\';
            out += c;
        }
        return out;
    }

    // REG_SZ data that a quoted string gives back: one terminating NUL and no
    // other, no line break, no lead byte without its trail.
    static bool IsPlainString(const std::vector<std::uint8_t>& data) {
        if (data.empty() || data.back() != 0) return false;
        const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size() - 1);
        return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos && IsWellFormedCp932(text);
    }

    void WriteValue(const NamedValue& named) {
        if (named.name.empty()) {
            Ascii("@=");
        } else {
            Ascii("\"");
            Text(Escape(named.name));
            Ascii("\"=");
        }
        const Value& value = named.value;
        if (value.type == regtype::kSz && IsPlainString(value.data)) {
            Ascii("\"");
            Text(Escape(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1)));
            Ascii("\"");
        } else if (value.type == regtype::kDword && value.data.size() == 4) {
            const std::uint32_t n = static_cast<std::uint32_t>(value.data[0]) |
                                    static_cast<std::uint32_t>(value.data[1]) << 8 |
                                    static_cast<std::uint32_t>(value.data[2]) << 16 |
                                    static_cast<std::uint32_t>(value.data[3]) << 24;
            std::array<char, 16> digits{};
            std::snprintf(digits.data(), digits.size(), "dword:%08x", static_cast<unsigned>(n));
            Ascii(digits.data());
        } else {
            WriteHex(value);
        }
        NewLine();
    }

    void WriteHex(const Value& value) {
        if (value.type == regtype::kBinary) {
            Ascii("hex:");
        } else {
            std::array<char, 24> prefix{};
            std::snprintf(prefix.data(), prefix.size(), "hex(%x):", static_cast<unsigned>(value.type));
            Ascii(prefix.data());
        }
        std::vector<std::uint8_t> converted;
        const std::vector<std::uint8_t>* bytes = &value.data;
        if (utf16_ && IsTextType(value.type)) {
            const std::u16string wide =
                ToWide(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
            for (char16_t c : wide) {
                converted.push_back(static_cast<std::uint8_t>(c));
                converted.push_back(static_cast<std::uint8_t>(c >> 8));
            }
            bytes = &converted;
        }
        static const char kDigits[] = "0123456789abcdef";
        for (std::size_t i = 0; i < bytes->size(); ++i) {
            const std::uint8_t b = (*bytes)[i];
            const char pair[2] = {kDigits[b >> 4], kDigits[b & 15]};
            Ascii(std::string_view(pair, 2));
            if (i + 1 == bytes->size()) break;
            Ascii(",");
            if (column_ >= kHexWrapColumn) {
                Ascii("\\");
                NewLine();
                Ascii("  ");
            }
        }
    }

    bool utf16_;
    std::vector<std::uint8_t> out_;
    std::size_t column_ = 0;
};

}  // namespace

ParseResult ParseRegFile(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t kNothing = 0;
    return Parser(data != nullptr ? data : &kNothing, data != nullptr ? size : 0).Run();
}

std::vector<std::uint8_t> WriteRegFile(const Hive& hive, Format format) {
    Writer writer(format);
    std::string path = "HKEY_LOCAL_MACHINE";
    {
        const std::lock_guard<std::mutex> lock(hive.mutex);
        writer.WriteKey(hive.root, path, true);
    }
    return writer.Finish();
}

}  // namespace quorvin::reg
