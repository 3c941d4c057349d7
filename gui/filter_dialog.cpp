#include "gui/filter_dialog.h"

#include <algorithm>

#include "gui/resources/resource.h"
#include "core/cp932.h"
#include "ui/list_view.h"
#include "ui/message_box.h"

namespace quorvin::views {

namespace {

struct Box {
    int id;
    unsigned FilterFields::*set;
    unsigned bit;
};
constexpr Box kBoxes[] = {
    {IDC_FILTER_INFORMATION, &FilterFields::types, kTypeInformation},
    {IDC_FILTER_ERROR, &FilterFields::types, kTypeError},
    {IDC_FILTER_WARNING, &FilterFields::types, kTypeWarning},
    {IDC_FILTER_AUDIT_SUCCESS, &FilterFields::types, kTypeAuditSuccess},
    {IDC_FILTER_AUDIT_FAILURE, &FilterFields::types, kTypeAuditFailure},
    {IDC_FILTER_SYSTEM, &FilterFields::logs, kLogSystem},
    {IDC_FILTER_SECURITY, &FilterFields::logs, kLogSecurity},
    {IDC_FILTER_APPLICATION, &FilterFields::logs, kLogApplication},
};

struct Field {
    int id;
    std::string FilterFields::*text;
    FilterField field;
};
constexpr Field kFields[] = {
    {IDC_FILTER_COMPUTERS, &FilterFields::computers, FilterField::kComputers},
    {IDC_FILTER_SOURCES, &FilterFields::sources, FilterField::kSources},
    {IDC_FILTER_EVENT_IDS, &FilterFields::eventIds, FilterField::kEventIds},
    {IDC_FILTER_TEXT, &FilterFields::text, FilterField::kText},
};

// Characters an edit box takes: at most kMostFieldBytes bytes of CP932.
constexpr WPARAM kFieldCharacters = kMostFieldBytes / 2;

}  // namespace

INT_PTR FilterDialog::Run(HWND owner) { return RunModal(owner, IDD_FILTER); }

bool FilterDialog::OnInit() {
    for (const Field& field : kFields)
        static_cast<void>(SendMessageW(Item(field.id), EM_SETLIMITTEXT, kFieldCharacters, 0));
    ListChannels();
    Show(fields_);
    return true;
}

// One row per channel in a column as wide as the list; an empty list is disabled.
void FilterDialog::ListChannels() const {
    const ui::ListView list(Item(IDC_FILTER_CHANNELS));
    list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    RECT client{};
    const int width = GetClientRect(list.Handle(), &client) ? client.right - GetSystemMetrics(SM_CXVSCROLL) : 200;
    static_cast<void>(list.InsertColumn(0, "", width));
    for (std::size_t i = 0; i < channels_.size(); ++i)
        static_cast<void>(list.InsertItem(static_cast<int>(i), channels_[i], 0));
    static_cast<void>(EnableWindow(list.Handle(), channels_.empty() ? FALSE : TRUE));
}

void FilterDialog::Show(const FilterFields& fields) {
    for (const Box& box : kBoxes)
        static_cast<void>(
            CheckDlgButton(Handle(), box.id, (fields.*box.set & box.bit) != 0 ? BST_CHECKED : BST_UNCHECKED));
    for (const Field& field : kFields) static_cast<void>(SetItemText(field.id, fields.*field.text));
    const ui::ListView list(Item(IDC_FILTER_CHANNELS));
    for (std::size_t i = 0; i < channels_.size(); ++i) {
        const bool hidden = std::any_of(fields.hiddenChannels.begin(), fields.hiddenChannels.end(),
                                        [&](const std::string& h) { return text::MbsICmp(h, channels_[i]) == 0; });
        static_cast<void>(list.SetChecked(static_cast<int>(i), !hidden));
    }
}

// The fields as the dialog shows them; false, with `error` naming it, when a
// text field holds a character CP932 has not (read as '?', it would match
// question marks).
bool FilterDialog::Read(FilterFields& fields, FilterError& error) const {
    fields.types = fields.logs = 0;
    for (const Box& box : kBoxes)
        if (IsDlgButtonChecked(Handle(), box.id) == BST_CHECKED) fields.*box.set |= box.bit;
    const ui::ListView list(Item(IDC_FILTER_CHANNELS));
    std::vector<bool> shown;
    for (std::size_t i = 0; i < channels_.size(); ++i) shown.push_back(list.IsChecked(static_cast<int>(i)));
    fields.hiddenChannels = HiddenAfterChoice(fields_.hiddenChannels, channels_, shown);
    for (const Field& field : kFields) {
        std::size_t character = 0;
        if (!ui::ExactText(Item(field.id), fields.*field.text, character)) {
            error = {field.field, FilterProblem::kNoCp932Form, {}, character};
            return false;
        }
    }
    return true;
}

void FilterDialog::Accept() {
    FilterFields fields;
    FilterError error{};
    std::optional<EventFilter> filter;
    if (Read(fields, error)) filter = EventFilter::Parse(fields, error);
    if (!filter) {
        ui::ShowMessage(Handle(), FilterErrorMessage(error));
        static const int kFieldOf[] = {IDC_FILTER_INFORMATION, IDC_FILTER_SYSTEM,    IDC_FILTER_COMPUTERS,
                                       IDC_FILTER_SOURCES,     IDC_FILTER_EVENT_IDS, IDC_FILTER_TEXT,
                                       IDC_FILTER_CHANNELS};
        static_cast<void>(SendMessageW(Handle(), WM_NEXTDLGCTL,
                                       reinterpret_cast<WPARAM>(Item(kFieldOf[static_cast<int>(error.field)])), TRUE));
        return;
    }
    fields_ = fields;
    filter_ = std::move(*filter);
    End(IDOK);
}

void FilterDialog::OnCommand(int id, int code) {
    switch (id) {
    case IDOK: Accept(); break;
    case IDC_FILTER_CLEAR:
        if (code != BN_CLICKED) break;
        fields_ = FilterFields();
        filter_ = EventFilter();
        End(IDOK);
        break;
    default: Dialog::OnCommand(id, code); break;
    }
}

}  // namespace quorvin::views
