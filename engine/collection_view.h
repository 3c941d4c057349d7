#pragma once
// What the engine reaches outside itself during a run: the computer list,
// the event list and the progress dialog. The windows implement it with
// synchronous messages to their controls; the console collector and the
// tests with plain data.

#include <array>
#include <string>

namespace quorvin::engine {

// One collected event: the row of the event list. Column 0 carries no text,
// only the image (0 information, 1 warning, 2 error, 3 audit success, 4 audit failure).
struct EventRow {
    int image = 0;
    std::array<std::string, 8> columns;
};

class CollectionView {
public:
    virtual ~CollectionView() = default;

    // The computer list, walked in list order: the first entry, then the
    // entry after the current one; false when there is none.
    virtual bool FirstComputer(std::string& name) = 0;
    virtual bool NextComputer(std::string& name) = 0;
    // Items of the computer tree, its root included.
    virtual int TreeItemCount() = 0;

    virtual void ClearRows() = 0;
    virtual void AppendRow(const EventRow& row) = 0;
    // Called when the read of a log has ended, however it ended: a view that
    // holds rows back shows them now.
    virtual void FlushRows() {}

    // Progress bar position (range 0 to 1000), redrawn at once.
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetProgressText(const std::string& text) = 0;
    // Ends the progress dialog (result 1); the run's last act.
    virtual void EndProgress() = 0;
};

// The debug trace: checkpoint lines of the message-text resolution, each
// ending in "\n". Null when the trace is off.
class Trace {
public:
    virtual ~Trace() = default;
    virtual void Write(const std::string& line) = 0;
};

}  // namespace quorvin::engine
