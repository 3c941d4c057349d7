#pragma once
// The console collector's side of a run: the computer list it was given,
// the rows handed on in collection order as they come, and the progress
// line on standard error.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/collection_view.h"

namespace quorvin::cli {

class ConsoleView : public engine::CollectionView {
public:
    // `progress`: draw the progress line on standard error (a terminal).
    // `row` takes each row as it comes; `step` is called at every call of
    // the run, before it is answered (the place to write what the run
    // reported meanwhile).
    ConsoleView(std::vector<std::string> computers, bool progress, std::function<void(const engine::EventRow&)> row,
                std::function<void()> step)
        : computers_(std::move(computers)), progress_(progress), row_(std::move(row)), step_(std::move(step)) {}

    bool FirstComputer(std::string& name) override;
    bool NextComputer(std::string& name) override;
    int TreeItemCount() override { return static_cast<int>(computers_.size()) + 1; }
    void ClearRows() override { step_(); }
    void AppendRow(const engine::EventRow& row) override {
        step_();
        row_(row);
    }
    void LogStarted(const std::string& computer, const std::string& log) override {
        step_();
        if (logStarted_) logStarted_(computer, log);
    }
    void LogEnded(const std::string& computer, const std::string& log, const engine::LogEnd& end) override {
        step_();
        if (end.failed) ++failedLogs_;
        if (logEnded_) logEnded_(computer, log, end);
    }
    // The logs and files that could not be read, as the report's failure lines count them.
    int FailedLogs() const { return failedLogs_; }
    // Who wants to know where each log's read begins and ends.
    void OnLogs(std::function<void(const std::string&, const std::string&)> started,
                std::function<void(const std::string&, const std::string&, const engine::LogEnd&)> ended) {
        logStarted_ = std::move(started);
        logEnded_ = std::move(ended);
    }
    void SetProgressPosition(int position) override;
    void SetProgressText(const std::string& text) override;
    // The run's end: a completed run's bar drawn full, a stopped run's left
    // where it stopped, and the line ended.
    void EndProgress() override;

private:
    bool Take(std::string& name);
    void Draw();

    std::vector<std::string> computers_;
    std::size_t cursor_ = 0;
    bool progress_;
    std::function<void(const engine::EventRow&)> row_;
    std::function<void()> step_;
    std::function<void(const std::string&, const std::string&)> logStarted_;
    std::function<void(const std::string&, const std::string&, const engine::LogEnd&)> logEnded_;
    int position_ = 0;
    std::string text_;
    unsigned textsSinceDraw_ = 0;
    int failedLogs_ = 0;
};

}  // namespace quorvin::cli
