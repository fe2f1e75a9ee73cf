// Headless backend: no screen, every paint operation and control change is recorded.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/ui/ui.h"
#include "platform/ui/window_model.h"

namespace ui {

int headlessTextWidth(std::string_view utf8) {
    // Code points: every byte that does not continue a sequence.
    const auto characters =
        std::count_if(utf8.begin(), utf8.end(), [](char b) { return (static_cast<unsigned char>(b) & 0xC0) != 0x80; });
    return static_cast<int>(characters) * kHeadlessCharWidth;
}

namespace {

class RecordingPainter final : public Painter {
public:
    explicit RecordingPainter(Rect clip) : clip_(clip) {}
    void fillRect(const Rect& r, Color c) override { ops_.push_back({PaintOp::Kind::fill, r, {}, c}); }
    void line(int x1, int y1, int x2, int y2, Color c) override {
        ops_.push_back({PaintOp::Kind::line, Rect{x1, y1, x2, y2}, {}, c});
    }
    void text(int x, int y, std::string_view utf8, Color c) override {
        ops_.push_back(
            {PaintOp::Kind::text, Rect{x, y, x + width(utf8), y + kHeadlessLineHeight}, std::string(utf8), c});
    }
    void clippedText(int x, int y, std::string_view utf8, Color c, int right) override {
        if (right <= x) return;
        ops_.push_back({PaintOp::Kind::text, Rect{x, y, std::min(x + width(utf8), right), y + kHeadlessLineHeight},
                        std::string(utf8), c});
    }
    int textWidth(std::string_view utf8) const override { return width(utf8); }
    Rect clip() const override { return clip_; }
    std::vector<PaintOp> take() { return std::move(ops_); }

private:
    static int width(std::string_view utf8) { return headlessTextWidth(utf8); }

    Rect clip_;
    std::vector<PaintOp> ops_;
};

class Headless final : public HeadlessWindow {
public:
    explicit Headless(WindowHandler& handler) : handler_(handler) {}

    bool create(const std::string& title, int x, int y, int clientWidth, int clientHeight) override {
        if (created_) return false;
        {
            std::lock_guard lock(frameMutex_);
            title_ = title;
            frame_ = Rect{x, y, x + clientWidth, y + clientHeight};
            client_ = Rect{0, 0, clientWidth, clientHeight};
        }
        created_ = true;
        handler_.onCreate();
        return true;
    }
    bool show() override {
        if (!created_) return false;
        shown_ = true;
        return true;
    }
    bool addControl(ControlKind kind, int id, const Rect& r, const std::string& caption, bool enabled) override {
        ControlState c;
        c.kind = kind;
        c.id = id;
        c.rect = r;
        c.caption = caption;
        c.enabled = kind == ControlKind::checkBox ? true : enabled;
        if (kind != ControlKind::pushButton) c.background = handler_.controlBackground();
        return model_.add(c);
    }
    int run() override {
        for (;;) {
            if (detail::takeCloseSignal()) handler_.onClose();
            pump();
            if (model_.quitRequested() && model_.pending().empty()) return model_.quitCode();
            if (!model_.takeInvalidated().empty()) paint();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    Rect frame() const override {
        std::lock_guard lock(frameMutex_);
        return frame_;
    }
    void setTopMost(bool on) override { topMost_ = on; }
    std::string backendName() const override { return "headless"; }

    void post(unsigned message, std::intptr_t param) override { model_.post(message, param); }
    void quit(int code) override { model_.requestQuit(code); }
    void invalidate() override {
        std::lock_guard lock(frameMutex_);
        model_.invalidate(client_);
    }
    void invalidate(const Rect& r) override { model_.invalidate(r); }
    bool hasControl(int id) const override { return model_.has(id); }
    void setChecked(int id, bool on) override { model_.setChecked(id, on); }
    bool checked(int id) const override { return model_.checked(id); }
    void setEnabled(int id, bool on) override { model_.setEnabled(id, on); }
    bool enabled(int id) const override { return model_.enabled(id); }
    void setText(int id, const std::string& utf8) override { model_.setText(id, utf8); }
    std::string text(int id) const override { return model_.text(id); }

    bool click(int id) override {
        ControlState c = model_.control(id);
        if (c.id != id || c.id == 0 || !c.enabled || c.kind == ControlKind::editField) return false;
        handler_.onCommand(id);
        return true;
    }
    bool type(int id, const std::string& utf8) override {
        ControlState c = model_.control(id);
        if (c.id != id || c.kind != ControlKind::editField || !c.enabled) return false;
        model_.setText(id, utf8);
        return true;
    }
    bool pressEnter(int id) override {
        ControlState c = model_.control(id);
        if (c.id != id || c.kind != ControlKind::editField || !c.enabled) return false;
        handler_.onEditEnter(id);
        return true;
    }
    void close() override { handler_.onClose(); }
    int pump() override {
        int n = 0;
        std::pair<unsigned, std::intptr_t> m;
        while (model_.takeMessage(m)) {
            handler_.onMessage(m.first, m.second);
            ++n;
        }
        return n;
    }
    std::vector<PaintOp> paint() override {
        Rect client;
        {
            std::lock_guard lock(frameMutex_);
            client = client_;
        }
        return paint(client);
    }
    std::vector<PaintOp> paint(const Rect& clip) override {
        model_.takeInvalidated();
        RecordingPainter p(clip);
        handler_.onPaint(p);
        return p.take();
    }

    std::vector<ControlState> controls() const override { return model_.controls(); }
    ControlState control(int id) const override { return model_.control(id); }
    std::vector<ControlChange> takeControlChanges() override { return model_.takeChanges(); }
    Rect takeInvalidated() override { return model_.takeInvalidated(); }
    int invalidationCount() const override { return model_.invalidationCount(); }
    bool created() const override { return created_; }
    bool shown() const override { return shown_; }
    bool topMost() const override { return topMost_; }
    bool quitRequested() const override { return model_.quitRequested(); }
    int quitCode() const override { return model_.quitCode(); }
    std::string title() const override {
        std::lock_guard lock(frameMutex_);
        return title_;
    }
    void moveTo(int x, int y) override {
        std::lock_guard lock(frameMutex_);
        frame_ = Rect{x, y, x + frame_.width(), y + frame_.height()};
    }
    std::vector<std::pair<unsigned, std::intptr_t>> pendingMessages() const override { return model_.pending(); }

private:
    WindowHandler& handler_;
    detail::WindowModel model_;
    mutable std::mutex frameMutex_;
    std::string title_;
    Rect frame_;
    Rect client_;
    std::atomic<bool> created_{false};
    std::atomic<bool> shown_{false};
    std::atomic<bool> topMost_{false};
};

}  // namespace

std::unique_ptr<HeadlessWindow> createHeadlessWindow(WindowHandler& handler) {
    return std::make_unique<Headless>(handler);
}

}  // namespace ui
