#include "engine/trace_file.h"

namespace quorvin::run {

TraceFile::TraceFile(const std::filesystem::path& path) {
#ifdef _WIN32
    file_ = _wfopen(path.wstring().c_str(), L"w+b");
#else
    file_ = std::fopen(path.c_str(), "w+b");
#endif
}

TraceFile::~TraceFile() {
    if (file_) std::fclose(file_);
}

void TraceFile::Write(const std::string& line) {
    if (!file_) return;
    for (char c : line) {
        if (c == '\n') std::fputc('\r', file_);
        std::fputc(c, file_);
    }
}

}  // namespace quorvin::run
