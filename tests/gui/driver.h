#pragma once
// Drives quorvin.exe from another process, as a user would, and reads its
// state back through the Win32 API. Texts are CP932 like the program's.

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quorvin::gui_test {

// Folder of the running test executable; quorvin.exe is built beside it.
std::wstring ExecutableFolder();
// The program driven: quorvin.exe beside the tests, or the build of it that
// QUORVIN_PROGRAM names (the release), as this process's environment has it now.
std::wstring ProgramPath();
// The demo network the build made beside it, or the one QUORVIN_DEMO_NETWORK
// names (the release's, when the program driven is the release).
std::wstring DemoNetworkFolder();

std::wstring Wide(const std::string& cp932);
std::string Narrow(const std::wstring& wide);

class Program {
public:
    // Starts quorvin.exe (the one beside the tests, or the one
    // QUORVIN_PROGRAM names) with the given arguments.
    explicit Program(const std::wstring& arguments = L"");
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return process_.hProcess != nullptr; }
    // Waits until the process shows its main window; null after the timeout.
    HWND WaitForMainWindow(DWORD timeoutMs = 20000);
    // Waits until the process ends and returns its exit code (-1 on timeout).
    long WaitForExit(DWORD timeoutMs = 20000);
    bool Running() const;
    DWORD ProcessId() const { return process_.dwProcessId; }
    HANDLE ProcessHandle() const { return process_.hProcess; }

private:
    PROCESS_INFORMATION process_{};
};

std::wstring WindowText(HWND window);
// Polls until the window's text equals `expected` or the timeout passes.
bool WaitForWindowText(HWND window, const std::wstring& expected, DWORD timeoutMs = 10000);
std::string ClassName(HWND window);
// The first descendant of `parent` of window class `className`.
HWND FindDescendant(HWND parent, const char* className);

// Memory in another process for the messages that carry pointers.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, std::size_t size);
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;
    void* Address() const { return address_; }
    template <class T>
    T* At(std::size_t offset) const {
        return reinterpret_cast<T*>(static_cast<char*>(address_) + offset);
    }
    bool Write(std::size_t offset, const void* data, std::size_t size) const;
    bool Read(std::size_t offset, void* data, std::size_t size) const;

private:
    HANDLE process_;
    void* address_ = nullptr;
};

// HKEY_LOCAL_MACHINE\SOFTWARE\ORVANTE\クォーヴィン of the test prefix, or
// the key a UseKey in scope names.
namespace settings {
// Where the program keeps its settings on the demo network (its network.ini's [demo]).
extern const char* const kDemoKey;
// For its scope, the functions below work on `cp932Key` (under HKEY_LOCAL_MACHINE).
class UseKey {
public:
    explicit UseKey(const std::string& cp932Key);
    ~UseKey();
    UseKey(const UseKey&) = delete;
    UseKey& operator=(const UseKey&) = delete;

private:
    std::wstring previous_;
};
bool Delete();
bool SetString(const std::string& name, const std::string& cp932);
bool SetDword(const std::string& name, DWORD value);
bool SetBinary(const std::string& name, const std::vector<std::uint8_t>& data);
// Type and bytes of a value (REG_SZ as its UTF-16 bytes); false when missing.
bool Read(const std::string& name, DWORD& type, std::vector<std::uint8_t>& data);
bool ReadString(const std::string& name, std::string& cp932);
bool ReadDword(const std::string& name, DWORD& value);
std::vector<std::string> ValueNames();
}  // namespace settings

// A running quorvin.exe with the windows of its main frame.
class App {
public:
    explicit App(const std::wstring& arguments = L"");
    ~App();

    // False (with the reason in `error`) when the main window or one of its
    // panes did not appear.
    bool Ready(std::string& error);
    Program& Process() { return program_; }

    HWND frame = nullptr, tree = nullptr, list = nullptr, status = nullptr, toolbar = nullptr, dockBar = nullptr;

    // Lets the program's thread handle everything posted to it so far.
    void Settle() const;
    void Command(int id) const;
    // Posts the close request, answers No should the program ask to save
    // its results, and waits for the exit code.
    long Close();

    // ---- tree
    std::vector<std::string> TreeNames() const;  // entries under the root
    std::string TreeItemText(HTREEITEM item) const;
    // The item's picture (TVIF_IMAGE); -1 when it cannot be read.
    int TreeItemImage(HTREEITEM item) const;
    HTREEITEM Root() const;
    HTREEITEM Entry(int index) const;  // null when there is none
    HTREEITEM TreeSelection() const;
    int TreeCount() const;
    bool TreeItemRect(HTREEITEM item, RECT& rect) const;
    void ClickTree(HTREEITEM item, bool right = false) const;
    void ClickTreeAt(POINT client, bool right = false) const;
    void Key(HWND window, UINT vk) const;
    // Ctrl+`vk` (or Shift+) through the program's own message loop, so the accelerators see it.
    void KeyWithModifier(HWND window, UINT modifier, UINT vk) const;

    // ---- event list
    struct Row {
        int image = 0;
        std::vector<std::string> cells;  // columns 1 to 7
    };
    // Appends a row with the messages a collection run sends.
    void InsertRow(const Row& row) const;
    // The event list's, or those of `other` (another list view of the program).
    int RowCount(HWND other = nullptr) const;
    std::string Cell(int row, int column, HWND other = nullptr) const;
    std::string ColumnTitle(int column, HWND other = nullptr) const;
    int ColumnWidth(int column) const;
    int StringWidth(const std::string& text) const;
    bool RowRect(int row, RECT& rect, HWND other = nullptr) const;
    int SelectedRow() const;
    // Every selected row, top to bottom.
    std::vector<int> SelectedRows() const;
    // HDF_SORTUP or HDF_SORTDOWN of the header item of `column` (HDM_GETITEM), 0 for neither.
    int SortArrow(int column) const;
    void ClickRow(int row) const;
    void ClickList(POINT client, bool doubleClick = false, HWND other = nullptr) const;
    void ClickHeader(int column, HWND other = nullptr) const;
    // A character typed into `window`, as the keyboard and the IME hand it over (WM_CHAR).
    void Type(HWND window, wchar_t character) const;
    // LVM_FINDITEMW with `flags` (LVFI_*) and `text`, from the row after `after` (-1: the top).
    int FindItem(int after, UINT flags, const std::string& text) const;
    void MoveMouseOverList(POINT client) const;
    // The list's tooltip window and the text of its tool.
    HWND ListTooltip() const;
    std::string ListToolText() const;

    // The clipboard's CF_UNICODETEXT and CF_TEXT; false when it cannot be opened.
    static bool ReadClipboard(std::wstring& unicode, std::string& bytes);

    // ---- status bar
    std::string StatusText(int pane) const;
    int StatusPaneCount() const;

    // ---- dialogs of the program (message boxes, file dialogs, ours)
    // Waits for a visible dialog of the process other than the frame; with
    // `caption` only one of that caption.
    HWND WaitForDialog(const std::string& caption = "", DWORD timeoutMs = 10000) const;
    // All visible dialogs (class #32770) of the process.
    std::vector<HWND> Dialogs() const;
    // The static texts of a dialog, joined by "\n".
    std::string DialogText(HWND dialog) const;
    void ClickButton(HWND dialog, int id) const;
    // Waits for a standard file dialog (a dialog with a file name box).
    HWND WaitForFileDialog(DWORD timeoutMs = 10000) const;
    // Waits for a dialog other than `other` (e.g. the question a file dialog asks).
    HWND WaitForDialogOtherThan(HWND other, DWORD timeoutMs = 10000) const;
    // In a standard file dialog: types `path` into the name box and presses the OK button.
    bool ChooseFile(HWND dialog, const std::wstring& path) const;
    std::wstring FileDialogName(HWND dialog) const;
    // The popup menu of a right click (class #32768); null after the timeout.
    HWND WaitForPopupMenu(DWORD timeoutMs = 5000) const;
    // Moves the highlight down `position` + 1 times from none and takes that item.
    void ChooseMenuItem(HWND menu, int position) const;
    // Waits until no dialog of the process is shown.
    bool WaitForNoDialog(DWORD timeoutMs = 10000) const;

private:
    Program program_;
    DWORD thread_ = 0;
};

// An environment variable of this process (and so of quorvin.exe started
// from it) for the length of a scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name) {
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name_, nullptr); }

private:
    const wchar_t* name_;
};

// A file in the test's temporary folder, removed at the end of the scope.
class TempFile {
public:
    explicit TempFile(const std::wstring& name);
    ~TempFile();
    const std::wstring& Path() const { return path_; }
    bool Write(const std::string& bytes) const;
    bool Read(std::string& bytes) const;
    bool Exists() const;
    // The names of the files beside this one that match `pattern` ("*.tmp").
    std::vector<std::wstring> Neighbours(const std::wstring& pattern) const;

private:
    std::wstring path_;
};

}  // namespace quorvin::gui_test
