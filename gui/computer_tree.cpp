#include "gui/computer_tree.h"

#include "gui/file_error_message.h"
#include "core/cp932.h"
#include "gui/resources/resource.h"
#include "rules/list_file.h"
#include "ui/file_dialog.h"
#include "ui/file_io.h"
#include "ui/menu.h"
#include "ui/message_box.h"

#include <algorithm>
#include <windowsx.h>

namespace quorvin::computers {

namespace {
constexpr int kRootImage = 0;
constexpr int kComputerImage = 1;
constexpr int kFailedImage = 2;
constexpr COLORREF kWhite = RGB(255, 255, 255);
}  // namespace

bool ComputerTree::Create(HWND parent, int id) {
    HWND tree = ui::TreeView::Create(parent, id, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                                     WS_EX_CLIENTEDGE);
    if (!tree) return false;
    if (Attach(tree)) return true;
    // Without our handling the tree is no computer tree.
    ui::Discard(tree);
    return false;
}

void ComputerTree::InitialUpdate(const std::string& stored) {
    // A tree without pictures still works: image failures are not fatal.
    if (images_.Create(16, 16, 3, 5) && images_.AddBitmap(IDB_TREE_ROOT, kWhite) &&
        images_.AddBitmap(IDB_TREE_COMPUTER, kWhite) && images_.AddBitmap(IDB_TREE_COMPUTER_FAILED, kWhite))
        Tree().SetImageList(images_.Handle());
    InsertRoot();
    list_.Load(stored);
    for (const std::string& name : list_.Names()) AppendItem(name);
    Tree().Expand(root_);
    RefreshCount();
    SelectCurrent();
}

void ComputerTree::MarkFailed(const std::vector<std::string>& failed) const {
    const std::vector<std::string>& names = list_.Names();
    for (std::size_t i = 0; i < names.size() && i < items_.size(); ++i) {
        const bool marked = std::any_of(failed.begin(), failed.end(),
                                        [&](const std::string& name) { return text::MbsICmp(name, names[i]) == 0; });
        // A picture the tree refuses leaves the entry as it was; the report still says it.
        static_cast<void>(Tree().SetItemImage(items_[i], marked ? kFailedImage : kComputerImage));
    }
}

void ComputerTree::InsertRoot() { root_ = Tree().Insert(TVI_ROOT, TVI_FIRST, kRootText, kRootImage); }

void ComputerTree::AppendItem(const std::string& name) {
    items_.push_back(Tree().Insert(root_, TVI_LAST, name, kComputerImage));
}

void ComputerTree::SelectCurrent() const {
    const int current = list_.Current();
    Tree().Select(current == ComputerList::kNone ? nullptr : items_[static_cast<std::size_t>(current)]);
}

bool ComputerTree::AddComputer(const std::string& name) {
    if (!list_.AddComputer(name)) return false;
    AppendItem(name);
    Tree().Expand(root_);
    RefreshCount();
    return true;
}

AddOutcome ComputerTree::AddFromDialog(const std::string& name) {
    const AddOutcome outcome = computers::AddFromDialog(list_, name, settings_.MaxComputer);
    if (outcome == AddOutcome::Added) {
        AppendItem(name);
        Tree().Expand(root_);
        RefreshCount();
    }
    return outcome;
}

void ComputerTree::FollowSelection() {
    const HTREEITEM selected = Tree().Selection();
    const auto found = std::find(items_.begin(), items_.end(), selected);
    list_.Follow(selected && found != items_.end() ? static_cast<int>(found - items_.begin()) : ComputerList::kNone);
}

void ComputerTree::RemoveCurrent() {
    FollowSelection();
    const int current = list_.Current();
    if (current == ComputerList::kNone) return;
    list_.RemoveCurrent();
    const auto at = items_.begin() + current;
    Tree().Delete(*at);
    items_.erase(at);
    RefreshCount();
    SelectCurrent();
}

void ComputerTree::AfterAddCommand() {
    FollowSelection();
    if (list_.Current() != ComputerList::kNone) return;
    list_.AfterAddCommand();
    SelectCurrent();
}

void ComputerTree::RightClick(POINT client) {
    UINT flags = 0;
    const HTREEITEM item = Tree().HitTest(client, flags);
    if (item && (flags & TVHT_ONITEM)) Tree().Select(item);
}

void ComputerTree::ShowContextMenu(LPARAM screenPoint) {
    POINT at{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    if (screenPoint == -1) {
        // From the keyboard: below the current computer, or at the tree's corner.
        RECT rect{};
        FollowSelection();
        const int current = list_.Current();
        const HTREEITEM item = current == ComputerList::kNone ? root_ : items_[static_cast<std::size_t>(current)];
        at = Tree().ItemRect(item, rect) ? POINT{rect.left, rect.bottom} : POINT{0, 0};
        if (!ClientToScreen(Handle(), &at)) return;
    }
    ui::TrackContextMenu(IDR_TREE_CONTEXT, Owner(), at);
}

bool ComputerTree::OnCommand(int id) {
    if (id == ID_SAVE_COMPUTER_LIST) {
        SaveListFile();
        return true;
    }
    if (id == ID_IMPORT_COMPUTER_LIST) {
        ImportListFile();
        return true;
    }
    return false;
}

void ComputerTree::SaveListFile() {
    if (list_.Empty()) {
        ui::ShowMessage(Owner(), SaveEmptyListMessage());
        return;
    }
    const std::wstring path = ui::AskFileName(Owner(), {true, kListFileFilter, kListFileDefaultExtension, ""});
    if (path.empty()) return;
    const platform::Error error = ui::WriteWholeFile(path, ListFileContent(list_.Names()));
    if (error != 0) ui::ShowMessage(Owner(), app::FileErrorMessage(error, path));
}

void ComputerTree::ImportListFile() {
    const std::wstring path = ui::AskFileName(Owner(), {false, kListFileFilter, "", ""});
    if (path.empty()) return;
    ui::FileReader file;
    if (file.Open(path) != 0) {
        ui::ShowMessage(Owner(), ImportOpenFailedMessage(ui::LoadText(IDS_APP_TITLE)));
        return;
    }
    const bool overwrite = !list_.Empty() && ui::ShowMessage(Owner(), OverwriteQuestion()) == IDYES;
    // The file is read as a stream before the list changes: a file that
    // fails half way (or never ends) leaves the list as it was.
    ImportResult result;
    if (!computers::ReadListFile([&file](char* buffer, std::size_t size) { return file.Read(buffer, size); },
                                 overwrite ? 0 : list_.Size(), settings_.MaxComputer, result)) {
        ui::ShowMessage(Owner(), ImportOpenFailedMessage(ui::LoadText(IDS_APP_TITLE)));
        return;
    }
    if (overwrite) {
        list_.Clear();
        items_.clear();
        Tree().DeleteAll();
        InsertRoot();
    }
    for (const std::string& name : result.names) {
        list_.Append(name);
        AppendItem(name);
    }
    for (const app::UserMessage& message : result.messages) ui::ShowMessage(Owner(), message);
    RefreshCount();
    Tree().Expand(root_);
    list_.AfterImport();
    Tree().Select(root_);
}

LRESULT ComputerTree::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFOCUS: {
        // The tree selects an item when it gets the focus without a
        // selection; the selection shows the current computer, so none stays none.
        host_.TreeActivated();
        const bool selected = Tree().Selection() != nullptr;
        const LRESULT result = Default(message, wParam, lParam);
        if (!selected && Tree().Selection()) Tree().Select(nullptr);
        return result;
    }
    case WM_LBUTTONDOWN:
        host_.TreeActivated();
        break;
    case WM_RBUTTONDOWN:
        // The item clicked is selected, so that the menu's delete removes
        // what the tree shows; the tree's own right click does not run.
        host_.TreeActivated();
        RightClick({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_RBUTTONUP: {
        POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (ClientToScreen(Handle(), &at)) ShowContextMenu(MAKELPARAM(at.x, at.y));
        return 0;
    }
    case WM_CONTEXTMENU:
        ShowContextMenu(lParam);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_DELETE) host_.DeleteKey();
        if (wParam == VK_INSERT) host_.InsertKey();
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace quorvin::computers
