#pragma once
// The console collector's side of a run: the computer list it was given,
// the rows in collection order, and the progress line on standard error.

#include <cstdio>
#include <string>
#include <vector>

#include "engine/collection_view.h"

namespace quorvin::cli {

class ConsoleView : public engine::CollectionView {
public:
    // `progress`: draw the progress line on standard error (a terminal).
    ConsoleView(std::vector<std::string> computers, bool progress)
        : computers_(std::move(computers)), progress_(progress) {}

    bool FirstComputer(std::string& name) override;
    bool NextComputer(std::string& name) override;
    int TreeItemCount() override { return static_cast<int>(computers_.size()) + 1; }
    void ClearRows() override { rows_.clear(); }
    void AppendRow(const engine::EventRow& row) override { rows_.push_back(row); }
    void SetProgressPosition(int position) override;
    void SetProgressText(const std::string& text) override;
    void EndProgress() override;

    const std::vector<engine::EventRow>& Rows() const { return rows_; }

private:
    bool Take(std::string& name);
    void Draw();

    std::vector<std::string> computers_;
    std::size_t cursor_ = 0;
    std::vector<engine::EventRow> rows_;
    bool progress_;
    int position_ = 0;
    std::string text_;
    unsigned textsSinceDraw_ = 0;
};

}  // namespace quorvin::cli
