#include "gui/file_error_message.h"

#include "core/wide.h"
#include "gui/resources/resource.h"
#include "rules/file_error.h"
#include "ui/window.h"

namespace quorvin::app {

UserMessage FileErrorMessage(platform::Error code, const std::wstring& path) {
    const std::string text = ui::LoadText(FileErrorStringId(FileErrorCauseOf(code)));
    const std::string name = win32::Narrow(path.c_str(), path.size());
    return {FillFileErrorText(text, name), ui::LoadText(IDS_APP_TITLE), MessageIcon::Exclamation,
            MessageButtons::Ok};
}

}  // namespace quorvin::app
