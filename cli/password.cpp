#include "cli/password.h"

#include "cli/cli_options.h"
#include "core/cp932.h"

namespace quorvin::cli {

PasswordSource ChoosePasswordSource(const CliOptions& o, bool inputIsTerminal) {
    if (!o.credential.empty()) return PasswordSource::kCredential;
    if (!o.user) return PasswordSource::kNone;
    if (o.passwordFromInput) return PasswordSource::kStandardInput;
    if (o.passwordGiven) return PasswordSource::kCommandLine;
    return inputIsTerminal ? PasswordSource::kPrompt : PasswordSource::kRefused;
}

std::string NoTerminalForPasswordMessage() {
    return "--user needs its password, and standard input is no terminal to ask for it on: "
           "give it on a line of standard input with --password -"
#ifdef _WIN32
           ", or the account of a stored credential with --credential NAME"
#endif
           " (docs/cli.md)";
}

KeyResult TypeKey(std::string& line, unsigned char key, std::size_t limit) {
    switch (key) {
    case '\r':
    case '\n':
        return KeyResult::kDone;
    case 0x03:  // Ctrl+C
        return KeyResult::kCancelled;
    case 0x04:  // Ctrl+D
        return line.empty() ? KeyResult::kCancelled : KeyResult::kMore;
    case 0x08:  // Backspace
    case 0x7F:  // Delete, which most terminals send for Backspace
        // A UTF-8 character: its continuation bytes and its first byte.
        while (!line.empty() && (static_cast<unsigned char>(line.back()) & 0xC0) == 0x80) line.pop_back();
        if (!line.empty()) line.pop_back();
        return KeyResult::kMore;
    case 0x15:  // Ctrl+U
        Wipe(line);
        return KeyResult::kMore;
    default:
        if (key >= 0x20 && line.size() <= limit) line += static_cast<char>(key);
        return KeyResult::kMore;
    }
}

namespace {

bool CheckAccountText(bool whole, const char* what, std::string& cp932, std::string& error) {
    if (!whole || cp932.find('\0') != std::string::npos)
        error = std::string(what) + " holds a character that CP932 cannot";
    else if (cp932.size() > kMostAccountBytes)
        error = std::string(what) + " is longer than " + std::to_string(kMostAccountBytes) + " bytes";
    else
        return true;
    Wipe(cp932);
    return false;
}

}  // namespace

bool AccountTextFromUtf8(std::string_view utf8, const char* what, std::string& cp932, std::string& error) {
    cp932 = text::Utf8ToCp932(utf8);
    std::string back = text::Cp932ToUtf8(cp932);
    const bool whole = back == utf8;
    Wipe(back);
    return CheckAccountText(whole, what, cp932, error);
}

bool AccountTextFromUtf16(std::u16string_view utf16, const char* what, std::string& cp932, std::string& error) {
    cp932 = text::FromUtf16(utf16);
    std::u16string back = text::ToUtf16(cp932);
    const bool whole = back == utf16;
    Wipe(back);
    return CheckAccountText(whole, what, cp932, error);
}

void Wipe(std::string& secret) {
    WipeBytes(secret.data(), secret.capacity());
    secret.clear();
}

void Wipe(std::u16string& secret) {
    WipeBytes(secret.data(), secret.capacity() * sizeof(char16_t));
    secret.clear();
}

}  // namespace quorvin::cli
