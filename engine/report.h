#pragma once
// The run report: coded lines appended while a run goes on, read after it.
// Each function appends one catalogue entry, byte for byte, to the text.
// Cause lines take the system's text for an error code as it comes.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quorvin::engine {

enum class LogKind { System, Security, Application };

class Report {
public:
    // `systemText` gives the system's message text for an error code
    // (normally ending in "\r\n"; empty when the system has none).
    Report(std::string& text, std::function<std::string(std::uint32_t)> systemText)
        : text_(text), systemText_(std::move(systemText)) {}

    // Lines of the run over the computer list; N is the plain computer name.
    void RunStarted();
    void AlternateLoginFailed(const std::string& n, const std::string& user, std::uint32_t error);  // 803
    void LogStarted(const std::string& n, LogKind log);
    void LogEnded(const std::string& n, LogKind log);
    void LogFailed(const std::string& n, LogKind log);
    void Cancelled(const std::string& n);
    // The same lines for a channel of Windows Vista and later, named as
    // Windows names it ("Microsoft-Windows-PowerShell/Operational").
    void ChannelStarted(const std::string& n, const std::string& channel);
    void ChannelEnded(const std::string& n, const std::string& channel);
    void ChannelFailed(const std::string& n, const std::string& channel);
    // The last line of a completed run, without a line break of its own.
    void Total(std::uint32_t eventCount);

    // Lines of one log read; C is "\\NAME", L the log name, S the source.
    void ReadBufferMemory(const std::string& c, const std::string& l);                      // 001
    void OpenFailed(const std::string& c, const std::string& l, std::uint32_t error);       // 002, 003
    void RegistryBufferMemory(const std::string& c, const std::string& l);                  // 006
    void RegistryConnectFailed(const std::string& c, const std::string& l, std::uint32_t error);  // 007, 008
    void SystemRootKeyFailed(const std::string& c, const std::string& l, std::uint32_t error);    // 009, 010
    void SystemRootValueFailed(const std::string& c, const std::string& l, std::uint32_t error);  // 011, 012
    void LargerBufferMemory(const std::string& c, const std::string& l, const std::string& s);    // 014
    void ReadFailed(const std::string& c, const std::string& l, const std::string& s, std::uint32_t error);  // 015, 016
    void TimeConversionFailed(const std::string& c, const std::string& l, const std::string& s,
                              std::uint32_t error);  // 017, 018
    void CategoryFileLoadFailed(const std::string& c, const std::string& l, const std::string& s,
                                const std::string& path, std::uint32_t error);  // 027, 028
    void CategoryFormatFailed(const std::string& c, const std::string& l, const std::string& s,
                              std::uint32_t error);  // 031, 032
    void ParameterFileLoadFailed(const std::string& c, const std::string& l, const std::string& s,
                                 const std::string& path, std::uint32_t error);  // 045, 046
    // 050, 049 and its two continuation lines: the remote event message file
    // could not be loaded and this machine's files are used instead.
    void RemoteMessageFileUnreachable(const std::string& c, const std::string& l, const std::string& s,
                                      std::uint32_t error);
    void NoEventMessageFile(const std::string& c, const std::string& l, const std::string& s,
                            std::uint32_t error);  // 051, 052
    void NoLocalMessageFile(const std::string& c, const std::string& l, const std::string& s);  // 251
    // 053: the log was cleared or overwritten while it was read; it is
    // opened again and read on from the record before `number` (0: from
    // its newest record, when none had been read yet).
    void LogReopened(const std::string& c, const std::string& l, const std::string& s, std::uint32_t number);
    // 054: the record the last run ended at (number `number`) is no longer
    // in the log: it was cleared or overwritten past it. The log is read
    // from the window's start.
    void BookmarkGone(const std::string& c, const std::string& l, std::uint64_t number);
    // 055: the events file `file` held `removed` bytes past the length the
    // state vouches for, added by a run that did not end; they were cut off
    // and their events are collected again.
    void EventsFileCutBack(const std::string& file, std::uint64_t removed);

    // 070: this machine's Windows has no channel service (before Vista):
    // the channels of computer C are not read, its classic logs are.
    void NoChannelService(const std::string& c);
    // 071: computer C runs a Windows before Vista, which has the classic
    // logs only: channel L is not there to read.
    void ClassicLogsOnly(const std::string& c, const std::string& l);
    // 072: computer C refused the channel session with the alternate
    // account `user`; its channels are read as the user running the program.
    void ChannelLoginFailed(const std::string& c, std::string_view user, std::uint32_t error);

    // Lines of a saved event log file F (its name as the user gave it).
    void FileStarted(const std::string& f);
    void FileEnded(const std::string& f, std::uint32_t eventCount);
    // 060: what was wrong in the file and where (the reader's text); the
    // reading went on past it.
    void FileDamaged(const std::string& f, const std::string& problem);
    // 061: the file could not be read, with the system's reason.
    void FileUnreadable(const std::string& f, const std::string& reason);
    // 062: the file is no event log file of either kind.
    void NotALogFile(const std::string& f, const std::string& reason);
    // 063: this machine has no registry or message files to give the
    // file's records their texts (a description not found stands in).
    void NoMessageFiles(const std::string& f);

private:
    void Append(const std::string& line) { text_ += line; }
    // A code the system has no text for is named by its number, on a line of its own.
    void Cause(const char* prefix, std::uint32_t error) {
        const std::string text = systemText_(error);
        text_ += prefix + (text.empty() ? "ｴﾗｰ ｺｰﾄﾞ " + std::to_string(error) + "\r\n" : text);
    }

    std::string& text_;
    std::function<std::string(std::uint32_t)> systemText_;
};

}  // namespace quorvin::engine
