#include "driver.h"

#include "core/cp932.h"

#include <cstdlib>
#include <cstring>

namespace quorvin::gui_test {

std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring DemoNetworkFolder() {
    const wchar_t* named = _wgetenv(L"QUORVIN_DEMO_NETWORK");
    return named && *named ? std::wstring(named) : ExecutableFolder() + L"..\\demo-network";
}

std::wstring Wide(const std::string& cp932) {
    const std::u16string s = text::ToUtf16(cp932);
    return std::wstring(s.begin(), s.end());
}

std::string Narrow(const std::wstring& wide) {
    return text::FromUtf16(std::u16string(wide.begin(), wide.end()));
}

// ---- Program ----------------------------------------------------------------

std::wstring ProgramPath() {
    wchar_t other[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"QUORVIN_PROGRAM", other, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(other, length) : ExecutableFolder() + L"quorvin.exe";
}

Program::Program(const std::wstring& arguments) {
    const std::wstring exe = ProgramPath();
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_))
        process_ = {};
}

Program::~Program() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

namespace {

struct FindContext {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM lParam) {
    auto* context = reinterpret_cast<FindContext*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == context->processId && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == nullptr &&
        ClassName(window) == "QuorvinMainFrame") {
        context->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND Program::WaitForMainWindow(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        FindContext context{process_.dwProcessId, nullptr};
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&context));
        if (context.found) return context.found;
        if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

long Program::WaitForExit(DWORD timeoutMs) {
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
}

bool Program::Running() const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::wstring WindowText(HWND window) {
    wchar_t buffer[1024] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, nullptr);
    return buffer;
}

bool WaitForWindowText(HWND window, const std::wstring& expected, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (WindowText(window) == expected) return true;
        Sleep(50);
    }
    return false;
}

std::string ClassName(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

namespace {
struct DescendantSearch {
    const char* className;
    HWND found;
};
BOOL CALLBACK FindChild(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<DescendantSearch*>(lParam);
    if (ClassName(window) == search->className) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindDescendant(HWND parent, const char* className) {
    DescendantSearch search{className, nullptr};
    EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ---- RemoteMemory -------------------------------------------------------------

RemoteMemory::RemoteMemory(HANDLE process, std::size_t size) : process_(process) {
    address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteMemory::~RemoteMemory() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
}

bool RemoteMemory::Write(std::size_t offset, const void* data, std::size_t size) const {
    SIZE_T done = 0;
    return WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &done) && done == size;
}

bool RemoteMemory::Read(std::size_t offset, void* data, std::size_t size) const {
    SIZE_T done = 0;
    return ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &done) && done == size;
}

// ---- settings -----------------------------------------------------------------

namespace settings {

const char* const kDemoKey = "SOFTWARE\\ORVANTE\\クォーヴィン デモ";

namespace {
std::wstring& KeyPath() {
    static std::wstring path = L"SOFTWARE\\ORVANTE\\" + Wide("クォーヴィン");
    return path;
}

bool Set(const std::string& name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyPath().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG r = RegSetValueExW(key, Wide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}
}  // namespace

UseKey::UseKey(const std::string& cp932Key) : previous_(KeyPath()) { KeyPath() = Wide(cp932Key); }

UseKey::~UseKey() { KeyPath() = previous_; }

bool Delete() {
    const LONG r = RegDeleteKeyW(HKEY_LOCAL_MACHINE, KeyPath().c_str());
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

bool SetString(const std::string& name, const std::string& cp932) {
    const std::wstring value = Wide(cp932);
    return Set(name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool SetDword(const std::string& name, DWORD value) { return Set(name, REG_DWORD, &value, sizeof value); }

bool SetBinary(const std::string& name, const std::vector<std::uint8_t>& data) {
    return Set(name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

bool Read(const std::string& name, DWORD& type, std::vector<std::uint8_t>& data) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG r = RegQueryValueExW(key, Wide(name).c_str(), nullptr, &type, nullptr, &size);
    if (r == ERROR_SUCCESS) {
        data.resize(size);
        r = RegQueryValueExW(key, Wide(name).c_str(), nullptr, &type, data.data(), &size);
        data.resize(size);
    }
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool ReadString(const std::string& name, std::string& cp932) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!Read(name, type, data) || type != REG_SZ) return false;
    std::wstring value(data.size() / 2, L'\0');
    std::memcpy(value.data(), data.data(), value.size() * 2);
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    cp932 = Narrow(value);
    return true;
}

bool ReadDword(const std::string& name, DWORD& value) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!Read(name, type, data) || type != REG_DWORD || data.size() != 4) return false;
    std::memcpy(&value, data.data(), 4);
    return true;
}

std::vector<std::string> ValueNames() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(Narrow(std::wstring(name, length)));
    }
    RegCloseKey(key);
    return names;
}

}  // namespace settings

// ---- App ------------------------------------------------------------------------

App::App(const std::wstring& arguments) : program_(arguments) {}

App::~App() = default;

bool App::Ready(std::string& error) {
    if (!program_.Started()) {
        error = "quorvin.exe did not start";
        return false;
    }
    frame = program_.WaitForMainWindow();
    if (!frame) {
        error = "no main window";
        return false;
    }
    if (!WaitForWindowText(frame, Wide("クォーヴィン for Windows NT Ver 1.2"))) {
        error = "the title never came: " + Narrow(WindowText(frame));
        return false;
    }
    thread_ = GetWindowThreadProcessId(frame, nullptr);
    tree = FindDescendant(frame, "SysTreeView32");
    list = FindDescendant(frame, "SysListView32");
    status = FindDescendant(frame, "msctls_statusbar32");
    toolbar = FindDescendant(frame, "ToolbarWindow32");
    dockBar = FindDescendant(frame, "QuorvinDockBar");
    if (!tree || !list || !status || !toolbar || !dockBar) {
        error = "a child window of the frame is missing";
        return false;
    }
    Settle();
    return true;
}

void App::Settle() const {
    // A sent message is handled when the program next asks for a message,
    // that is after the message it is handling now: two rounds pass what
    // was posted before.
    for (int round = 0; round < 3; ++round) {
        SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 2000, nullptr);
        Sleep(10);
    }
}

void App::Command(int id) const {
    PostMessageW(frame, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    Settle();
}

long App::Close() {
    PostMessageW(frame, WM_CLOSE, 0, 0);
    const DWORD start = GetTickCount();
    while (program_.Running() && GetTickCount() - start < 20000) {
        for (HWND dialog : Dialogs())
            if (DialogText(dialog) == "結果を保存しますか。") ClickButton(dialog, IDNO);
        Sleep(30);
    }
    return program_.WaitForExit(0);
}

// ---- tree

int App::TreeItemImage(HTREEITEM item) const {
    RemoteMemory memory(program_.ProcessHandle(), sizeof(TVITEMW));
    TVITEMW query{};
    query.mask = TVIF_HANDLE | TVIF_IMAGE;
    query.hItem = item;
    memory.Write(0, &query, sizeof query);
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory.Address()))) return -1;
    memory.Read(0, &query, sizeof query);
    return query.iImage;
}

std::string App::TreeItemText(HTREEITEM item) const {
    RemoteMemory memory(program_.ProcessHandle(), sizeof(TVITEMW) + 2048);
    TVITEMW query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = memory.At<wchar_t>(sizeof(TVITEMW));
    query.cchTextMax = 1000;
    memory.Write(0, &query, sizeof query);
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory.Address()))) return "<no item>";
    wchar_t text[1001] = {};
    memory.Read(sizeof(TVITEMW), text, 2000);
    return Narrow(text);
}

HTREEITEM App::Root() const {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

HTREEITEM App::Entry(int index) const {
    auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(Root())));
    for (int i = 0; i < index && item; ++i)
        item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    return item;
}

std::vector<std::string> App::TreeNames() const {
    std::vector<std::string> names;
    for (HTREEITEM item = Entry(0); item;
         item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item))))
        names.push_back(TreeItemText(item));
    return names;
}

HTREEITEM App::TreeSelection() const {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

int App::TreeCount() const { return static_cast<int>(SendMessageW(tree, TVM_GETCOUNT, 0, 0)); }

bool App::TreeItemRect(HTREEITEM item, RECT& rect) const {
    RemoteMemory memory(program_.ProcessHandle(), sizeof(RECT));
    RECT in{};
    std::memcpy(&in, &item, sizeof item);
    memory.Write(0, &in, sizeof in);
    if (!SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(memory.Address()))) return false;
    return memory.Read(0, &rect, sizeof rect);
}

void App::ClickTreeAt(POINT at, bool right) const {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    PostMessageW(tree, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, where);
    PostMessageW(tree, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, where);
    if (!right) Settle();
}

void App::ClickTree(HTREEITEM item, bool right) const {
    RECT rect{};
    if (!TreeItemRect(item, rect)) return;
    ClickTreeAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, right);
}

void App::Key(HWND window, UINT vk) const {
    PostMessageW(window, WM_KEYDOWN, vk, 1);
    PostMessageW(window, WM_KEYUP, vk, 0xC0000001);
    Settle();
}

void App::KeyWithModifier(HWND window, UINT modifier, UINT vk) const {
    AttachThreadInput(GetCurrentThreadId(), thread_, TRUE);
    BYTE state[256] = {};
    GetKeyboardState(state);
    const BYTE saved = state[modifier];
    state[modifier] |= 0x80;
    SetKeyboardState(state);
    PostMessageW(window, WM_KEYDOWN, vk, 1);
    Settle();
    PostMessageW(window, WM_KEYUP, vk, 0xC0000001);
    Settle();
    state[modifier] = saved;
    SetKeyboardState(state);
    AttachThreadInput(GetCurrentThreadId(), thread_, FALSE);
}

// ---- event list

void App::InsertRow(const Row& row) const {
    RemoteMemory memory(program_.ProcessHandle(), sizeof(LVITEMW) + 8192);
    const auto setText = [&](int index, int column, const std::string& text) {
        std::wstring wide = Wide(text);
        wide.resize(std::min<std::size_t>(wide.size(), 4000));
        memory.Write(sizeof(LVITEMW), wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = memory.At<wchar_t>(sizeof(LVITEMW));
        memory.Write(0, &item, sizeof item);
        SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(memory.Address()));
    };
    const wchar_t empty = L'\0';
    memory.Write(sizeof(LVITEMW), &empty, sizeof empty);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = RowCount();
    item.iImage = row.image;
    item.pszText = memory.At<wchar_t>(sizeof(LVITEMW));
    memory.Write(0, &item, sizeof item);
    const int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(memory.Address())));
    if (index < 0) return;
    for (std::size_t column = 0; column < row.cells.size(); ++column)
        setText(index, static_cast<int>(column) + 1, row.cells[column]);
}

int App::RowCount(HWND other) const { return static_cast<int>(SendMessageW(other ? other : list, LVM_GETITEMCOUNT, 0, 0)); }

std::string App::Cell(int row, int column, HWND other) const {
    RemoteMemory memory(program_.ProcessHandle(), sizeof(LVITEMW) + 16384);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = memory.At<wchar_t>(sizeof(LVITEMW));
    item.cchTextMax = 8000;
    memory.Write(0, &item, sizeof item);
    const auto n = static_cast<std::size_t>(
        SendMessageW(other ? other : list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(memory.Address())));
    std::wstring text(n, L'\0');
    memory.Read(sizeof(LVITEMW), text.data(), n * sizeof(wchar_t));
    return Narrow(text);
}

std::string App::ColumnTitle(int column, HWND other) const {
    RemoteMemory memory(program_.ProcessHandle(), sizeof(LVCOLUMNW) + 1024);
    LVCOLUMNW query{};
    query.mask = LVCF_TEXT;
    query.pszText = memory.At<wchar_t>(sizeof(LVCOLUMNW));
    query.cchTextMax = 500;
    memory.Write(0, &query, sizeof query);
    if (!SendMessageW(other ? other : list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(memory.Address())))
        return "<none>";
    wchar_t text[501] = {};
    memory.Read(sizeof(LVCOLUMNW), text, 1000);
    return Narrow(text);
}

int App::ColumnWidth(int column) const {
    return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
}

int App::StringWidth(const std::string& text) const {
    const std::wstring wide = Wide(text);
    RemoteMemory memory(program_.ProcessHandle(), (wide.size() + 1) * sizeof(wchar_t));
    memory.Write(0, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    return static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(memory.Address())));
}

bool App::RowRect(int row, RECT& rect, HWND other) const {
    RemoteMemory memory(program_.ProcessHandle(), sizeof(RECT));
    RECT in{};
    in.left = LVIR_BOUNDS;
    memory.Write(0, &in, sizeof in);
    if (!SendMessageW(other ? other : list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(memory.Address())))
        return false;
    return memory.Read(0, &rect, sizeof rect);
}

int App::SelectedRow() const {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::vector<int> App::SelectedRows() const {
    std::vector<int> rows;
    for (int row = SelectedRow(); row >= 0;
         row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row), LVNI_SELECTED)))
        rows.push_back(row);
    return rows;
}

int App::SortArrow(int column) const {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    RemoteMemory memory(program_.ProcessHandle(), sizeof(HDITEMW));
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    memory.Write(0, &item, sizeof item);
    if (!SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(memory.Address()))) return -1;
    memory.Read(0, &item, sizeof item);
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
}

bool App::ReadClipboard(std::wstring& unicode, std::string& bytes) {
    if (!OpenClipboard(nullptr)) return false;
    unicode.clear();
    bytes.clear();
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) unicode = text;
        GlobalUnlock(data);
    }
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const auto* text = static_cast<const char*>(GlobalLock(data))) bytes = text;
        GlobalUnlock(data);
    }
    return CloseClipboard() != FALSE;
}

void App::ClickList(POINT at, bool doubleClick, HWND other) const {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    HWND target = other ? other : list;
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(target, WM_LBUTTONUP, 0, where);
    if (doubleClick) {
        PostMessageW(target, WM_LBUTTONDBLCLK, MK_LBUTTON, where);
        PostMessageW(target, WM_LBUTTONUP, 0, where);
    }
    Settle();
}

void App::ClickRow(int row) const {
    RECT rect{};
    if (!RowRect(row, rect)) return;
    ClickList({rect.left + 60, (rect.top + rect.bottom) / 2});
}

void App::ClickHeader(int column, HWND other) const {
    HWND header = reinterpret_cast<HWND>(SendMessageW(other ? other : list, LVM_GETHEADER, 0, 0));
    RemoteMemory memory(program_.ProcessHandle(), sizeof(RECT));
    if (!SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(memory.Address()))) return;
    RECT rect{};
    memory.Read(0, &rect, sizeof rect);
    const LPARAM where = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(header, WM_LBUTTONUP, 0, where);
    Settle();
}

void App::Type(HWND window, wchar_t character) const {
    PostMessageW(window, WM_CHAR, character, 1);
    Settle();
}

int App::FindItem(int after, UINT flags, const std::string& text) const {
    const std::wstring wide = Wide(text);
    RemoteMemory memory(program_.ProcessHandle(), sizeof(LVFINDINFOW) + (wide.size() + 1) * sizeof(wchar_t));
    memory.Write(sizeof(LVFINDINFOW), wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    LVFINDINFOW find{};
    find.flags = flags;
    find.psz = memory.At<wchar_t>(sizeof(LVFINDINFOW));
    memory.Write(0, &find, sizeof find);
    return static_cast<int>(
        SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(memory.Address())));
}

void App::MoveMouseOverList(POINT at) const {
    PostMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    Settle();
}

namespace {
struct TooltipSearch {
    DWORD processId;
    std::vector<HWND> found;
};
BOOL CALLBACK FindTooltips(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<TooltipSearch*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->processId && ClassName(window) == "tooltips_class32") search->found.push_back(window);
    return TRUE;
}
}  // namespace

HWND App::ListTooltip() const {
    // The tooltips of the process (the toolbar has one too): the list's is
    // the one with a tool for the list window.
    TooltipSearch search{program_.ProcessId(), {}};
    EnumWindows(FindTooltips, reinterpret_cast<LPARAM>(&search));
    RemoteMemory memory(program_.ProcessHandle(), sizeof(TOOLINFOW));
    for (HWND tooltip : search.found) {
        const auto count = static_cast<int>(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            TOOLINFOW tool{};
            tool.cbSize = sizeof tool;
            memory.Write(0, &tool, sizeof tool);
            if (!SendMessageW(tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(memory.Address()))) continue;
            memory.Read(0, &tool, sizeof tool);
            if (tool.hwnd == list) return tooltip;
        }
    }
    return nullptr;
}

std::string App::ListToolText() const {
    HWND tooltip = ListTooltip();
    if (!tooltip) return "<no tooltip>";
    RemoteMemory memory(program_.ProcessHandle(), sizeof(TOOLINFOW) + 4096);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = list;
    tool.uId = reinterpret_cast<UINT_PTR>(list);
    tool.lpszText = memory.At<wchar_t>(sizeof(TOOLINFOW));
    const wchar_t empty = L'\0';
    memory.Write(sizeof(TOOLINFOW), &empty, sizeof empty);
    memory.Write(0, &tool, sizeof tool);
    SendMessageW(tooltip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(memory.Address()));
    wchar_t text[1025] = {};
    memory.Read(sizeof(TOOLINFOW), text, 2048);
    return Narrow(text);
}

// ---- status bar

std::string App::StatusText(int pane) const {
    const auto length = LOWORD(SendMessageW(status, SB_GETTEXTLENGTHW, pane, 0));
    RemoteMemory memory(program_.ProcessHandle(), (length + 1u) * sizeof(wchar_t));
    SendMessageW(status, SB_GETTEXTW, pane, reinterpret_cast<LPARAM>(memory.Address()));
    std::wstring text(length, L'\0');
    memory.Read(0, text.data(), length * sizeof(wchar_t));
    return Narrow(text);
}

int App::StatusPaneCount() const { return static_cast<int>(SendMessageW(status, SB_GETPARTS, 0, 0)); }

// ---- dialogs

namespace {
struct DialogSearch {
    DWORD processId;
    std::vector<HWND> found;
};
BOOL CALLBACK FindDialogs(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<DialogSearch*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->processId && IsWindowVisible(window) && ClassName(window) == "#32770")
        search->found.push_back(window);
    return TRUE;
}
BOOL CALLBACK CollectStatics(HWND window, LPARAM lParam) {
    auto* texts = reinterpret_cast<std::string*>(lParam);
    if (ClassName(window) == "Static") {
        const std::string text = Narrow(WindowText(window));
        if (!text.empty()) {
            if (!texts->empty()) *texts += "\n";
            *texts += text;
        }
    }
    return TRUE;
}
}  // namespace

std::vector<HWND> App::Dialogs() const {
    DialogSearch search{program_.ProcessId(), {}};
    EnumWindows(FindDialogs, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND App::WaitForDialog(const std::string& caption, DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        for (HWND dialog : Dialogs())
            if (caption.empty() || Narrow(WindowText(dialog)) == caption) return dialog;
        Sleep(30);
    }
    return nullptr;
}

std::string App::DialogText(HWND dialog) const {
    std::string texts;
    EnumChildWindows(dialog, CollectStatics, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

void App::ClickButton(HWND dialog, int id) const {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    Sleep(50);
}

namespace {
// The name box of a standard file dialog: an edit inside the combo box
// 0x47C (itself a combo box or an extended one), or the edit 0x480.
HWND FileNameEdit(HWND dialog) {
    if (HWND combo = GetDlgItem(dialog, 0x47C))
        if (HWND edit = FindDescendant(combo, "Edit")) return edit;
    return GetDlgItem(dialog, 0x480);
}
}  // namespace

HWND App::WaitForFileDialog(DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        for (HWND dialog : Dialogs())
            if (FileNameEdit(dialog)) return dialog;
        Sleep(30);
    }
    return nullptr;
}

HWND App::WaitForDialogOtherThan(HWND other, DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        for (HWND dialog : Dialogs())
            if (dialog != other) return dialog;
        Sleep(30);
    }
    return nullptr;
}

bool App::ChooseFile(HWND dialog, const std::wstring& path) const {
    HWND edit = FileNameEdit(dialog);
    if (!edit) return false;
    SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL, 5000, nullptr);
    ClickButton(dialog, IDOK);
    return true;
}

std::wstring App::FileDialogName(HWND dialog) const {
    HWND edit = FileNameEdit(dialog);
    return edit ? WindowText(edit) : L"<no name box>";
}

namespace {
struct MenuSearch {
    DWORD processId;
    HWND found;
};
BOOL CALLBACK FindMenu(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<MenuSearch*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->processId && IsWindowVisible(window) && ClassName(window) == "#32768") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND App::WaitForPopupMenu(DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        MenuSearch search{program_.ProcessId(), nullptr};
        EnumWindows(FindMenu, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(30);
    }
    return nullptr;
}

void App::ChooseMenuItem(HWND menu, int position) const {
    for (int i = 0; i <= position; ++i) {
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 1);
        PostMessageW(menu, WM_KEYUP, VK_DOWN, 0xC0000001);
    }
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(menu, WM_KEYUP, VK_RETURN, 0xC0000001);
    Settle();
}

bool App::WaitForNoDialog(DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (Dialogs().empty()) return true;
        Sleep(30);
    }
    return false;
}

// ---- TempFile -------------------------------------------------------------------

TempFile::TempFile(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    path_ = std::wstring(folder) + name;
    DeleteFileW(path_.c_str());
}

TempFile::~TempFile() {
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path_.c_str());
}

bool TempFile::Write(const std::string& bytes) const {
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool TempFile::Read(std::string& bytes) const {
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
    CloseHandle(file);
    return true;
}

bool TempFile::Exists() const { return GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> TempFile::Neighbours(const std::wstring& pattern) const {
    const std::wstring folder = path_.substr(0, path_.find_last_of(L'\\') + 1);
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

}  // namespace quorvin::gui_test
