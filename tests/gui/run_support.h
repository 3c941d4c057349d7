#pragma once
// Helpers of the collection run tests: a simulated network built in the
// test, the run's dialogs found and answered, the positions the progress
// bar received (the program writes them to QUORVIN_PROGRESS_LOG).

#include "common.h"

#include "gui/resources/resource.h"
#include "support/test_network.h"

#include <ctime>
#include <memory>

namespace quorvin::gui_test {

const std::string kStartTitle = "イベントログﾞ収集の開始";
const std::string kProgressTitle = "イベントログを取得しています....";
const std::string kResultTitle = "結果";
const std::string kDetailTitle = "イベントログ";

// A network of the test, built from a description whose times count back from now.
class TestNetwork {
public:
    explicit TestNetwork(const std::string& description) {
        net_ = network::test::BuildTestNetwork(folder_, description, error_, std::time(nullptr));
    }
    bool Ok() const { return net_ != nullptr; }
    const std::string& Error() const { return error_; }
    std::wstring Arguments() const { return L"/network \"" + (folder_.Path() / "net").wstring() + L"\""; }
    std::filesystem::path Folder() const { return folder_.Path(); }

private:
    network::test::TempFolder folder_;
    std::string error_;
    std::unique_ptr<network::SimulatedNetwork> net_;
};

// The whole text of a control, however long.
inline std::string ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        5000, &copied);
    text.resize(copied);
    return Narrow(text);
}

// Puts `text` into control `id` as typing it would.
inline void SetControlText(HWND dialog, int id, const std::string& text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

inline bool Checked(HWND dialog, int id) {
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A click on a check box as the user makes it: the box toggles and tells the dialog.
inline void ToggleBox(const App& app, HWND dialog, int id) {
    HWND box = GetDlgItem(dialog, id);
    SendMessageW(box, BM_SETCHECK, Checked(dialog, id) ? BST_UNCHECKED : BST_CHECKED, 0);
    app.ClickButton(dialog, id);
}

// The start command up to the start dialog; null when it did not show.
inline HWND OpenStartDialog(App& app) {
    PostMessageW(app.frame, WM_COMMAND, MAKEWPARAM(ID_START_COLLECTION, 0), 0);
    return app.WaitForDialog(kStartTitle);
}

// The report of the result dialog once it shows (empty when it does not).
inline std::string WaitForReport(App& app, HWND& result, DWORD timeoutMs = 30000) {
    result = app.WaitForDialog(kResultTitle, timeoutMs);
    return result ? ControlText(result, IDC_REPORT) : std::string();
}

// Starts a run with the job as it stands and waits for its result dialog,
// which stays open; null when either dialog did not come.
inline HWND RunToResult(App& app, std::string& report, DWORD timeoutMs = 30000) {
    HWND start = OpenStartDialog(app);
    if (!start) return nullptr;
    app.ClickButton(start, IDOK);
    HWND result = nullptr;
    report = WaitForReport(app, result, timeoutMs);
    return result;
}

// Starts a run with the job as it stands, waits for its result dialog and
// closes it; the report.
inline std::string CompleteRun(App& app) {
    std::string report;
    HWND result = RunToResult(app, report);
    if (!result) return "<no result dialog>";
    app.ClickButton(result, IDOK);
    app.WaitForNoDialog();
    return report;
}

inline bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace quorvin::gui_test
