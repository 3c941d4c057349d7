#pragma once
// Message files in memory, opened by path as the message service opens them
// on a share; a file's reads can be made to fail part way.

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "services/message_files.h"

namespace quorvin::platform::test {

class MemoryFiles final : public FileAccess {
public:
    struct File {
        std::vector<std::uint8_t> bytes;
        std::uint64_t writeTime = 1;
        std::uint64_t failAt = ~std::uint64_t{0};  // reads past this many bytes fail with 64
    };
    std::map<std::string, File> files;
    std::uint64_t bytesRead = 0;

    Error Open(const std::string& path, std::unique_ptr<OpenedFile>& opened) override {
        const auto found = files.find(path);
        if (found == files.end()) return error::kFileNotFound;
        opened = std::make_unique<Reader>(*this, found->second);
        return error::kSuccess;
    }

private:
    class Reader final : public OpenedFile {
    public:
        Reader(MemoryFiles& owner, const File& file) : owner_(owner), file_(file) {}
        std::uint64_t Size() const override { return file_.bytes.size(); }
        FileStamp Stamp() const override { return {file_.bytes.size(), file_.writeTime}; }
        Error ReadAt(std::uint64_t offset, std::size_t size, std::uint8_t* out) override {
            if (offset > file_.bytes.size() || size > file_.bytes.size() - offset) return error::kHandleEof;
            if (offset + size > file_.failAt) return 64;  // ERROR_NETNAME_DELETED
            std::copy_n(file_.bytes.begin() + static_cast<std::ptrdiff_t>(offset), size, out);
            owner_.bytesRead += size;
            return error::kSuccess;
        }

    private:
        MemoryFiles& owner_;
        const File& file_;
    };
};

}  // namespace quorvin::platform::test
