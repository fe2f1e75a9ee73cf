// Shared state of a window backend: the controls, the posted messages, the invalidated area and
// the quit request. One short leaf mutex guards it; no callback runs and nothing is logged under it.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/ui.h"

namespace ui::detail {

class WindowModel {
public:
    bool add(const ControlState& c);
    bool has(int id) const;
    // Setters return true when the state changed (the backend then wakes the GUI thread).
    bool setChecked(int id, bool on);
    bool setEnabled(int id, bool on);
    bool setText(int id, const std::string& text);
    bool checked(int id) const;
    bool enabled(int id) const;
    std::string text(int id) const;
    ControlState control(int id) const;
    std::vector<ControlState> controls() const;
    // Control ids changed since the last call (for the GUI thread to apply to widgets).
    std::vector<int> takeDirtyControls();
    std::vector<ControlChange> takeChanges();

    void post(unsigned message, std::intptr_t param);
    bool takeMessage(std::pair<unsigned, std::intptr_t>& out);
    std::vector<std::pair<unsigned, std::intptr_t>> pending() const;

    void invalidate(const Rect& r);
    Rect takeInvalidated();
    int invalidationCount() const;

    void requestQuit(int code);
    bool quitRequested() const;
    int quitCode() const;

private:
    ControlState* find(int id);
    const ControlState* find(int id) const;
    void markDirty(int id);
    void record(ControlChange c);

    mutable std::mutex mutex_;
    std::vector<ControlState> controls_;
    std::vector<int> dirty_;
    std::vector<ControlChange> changes_;
    std::deque<std::pair<unsigned, std::intptr_t>> messages_;
    Rect invalid_;
    int invalidations_ = 0;
    bool quit_ = false;
    int quitCode_ = 0;
};

// A termination signal asked to close the window (see closeOnTerminationSignals); true once per
// signal.
bool takeCloseSignal();

}  // namespace ui::detail
