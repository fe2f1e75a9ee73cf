#include "platform/ui/window_model.h"

#include <algorithm>
#include <atomic>
#include <csignal>

namespace ui {

Rect Rect::united(const Rect& o) const {
    if (o.empty()) return *this;
    if (empty()) return o;
    return Rect{std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
}

namespace {

// Set by the signal handler; a lock-free atomic is safe to write there.
std::atomic<bool> closeSignal{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onTerminationSignal(int signalNumber) {
    closeSignal.store(true);
    // A second signal of this kind ends the process as it would without us.
    std::signal(signalNumber, SIG_DFL);
}

}  // namespace

void closeOnTerminationSignals() {
    std::signal(SIGTERM, onTerminationSignal);
    std::signal(SIGINT, onTerminationSignal);
}

namespace detail {

bool takeCloseSignal() { return closeSignal.exchange(false); }

ControlState* WindowModel::find(int id) {
    for (auto& c : controls_)
        if (c.id == id) return &c;
    return nullptr;
}

const ControlState* WindowModel::find(int id) const {
    for (const auto& c : controls_)
        if (c.id == id) return &c;
    return nullptr;
}

void WindowModel::record(ControlChange c) {
    // Nobody may read the change log (a headless program run): keep only the recent part.
    if (changes_.size() >= 4096) changes_.erase(changes_.begin(), changes_.begin() + 2048);
    changes_.push_back(std::move(c));
}

void WindowModel::markDirty(int id) {
    if (std::find(dirty_.begin(), dirty_.end(), id) == dirty_.end()) dirty_.push_back(id);
}

bool WindowModel::add(const ControlState& c) {
    std::lock_guard lock(mutex_);
    if (find(c.id) != nullptr) return false;
    controls_.push_back(c);
    return true;
}

bool WindowModel::has(int id) const {
    std::lock_guard lock(mutex_);
    return find(id) != nullptr;
}

bool WindowModel::setChecked(int id, bool on) {
    std::lock_guard lock(mutex_);
    ControlState* c = find(id);
    if (c == nullptr || c->checked == on) return false;
    c->checked = on;
    record({id, ControlChange::What::checked, on, {}});
    markDirty(id);
    return true;
}

bool WindowModel::setEnabled(int id, bool on) {
    std::lock_guard lock(mutex_);
    ControlState* c = find(id);
    if (c == nullptr || c->enabled == on) return false;
    c->enabled = on;
    record({id, ControlChange::What::enabled, on, {}});
    markDirty(id);
    return true;
}

bool WindowModel::setText(int id, const std::string& text) {
    std::lock_guard lock(mutex_);
    ControlState* c = find(id);
    if (c == nullptr || c->text == text) return false;
    c->text = text;
    record({id, ControlChange::What::text, false, text});
    markDirty(id);
    return true;
}

bool WindowModel::checked(int id) const {
    std::lock_guard lock(mutex_);
    const ControlState* c = find(id);
    return c != nullptr && c->checked;
}

bool WindowModel::enabled(int id) const {
    std::lock_guard lock(mutex_);
    const ControlState* c = find(id);
    return c != nullptr && c->enabled;
}

std::string WindowModel::text(int id) const {
    std::lock_guard lock(mutex_);
    const ControlState* c = find(id);
    return c != nullptr ? c->text : std::string();
}

ControlState WindowModel::control(int id) const {
    std::lock_guard lock(mutex_);
    const ControlState* c = find(id);
    return c != nullptr ? *c : ControlState{};
}

std::vector<ControlState> WindowModel::controls() const {
    std::lock_guard lock(mutex_);
    return controls_;
}

std::vector<int> WindowModel::takeDirtyControls() {
    std::lock_guard lock(mutex_);
    return std::exchange(dirty_, {});
}

std::vector<ControlChange> WindowModel::takeChanges() {
    std::lock_guard lock(mutex_);
    return std::exchange(changes_, {});
}

void WindowModel::post(unsigned message, std::intptr_t param) {
    std::lock_guard lock(mutex_);
    messages_.emplace_back(message, param);
}

bool WindowModel::takeMessage(std::pair<unsigned, std::intptr_t>& out) {
    std::lock_guard lock(mutex_);
    if (messages_.empty()) return false;
    out = messages_.front();
    messages_.pop_front();
    return true;
}

std::vector<std::pair<unsigned, std::intptr_t>> WindowModel::pending() const {
    std::lock_guard lock(mutex_);
    return {messages_.begin(), messages_.end()};
}

void WindowModel::invalidate(const Rect& r) {
    std::lock_guard lock(mutex_);
    invalid_ = invalid_.united(r);
    ++invalidations_;
}

Rect WindowModel::takeInvalidated() {
    std::lock_guard lock(mutex_);
    return std::exchange(invalid_, Rect{});
}

int WindowModel::invalidationCount() const {
    std::lock_guard lock(mutex_);
    return invalidations_;
}

void WindowModel::requestQuit(int code) {
    std::lock_guard lock(mutex_);
    if (!quit_) {
        quit_ = true;
        quitCode_ = code;
    }
}

bool WindowModel::quitRequested() const {
    std::lock_guard lock(mutex_);
    return quit_;
}

int WindowModel::quitCode() const {
    std::lock_guard lock(mutex_);
    return quitCode_;
}

}  // namespace detail
}  // namespace ui
