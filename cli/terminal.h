#pragma once
// The console collector's terminal: texts in the terminal's encoding, the
// progress line on standard error, and Ctrl+C as the stop request.

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace quorvin::cli {

// The command line as UTF-8 arguments (after the program name).
std::vector<std::string> Arguments(int argc, char** argv);

// Writes a CP932 text to `stream` in the terminal's encoding.
void WriteText(std::FILE* stream, const std::string& cp932);
// Writes a UTF-8 text to `stream` in the terminal's encoding.
void WriteUtf8(std::FILE* stream, const std::string& utf8);
// UTF-8 data (JSON Lines) to a standard stream: its bytes as they are, but
// to a console window as UTF-16 (every character kept).
void WriteUtf8Data(std::FILE* stream, const std::string& utf8);

bool IsTerminal(std::FILE* stream);

enum class LineRead { kRead, kEnded, kTooLong, kCancelled, kFailed, kNoTerminal };
// Reads one line of standard input, byte by byte so that the rest stays for
// whoever reads it next (--computer-list /dev/stdin), as UTF-8 without its
// line end: kEnded when the input ends before a line, kTooLong past `limit`
// bytes.
LineRead ReadInputLine(std::string& utf8, std::size_t limit);
// Asks for a line on the terminal of standard input without echo, `prompt`
// (UTF-8) shown on the terminal, keys edited as TypeKey does; the terminal's
// mode is restored on every path, Ctrl+C (kCancelled) and signals included.
// kNoTerminal: standard input is no terminal after all (NUL on Windows);
// kFailed: the terminal's mode could not be set, with `error`.
LineRead ReadHiddenLine(const std::string& prompt, std::string& utf8, std::size_t limit, std::string& error);

// Keeps the memory of the program, which holds a password, out of core
// dumps (Linux; Windows writes none unasked).
void KeepOutOfCoreDumps();

// Ctrl+C sets `flag` to 1 from now on; a second Ctrl+C once the flag has
// been taken back to 0 by the run is a stop request again. So do the
// requests to end the program: SIGTERM and SIGHUP; on Windows Ctrl+Break,
// closing the console, a log-off and a shutdown, which end the process as
// soon as their handler returns: it waits (as long as the system lets it)
// until RunEnded says the outputs are finished.
void StopOnInterrupt(std::atomic<int>& flag);
void RunEnded();
// Whether a stop request came since StopOnInterrupt, taken back or not.
bool StopWasRequested();

}  // namespace quorvin::cli
