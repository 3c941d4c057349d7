#pragma once
// The message that tells the user why a file could not be saved or read.

#include "core/error.h"
#include "core/user_message.h"

#include <string>

namespace quorvin::app {

// The file-error message of the string table for `code`, naming `path`,
// with the application's title as caption and the exclamation icon.
UserMessage FileErrorMessage(platform::Error code, const std::wstring& path);

}  // namespace quorvin::app
