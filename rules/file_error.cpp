#include "rules/file_error.h"

namespace quorvin::app {

FileErrorCause FileErrorCauseOf(platform::Error code) {
    switch (code) {
    case 0: return FileErrorCause::None;
    case 2: return FileErrorCause::FileNotFound;           // ERROR_FILE_NOT_FOUND
    case 3:                                                 // ERROR_PATH_NOT_FOUND
    case 15:                                                // ERROR_INVALID_DRIVE
    case 53:                                                // ERROR_BAD_NETPATH
    case 67:                                                // ERROR_BAD_NET_NAME
    case 123:                                               // ERROR_INVALID_NAME
    case 161:                                               // ERROR_BAD_PATHNAME
    case 206:                                               // ERROR_FILENAME_EXCED_RANGE
        return FileErrorCause::BadPath;
    case 4: return FileErrorCause::TooManyOpenFiles;        // ERROR_TOO_MANY_OPEN_FILES
    case 5:                                                 // ERROR_ACCESS_DENIED
    case 19:                                                // ERROR_WRITE_PROTECT
    case 65:                                                // ERROR_NETWORK_ACCESS_DENIED
    case 80:                                                // ERROR_FILE_EXISTS
    case 183:                                               // ERROR_ALREADY_EXISTS
        return FileErrorCause::AccessDenied;
    case 6: return FileErrorCause::InvalidFile;             // ERROR_INVALID_HANDLE
    case 16: return FileErrorCause::RemoveCurrentDir;       // ERROR_CURRENT_DIRECTORY
    case 18:                                                // ERROR_NO_MORE_FILES
    case 82:                                                // ERROR_CANNOT_MAKE
        return FileErrorCause::DirectoryFull;
    case 25: return FileErrorCause::BadSeek;                // ERROR_SEEK
    case 21:                                                // ERROR_NOT_READY
    case 23:                                                // ERROR_CRC
    case 27:                                                // ERROR_SECTOR_NOT_FOUND
    case 29:                                                // ERROR_WRITE_FAULT
    case 30:                                                // ERROR_READ_FAULT
    case 31:                                                // ERROR_GEN_FAILURE
        return FileErrorCause::HardIo;
    case 32: return FileErrorCause::SharingViolation;       // ERROR_SHARING_VIOLATION
    case 33:                                                // ERROR_LOCK_VIOLATION
    case 36:                                                // ERROR_SHARING_BUFFER_EXCEEDED
        return FileErrorCause::LockViolation;
    case 39:                                                // ERROR_HANDLE_DISK_FULL
    case 112:                                               // ERROR_DISK_FULL
        return FileErrorCause::DiskFull;
    case 38: return FileErrorCause::EndOfFile;              // ERROR_HANDLE_EOF
    default: return FileErrorCause::Generic;
    }
}

std::string FillFileErrorText(std::string_view text, std::string_view path) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '1') {
            out.append(path);
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace quorvin::app
