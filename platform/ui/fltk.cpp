// FLTK backend: a real window on the X display.
//
// Control changes and posted messages from other threads go into the shared model and wake the
// GUI thread through Fl::awake (which never blocks); the GUI thread applies them to the widgets
// between events. No thread other than the GUI thread touches an FLTK object.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <dlfcn.h>

#include <atomic>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "platform/ui/ui.h"
#include "platform/ui/window_model.h"

namespace ui {
namespace {

constexpr int kFontSize = 12;

class FltkPainter final : public Painter {
public:
    explicit FltkPainter(Rect clip) : clip_(clip) {}
    void fillRect(const Rect& r, Color c) override {
        if (r.empty()) return;
        fl_rectf(r.left, r.top, r.width(), r.height(), c.r, c.g, c.b);
    }
    void line(int x1, int y1, int x2, int y2, Color c) override {
        fl_color(c.r, c.g, c.b);
        fl_line_style(FL_SOLID, 1);
        // The end point is not part of the line (as the program's layout expects).
        int ex = x2 == x1 ? x2 : (x2 > x1 ? x2 - 1 : x2 + 1);
        int ey = y2 == y1 ? y2 : (y2 > y1 ? y2 - 1 : y2 + 1);
        fl_line(x1, y1, ex, ey);
        fl_line_style(0);
    }
    void text(int x, int y, std::string_view utf8, Color c) override {
        fl_font(FL_HELVETICA, kFontSize);
        fl_color(c.r, c.g, c.b);
        std::string s(utf8);
        fl_draw(s.c_str(), static_cast<int>(s.size()), x, y + fl_height() - fl_descent() + 2);
    }
    void clippedText(int x, int y, std::string_view utf8, Color c, int right) override {
        if (right <= x) return;
        fl_font(FL_HELVETICA, kFontSize);
        // Only the field's columns; the rows around the line generously, for accents and descenders.
        fl_push_clip(x, y - kFontSize, right - x, fl_height() + 2 * kFontSize);
        text(x, y, utf8, c);
        fl_pop_clip();
    }
    int textWidth(std::string_view utf8) const override {
        fl_font(FL_HELVETICA, kFontSize);
        const std::string s(utf8);
        return static_cast<int>(std::ceil(fl_width(s.c_str(), static_cast<int>(s.size()))));
    }
    Rect clip() const override { return clip_; }

private:
    Rect clip_;
};

class FltkWindow;

class Canvas final : public Fl_Widget {
public:
    Canvas(int w, int h, WindowHandler& handler) : Fl_Widget(0, 0, w, h), handler_(handler) {}
    void draw() override {
        FltkPainter p(Rect{0, 0, w(), h()});
        fl_push_clip(0, 0, w(), h());
        handler_.onPaint(p);
        fl_pop_clip();
    }

private:
    WindowHandler& handler_;
};

class CheckBox final : public Fl_Check_Button {
public:
    CheckBox(int x, int y, int w, int h) : Fl_Check_Button(x, y, w, h) {
        // The program sets the check mark itself: a click only reports.
        type(FL_NORMAL_BUTTON);
        down_box(FL_DOWN_BOX);
        box(FL_NO_BOX);
    }
};

class EditField final : public Fl_Input {
public:
    EditField(int x, int y, int w, int h, FltkWindow& owner, int id) : Fl_Input(x, y, w, h), owner_(owner), id_(id) {
        textsize(kFontSize - 1);
        box(FL_DOWN_BOX);
        when(FL_WHEN_NEVER);  // handle() reports changes and Enter itself
    }
    int handle(int event) override;

private:
    FltkWindow& owner_;
    int id_;
};

class MainFlWindow final : public Fl_Double_Window {
public:
    MainFlWindow(int w, int h, const char* title) : Fl_Double_Window(w, h, title) {}
};

class FltkWindow final : public Window {
public:
    explicit FltkWindow(WindowHandler& handler) : handler_(handler) { Fl::lock(); }
    ~FltkWindow() override {
        if (win_ != nullptr) {
            win_->hide();
            delete win_;
            Fl::check();
        }
    }

    bool create(const std::string& title, int x, int y, int clientWidth, int clientHeight) override {
        if (win_ != nullptr) return false;
        title_ = title;
        win_ = new MainFlWindow(clientWidth, clientHeight, title_.c_str());
        win_->position(x, y);
        win_->size_range(clientWidth, clientHeight, clientWidth, clientHeight);
        win_->color(fl_rgb_color(0, 0, 0));
        win_->callback(&FltkWindow::onWindowCallback, this);
        win_->begin();
        canvas_ = new Canvas(clientWidth, clientHeight, handler_);
        win_->end();
        handler_.onCreate();
        return true;
    }

    bool show() override {
        if (win_ == nullptr) return false;
        win_->show();
        Fl::flush();
        applyTopMost();
        return win_->shown() != 0;
    }

    bool addControl(ControlKind kind, int id, const Rect& r, const std::string& caption, bool enabled) override {
        if (win_ == nullptr) return false;
        ControlState c;
        c.kind = kind;
        c.id = id;
        c.rect = r;
        c.caption = caption;
        c.enabled = kind == ControlKind::checkBox ? true : enabled;
        if (kind != ControlKind::pushButton) c.background = handler_.controlBackground();
        if (!model_.add(c)) return false;
        Fl_Widget* w = nullptr;
        switch (kind) {
        case ControlKind::checkBox: w = new CheckBox(r.left, r.top, r.width(), r.height()); break;
        case ControlKind::pushButton: {
            auto* b = new Fl_Button(r.left, r.top, r.width(), r.height());
            b->copy_label(caption.c_str());
            b->labelsize(kFontSize - 1);
            w = b;
            break;
        }
        case ControlKind::editField: w = new EditField(r.left, r.top, r.width(), r.height(), *this, id); break;
        }
        // (FLTK keeps the callback's data and its "argument" in one field: the id lives in idOf_.)
        if (kind != ControlKind::editField) w->callback(&FltkWindow::onControlCallback, this);
        idOf_[w] = id;
        if (c.background) w->color(fl_rgb_color(c.background->r, c.background->g, c.background->b));
        if (!c.enabled) w->deactivate();
        win_->add(w);
        widgets_[id] = w;
        return true;
    }

    int run() override {
        if (win_ == nullptr) return 0;
        for (;;) {
            if (detail::takeCloseSignal()) {
                handler_.onClose();
            }
            drain();
            if (model_.quitRequested() && model_.pending().empty()) break;
            Fl::wait(0.25);
        }
        return model_.quitCode();
    }

    Rect frame() const override {
        if (win_ == nullptr) return Rect{};
        return Rect{win_->x(), win_->y(), win_->x() + win_->w(), win_->y() + win_->h()};
    }

    // Any thread: the GUI thread tells the window manager.
    void setTopMost(bool on) override {
        topMost_ = on;
        topMostPending_ = true;
        Fl::awake();
    }

    std::string backendName() const override { return "fltk"; }

    void post(unsigned message, std::intptr_t param) override {
        model_.post(message, param);
        Fl::awake();
    }
    void quit(int code) override {
        model_.requestQuit(code);
        Fl::awake();
    }
    void invalidate() override {
        model_.invalidate(Rect{0, 0, 1 << 15, 1 << 15});
        Fl::awake();
    }
    void invalidate(const Rect& r) override {
        model_.invalidate(r);
        Fl::awake();
    }
    bool hasControl(int id) const override { return model_.has(id); }
    void setChecked(int id, bool on) override {
        if (model_.setChecked(id, on)) Fl::awake();
    }
    bool checked(int id) const override { return model_.checked(id); }
    void setEnabled(int id, bool on) override {
        if (model_.setEnabled(id, on)) Fl::awake();
    }
    bool enabled(int id) const override { return model_.enabled(id); }
    void setText(int id, const std::string& utf8) override {
        if (model_.setText(id, utf8)) Fl::awake();
    }
    std::string text(int id) const override { return model_.text(id); }

    // Called by the widgets (GUI thread).
    void editChanged(int id, const char* value) {
        model_.setText(id, value != nullptr ? value : "");
        model_.takeChanges();
    }
    void editEnter(int id, const char* value) {
        editChanged(id, value);
        handler_.onEditEnter(id);
        drain();
    }

private:
    static void onWindowCallback(Fl_Widget*, void* self) {
        // Escape also arrives here; only the close button asks the program to close.
        if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
        auto* w = static_cast<FltkWindow*>(self);
        w->handler_.onClose();
        w->drain();
    }
    static void onControlCallback(Fl_Widget* widget, void* self) {
        auto* w = static_cast<FltkWindow*>(self);
        auto it = w->idOf_.find(widget);
        if (it == w->idOf_.end()) return;
        w->handler_.onCommand(it->second);
        w->drain();
    }

    // Applies the model to the widgets and delivers the posted messages (GUI thread).
    void drain() {
        std::pair<unsigned, std::intptr_t> m;
        int guard = 0;
        while (guard++ < 1000 && model_.takeMessage(m)) handler_.onMessage(m.first, m.second);
        for (int id : model_.takeDirtyControls()) {
            auto it = widgets_.find(id);
            if (it == widgets_.end()) continue;
            ControlState c = model_.control(id);
            Fl_Widget* w = it->second;
            if (c.enabled && !w->active()) w->activate();
            if (!c.enabled && w->active()) w->deactivate();
            if (c.kind == ControlKind::checkBox) {
                auto* b = static_cast<Fl_Button*>(w);
                if ((b->value() != 0) != c.checked) b->value(c.checked ? 1 : 0);
            } else if (c.kind == ControlKind::editField) {
                auto* in = static_cast<Fl_Input*>(w);
                if (std::strcmp(in->value(), c.text.c_str()) != 0) in->value(c.text.c_str());
            }
        }
        model_.takeChanges();
        if (topMostPending_.exchange(false)) applyTopMost();
        if (!model_.takeInvalidated().empty() && win_ != nullptr) win_->redraw();
    }

    void applyTopMost() {
        if (win_ == nullptr || !win_->shown()) return;
        // _NET_WM_STATE_ABOVE through the window manager; libX11 is loaded with FLTK.
        using InternAtomFn = Atom (*)(Display*, const char*, Bool);
        using SendEventFn = Status (*)(Display*, ::Window, Bool, long, XEvent*);
        using FlushFn = int (*)(Display*);
        auto internAtom = reinterpret_cast<InternAtomFn>(dlsym(RTLD_DEFAULT, "XInternAtom"));
        auto sendEvent = reinterpret_cast<SendEventFn>(dlsym(RTLD_DEFAULT, "XSendEvent"));
        auto flush = reinterpret_cast<FlushFn>(dlsym(RTLD_DEFAULT, "XFlush"));
        if (internAtom == nullptr || sendEvent == nullptr || flush == nullptr || fl_display == nullptr) return;
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = fl_xid(win_);
        ev.xclient.message_type = internAtom(fl_display, "_NET_WM_STATE", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = topMost_.load() ? 1 : 0;
        ev.xclient.data.l[1] = static_cast<long>(internAtom(fl_display, "_NET_WM_STATE_ABOVE", False));
        ev.xclient.data.l[2] = 0;
        ev.xclient.data.l[3] = 1;
        sendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
                  SubstructureRedirectMask | SubstructureNotifyMask, &ev);
        flush(fl_display);
    }

    WindowHandler& handler_;
    detail::WindowModel model_;
    MainFlWindow* win_ = nullptr;
    Canvas* canvas_ = nullptr;
    std::map<int, Fl_Widget*> widgets_;
    std::map<const Fl_Widget*, int> idOf_;
    std::string title_;
    std::atomic<bool> topMost_{false};
    std::atomic<bool> topMostPending_{false};
};

int EditField::handle(int event) {
    if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
        owner_.editEnter(id_, value());
        return 1;
    }
    int r = Fl_Input::handle(event);
    if (changed()) {
        clear_changed();
        owner_.editChanged(id_, value());
    }
    return r;
}

}  // namespace

bool fltkDisplayAvailable() {
    if (fl_display != nullptr) return true;
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return false;
    // FLTK ends the process when it cannot open the display, so the display is opened here first
    // and handed over: the connection stays open (closing the only client would reset a bare X
    // server, and FLTK's own connection could then fail).
    using OpenFn = Display* (*)(const char*);
    auto open = reinterpret_cast<OpenFn>(dlsym(RTLD_DEFAULT, "XOpenDisplay"));
    if (open == nullptr) return false;
    Display* d = open(nullptr);
    if (d == nullptr) return false;
    fl_open_display(d);
    return true;
}

std::unique_ptr<Window> createFltkWindow(WindowHandler& handler) { return std::make_unique<FltkWindow>(handler); }

}  // namespace ui
