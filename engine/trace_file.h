#pragma once
// The debug trace file: the engine's checkpoint lines in CP932, each line
// ending in CR LF as a text-mode file on Windows writes it, whatever the
// build. The file is created or emptied when opened.

#include <cstdio>
#include <filesystem>

#include "engine/collection_view.h"

namespace quorvin::run {

class TraceFile : public engine::Trace {
public:
    // Null file when it cannot be created.
    explicit TraceFile(const std::filesystem::path& path);
    ~TraceFile() override;
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    // A failed write goes unnoticed.
    void Write(const std::string& line) override;

private:
    std::FILE* file_ = nullptr;
};

}  // namespace quorvin::run
