#include "gui/filter_dialog.h"

#include "gui/resources/resource.h"
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
    Show(fields_);
    return true;
}

void FilterDialog::Show(const FilterFields& fields) {
    for (const Box& box : kBoxes)
        static_cast<void>(
            CheckDlgButton(Handle(), box.id, (fields.*box.set & box.bit) != 0 ? BST_CHECKED : BST_UNCHECKED));
    for (const Field& field : kFields) static_cast<void>(SetItemText(field.id, fields.*field.text));
}

// The fields as the dialog shows them; false, with `error` naming it, when a
// text field holds a character CP932 has not (read as '?', it would match
// question marks).
bool FilterDialog::Read(FilterFields& fields, FilterError& error) const {
    fields.types = fields.logs = 0;
    for (const Box& box : kBoxes)
        if (IsDlgButtonChecked(Handle(), box.id) == BST_CHECKED) fields.*box.set |= box.bit;
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
                                       IDC_FILTER_SOURCES,     IDC_FILTER_EVENT_IDS, IDC_FILTER_TEXT};
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
