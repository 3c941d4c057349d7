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

bool IsTerminal(std::FILE* stream);

// Ctrl+C sets `flag` to 1 from now on; a second Ctrl+C once the flag has
// been taken back to 0 by the run is a stop request again.
void StopOnInterrupt(std::atomic<int>& flag);

}  // namespace quorvin::cli
