// Window layer: the one fixed-size main window of the program, its child controls, painting and
// the message queue. The window code of app/ is written against this header only.
//
// Two backends: a real window through FLTK (chosen when a display is available) and a headless
// one that records every paint operation and control change, for tests and machines without a
// display. VEXA_UI=headless forces the headless backend.
//
// Threads: the thread that calls create() and run() (or pump()) is the GUI thread; every handler
// callback runs there. post(), invalidate(), quit() and the control setters and getters may be
// called from any thread: they change a shared model under a short leaf lock (nothing else is
// locked and nothing is logged under it) and wake the GUI thread, which applies the change.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct Color {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return Color{r, g, b}; }

// Client coordinates; right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool intersects(const Rect& o) const {
        return !empty() && !o.empty() && left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    // Smallest rectangle holding both; an empty side is ignored.
    Rect united(const Rect& o) const;
};

// Drawing surface handed to the paint handler. Text is drawn with a transparent background; (x, y)
// is the top-left corner of the text, as the program's layout expects.
class Painter {
public:
    virtual ~Painter() = default;
    virtual void fillRect(const Rect& r, Color c) = 0;
    // A 1-pixel line from (x1, y1) to (x2, y2); the end point is not drawn.
    virtual void line(int x1, int y1, int x2, int y2, Color c) = 0;
    // utf8 must be valid UTF-8; the caller checks it.
    virtual void text(int x, int y, std::string_view utf8, Color c) = 0;
    // As text(), kept to its field: nothing of it is drawn at or right of x = right (none when right <= x).
    virtual void clippedText(int x, int y, std::string_view utf8, Color c, int right) = 0;
    // Width in pixels of the text as text() draws it: a field's text is laid out with it.
    virtual int textWidth(std::string_view utf8) const = 0;
    // The part of the client area being repainted.
    virtual Rect clip() const = 0;
};

enum class ControlKind {
    checkBox,
    pushButton,
    editField
};

// Application messages start here (the numbers the window code posts are app+1, app+2, ...).
constexpr unsigned kAppMessage = 0x8000;

// What the window tells the program. Every call comes on the GUI thread.
class WindowHandler {
public:
    virtual ~WindowHandler() = default;
    // The window exists; create the child controls here.
    virtual void onCreate() {}
    virtual void onPaint(Painter&) {}
    // The window's close button. The window stays; the program decides when to quit.
    virtual void onClose() {}
    // A check box or push button was clicked. Check boxes do not toggle by themselves.
    virtual void onCommand(int /*controlId*/) {}
    // Enter was pressed in an edit field; its text is already in the model (Window::text).
    virtual void onEditEnter(int /*controlId*/) {}
    // A posted application message.
    virtual void onMessage(unsigned /*message*/, std::intptr_t /*param*/) {}
    // Background of the edit fields and check boxes, asked once per control when it is added (the
    // ground of the panel they sit on); none: the backend's own.
    virtual std::optional<Color> controlBackground() const { return std::nullopt; }
};

class Window {
public:
    virtual ~Window() = default;

    // --- GUI thread ---
    // Creates the window at screen position (x, y) with the given client size and calls
    // WindowHandler::onCreate. Not shown yet. Returns false when the window cannot be made.
    virtual bool create(const std::string& title, int x, int y, int clientWidth, int clientHeight) = 0;
    virtual bool show() = 0;
    // Child controls. Ids are unique; a second control with a used id is refused (false).
    // Check boxes start enabled, buttons and edit fields start as the caller says.
    virtual bool addControl(ControlKind kind, int id, const Rect& r, const std::string& caption, bool enabled) = 0;
    // Runs the message loop until quit(); returns the quit code.
    virtual int run() = 0;
    // Window position on the screen (left, top) and size of the frame.
    virtual Rect frame() const = 0;
    virtual std::string backendName() const = 0;

    // --- any thread, never blocks for long ---
    // Keeps the window above the others (or not).
    virtual void setTopMost(bool on) = 0;
    virtual void post(unsigned message, std::intptr_t param = 0) = 0;
    // Ends run() with the code once the messages posted before are handled.
    virtual void quit(int code) = 0;
    virtual void invalidate() = 0;
    virtual void invalidate(const Rect& r) = 0;
    virtual bool hasControl(int id) const = 0;
    virtual void setChecked(int id, bool on) = 0;
    virtual bool checked(int id) const = 0;
    virtual void setEnabled(int id, bool on) = 0;
    virtual bool enabled(int id) const = 0;
    virtual void setText(int id, const std::string& utf8) = 0;
    virtual std::string text(int id) const = 0;
};

// From now on SIGTERM and SIGINT act as the window's close button: the running message loop calls
// WindowHandler::onClose on the GUI thread. Only the first signal does so; a second one ends the
// process as usual.
void closeOnTerminationSignals();

enum class Backend {
    automatic,
    fltk,
    headless
};

// Picks the backend: VEXA_UI=headless forces headless; automatic takes FLTK when a display can be
// opened, else headless. A requested FLTK backend without display falls back to headless too.
std::unique_ptr<Window> createWindow(WindowHandler& handler, Backend backend = Backend::automatic);

// ---------------------------------------------------------------------------------------------
// Headless backend: what tests drive and inspect.

// The headless backend's font: every character (code point) this wide, every line this high. A little wider
// than the real window's 12-pixel Helvetica on average (6.0 to 6.7), so that a text that keeps to its field
// here keeps to it there too.
constexpr int kHeadlessCharWidth = 7;
constexpr int kHeadlessLineHeight = 15;
// Width of a text in the headless font: what the headless painter's textWidth gives.
int headlessTextWidth(std::string_view utf8);

struct PaintOp {
    enum class Kind {
        fill,
        line,
        text
    };
    Kind kind = Kind::fill;
    // fill: the rectangle; line: (x1, y1) - (x2, y2) in left/top/right/bottom; text: from its position (left,
    // top) over what it covers in the headless font, cut at the field's end for clippedText.
    Rect rect;
    std::string text;  // text only
    Color color;
    int x() const { return rect.left; }
    int y() const { return rect.top; }
};

struct ControlState {
    ControlKind kind = ControlKind::checkBox;
    int id = 0;
    Rect rect;
    std::string caption;
    bool checked = false;
    bool enabled = true;
    std::string text;
    std::optional<Color> background;  // edit fields and check boxes: WindowHandler::controlBackground
};

struct ControlChange {
    enum class What {
        checked,
        enabled,
        text
    };
    int id = 0;
    What what = What::checked;
    bool flag = false;  // checked / enabled
    std::string text;   // text
};

class HeadlessWindow : public Window {
public:
    // --- test driving (the calling thread acts as the GUI thread) ---
    // Clicks a control: a check box or an enabled button calls onCommand; a disabled control
    // ignores the click. Returns whether the click reached the program.
    virtual bool click(int id) = 0;
    // Types into an enabled edit field (replaces its text); false when refused.
    virtual bool type(int id, const std::string& utf8) = 0;
    // Enter in an enabled edit field: onEditEnter. False when refused.
    virtual bool pressEnter(int id) = 0;
    // The close button: onClose.
    virtual void close() = 0;
    // Delivers the posted messages and the quit request that are pending; returns how many
    // messages were delivered.
    virtual int pump() = 0;
    // Paints the whole client area (or the given part) and returns the operations.
    virtual std::vector<PaintOp> paint() = 0;
    virtual std::vector<PaintOp> paint(const Rect& clip) = 0;

    // --- inspection ---
    virtual std::vector<ControlState> controls() const = 0;  // in creation order
    virtual ControlState control(int id) const = 0;          // default state when unknown
    virtual std::vector<ControlChange> takeControlChanges() = 0;
    // Invalidated area since the last paint/takeInvalidated (empty rect: nothing).
    virtual Rect takeInvalidated() = 0;
    virtual int invalidationCount() const = 0;
    virtual bool created() const = 0;
    virtual bool shown() const = 0;
    virtual bool topMost() const = 0;
    virtual bool quitRequested() const = 0;
    virtual int quitCode() const = 0;
    virtual std::string title() const = 0;
    // Moves the window as a user would (for the position saved at quit).
    virtual void moveTo(int x, int y) = 0;
    virtual std::vector<std::pair<unsigned, std::intptr_t>> pendingMessages() const = 0;
};

std::unique_ptr<HeadlessWindow> createHeadlessWindow(WindowHandler& handler);

// True when an FLTK window can be opened (a display is there and VEXA_UI does not say headless).
bool displayAvailable();

}  // namespace ui
