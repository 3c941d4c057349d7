#pragma once
// The filter dialog (resource IDD_FILTER): which rows the event list shows.
// The fields come in as the filter's texts and go back parsed; OK keeps the
// dialog open with a message while a field cannot be parsed. The channels of
// the list's rows are listed with a check box each, checked while shown.
// Windows build only.

#include <optional>
#include <string>
#include <vector>

#include "rules/event_filter.h"
#include "ui/dialog.h"

namespace quorvin::views {

class FilterDialog final : public ui::Dialog {
public:
    // `channels`: the channels of the event list's rows (ChannelsOfTable).
    FilterDialog(FilterFields fields, std::vector<std::string> channels)
        : fields_(std::move(fields)), channels_(std::move(channels)) {}

    // IDOK with Fields() and Filter() set (the clear button gives the empty
    // filter), IDCANCEL when the user left, -1 when it could not be shown.
    INT_PTR Run(HWND owner);

    const FilterFields& Fields() const { return fields_; }
    const EventFilter& Filter() const { return filter_; }

protected:
    bool OnInit() override;
    void OnCommand(int id, int code) override;

private:
    void Show(const FilterFields& fields);
    void ListChannels() const;
    bool Read(FilterFields& fields, FilterError& error) const;
    void Accept();

    FilterFields fields_;
    std::vector<std::string> channels_;
    EventFilter filter_;
};

}  // namespace quorvin::views
