#pragma once
// The user settings: one global object per key of parameters.xml, carrying its key, default, range and
// current value, and, for settings shown in the main window, the id and row of the control bound to it.
//
// The objects are built by static initialisation, so every setting holds its default from the first
// instruction on. gf_readParameters (parameters_file.h) fills them at run start; whenever one value changes,
// that one object is stored back on its own (save / setAndSave).
//
// Threads: numbers and flags are atomics and are read directly through `value`; texts are read as copies
// taken under the object's own lock (`value()`).
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_node;
}

// A text that one thread writes while others read it: set whole and read as a copy, under its own lock.
class SharedText {
public:
    explicit SharedText(std::string initial = {}) : text_{std::move(initial)} {}
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    std::string get() const;
    void set(std::string text);

private:
    mutable std::mutex mutex_;
    std::string text_;
};

// Base of every setting: the key exactly as in parameters.xml (case-sensitive).
class Parameter {
public:
    explicit Parameter(std::string_view key) : name{key} {}
    virtual ~Parameter() = default;
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    const std::string name;
};

// The window-control part of a shown setting. The window layer addresses controls by `controlId` (also the
// command id the control sends); `rowY` is the y of the control's row in the main window's client area (the
// x is the window code's choice). `hwnd` and `previousWndProc` are opaque handles that the window code may
// keep here once it has created the control; they stay null until then.
class ParameterControl {
public:
    ParameterControl(std::uint16_t id, std::uint32_t row) : controlId{id}, rowY{row} {}
    virtual ~ParameterControl() = default;
    ParameterControl(const ParameterControl&) = delete;
    ParameterControl& operator=(const ParameterControl&) = delete;

    const std::uint16_t controlId;
    const std::uint32_t rowY;
    std::atomic<void*> hwnd{nullptr};
    std::atomic<void*> previousWndProc{nullptr};
};

// A text setting (S).
class StringParameter : public Parameter {
public:
    StringParameter(std::string_view key, std::string_view defaultText);

    std::string value() const { return value_.get(); }  // a copy, taken under the lock
    void set(std::string text) { value_.set(std::move(text)); }
    bool isDefault() const { return value() == defaultValue; }

    // Sets the value and stores this one setting in parameters.xml.
    void setAndSave(std::string text);
    // Stores the current value (or first sets the given one) in parameters.xml; false when the file could
    // not be saved (logged as "saving xml did not work?", or once per run for a file the user made read-only;
    // the value in memory stays changed).
    bool save();
    bool save(std::string text);
    // "{}={}" with gf_logLine.
    void log() const;

    const std::string defaultValue;

private:
    SharedText value_;
};

// An integer setting (I). The value is not checked against the range when set by the program; reading the
// file clamps it.
class IntParameter : public Parameter {
public:
    IntParameter(std::string_view key, std::int32_t def, std::int32_t minimum, std::int32_t maximum)
        : Parameter{key}, defaultValue{def}, min{minimum}, max{maximum}, value{def} {}

    std::int32_t clamp(std::int32_t number) const { return number < min ? min : (number > max ? max : number); }
    bool isDefault() const { return value.load() == defaultValue; }

    // Reads the setting from a loaded parameters document: a missing node gives the default; a found one its
    // "value" text as a 32-bit integer (non-numeric or missing text: 0), clamped to [min, max]. With `log`
    // on writes "{}={}". True when the node exists.
    bool read(const pugi::xml_node& document, bool log);
    // Stores the current value (or first sets the given one) in parameters.xml.
    bool save();
    bool save(std::int32_t number);
    void log() const;

    const std::int32_t defaultValue;
    const std::int32_t min;
    const std::int32_t max;
    std::atomic<std::int32_t> value;
};

// A flag shown as a check box (B).
class BoolParameter : public Parameter, public ParameterControl {
public:
    BoolParameter(std::string_view key, bool def, std::uint16_t id, std::uint32_t row)
        : Parameter{key}, ParameterControl{id, row}, defaultValue{def}, value{def} {}

    bool isDefault() const { return value.load() == defaultValue; }
    bool save();
    bool save(bool flag);
    void log() const;  // "{}={}" with "true" or "false"

    const bool defaultValue;
    std::atomic<bool> value;
};

// An integer shown in an edit field (GI).
class GuiIntParameter : public IntParameter, public ParameterControl {
public:
    GuiIntParameter(std::string_view key, std::int32_t def, std::int32_t minimum, std::int32_t maximum,
                    std::uint16_t id, std::uint32_t row)
        : IntParameter{key, def, minimum, maximum}, ParameterControl{id, row} {}
};

// A number with decimals shown in an edit field (GF). It has no store of its own (MAX_FIT is stored in its
// place).
class GuiFloatParameter : public Parameter, public ParameterControl {
public:
    GuiFloatParameter(std::string_view key, float def, float minimum, float maximum, std::uint16_t id,
                      std::uint32_t row)
        : Parameter{key}, ParameterControl{id, row}, defaultValue{def}, min{minimum}, max{maximum}, value{def} {}

    const float defaultValue;
    const float min;
    const float max;
    std::atomic<float> value;
};

// A text shown in an edit field (GS).
class GuiStringParameter : public StringParameter, public ParameterControl {
public:
    GuiStringParameter(std::string_view key, std::string_view defaultText, std::uint16_t id, std::uint32_t row)
        : StringParameter{key, defaultText}, ParameterControl{id, row} {}
};

// ---------------------------------------------------------------------------------------------------------
// The settings. Control ids are the command ids of the main window's controls; rows are the y of their row.

// Not shown.
extern StringParameter PROGRAM_INSTALL_PATH;
extern IntParameter MAIN_WINDOW_X;            // 400, -30000..30000
extern IntParameter MAIN_WINDOW_Y;            // 20, -30000..30000
extern StringParameter REZEVAVEDI24_VERSION;  // version of the installed add-on airport package
extern StringParameter MSFS_2024_INSTALL_PATH;
extern StringParameter MSFS_INSTALL_PATH;
extern StringParameter PROGRAM_VERSION;         // version of the last run, "{}.{}.{}"; empty until the first run
extern IntParameter HOLDING_THRESHOLD_METERS;   // 250, 10..4000
extern IntParameter MAX_HOLDING_MINUTES;        // 20, 1..60
extern IntParameter CUSTOM_PARKING_PERCENTAGE;  // -1, -1..100
extern IntParameter LAST_EPOCH_TIME;            // 0, 0..2147483647
// Livery folders used while LIG_AUTOMATIC is off.
extern StringParameter lfolder0, lfolder1, lfolder2, lfolder3, lfolder4, lfolder5, lfolder6, lfolder7, lfolder8,
    lfolder9;
extern StringParameter* const lfolders[10];

// Row 119.
extern BoolParameter MSFS_2020;              // 32790: true = 2020, false = 2024
extern GuiStringParameter ALL_INSTALL_PATH;  // 32788 (never read from the file)
// Row 147.
extern BoolParameter SUPPRESS_STUB;       // 32801
extern BoolParameter LIG_PRIORITIZE;      // 32799
extern BoolParameter LIG_AUTOMATIC;       // 32798
extern BoolParameter SCAN_LIVERIES;       // 32797
extern BoolParameter ALWAYS_ON_TOP;       // 32771
extern BoolParameter LOG;                 // 32779: detail lines in Log.txt
extern GuiIntParameter AI_PACKAGE_ORDER;  // 32800: 1, 1..6
// Row 175.
extern BoolParameter SCAN_AIRPORTS;            // 32802
extern BoolParameter NAV_LIGHTS_WHILE_PARKED;  // 32778
extern BoolParameter LEARN_SOFT;               // 32777
// Row 203.
extern BoolParameter HIGH_PERF_AIRCRAFT;  // 32811
extern BoolParameter HELICOPTERS;         // 32810
extern BoolParameter LIGHT_AIRCRAFT;      // 32809
extern GuiIntParameter MATCHING_DEPTH;    // 32808: 4, 1..4
extern BoolParameter CALLSIGN_OBJECTIDS;  // 32822
extern BoolParameter GUID_CHANGES;        // 32773
// Row 231.
extern GuiIntParameter AUTO_RANGE_ABOVE_HEIGHT;  // 32820: 49000, 18000..49000
extern BoolParameter AUTO_RANGE;                 // 32819
extern GuiIntParameter LATERAL_RANGE;            // 32818: 40, 2..100 (nautical miles)
extern GuiIntParameter TIME_SHIFT_HOURS;         // 32860: 0, 0..23
extern BoolParameter SIM_TIME;                   // 32862
// Row 259.
extern GuiStringParameter CALLSIGN_2_OBJECTID;  // 32774 (never read from the file)
extern GuiStringParameter BLOCK_CALLSIGN;       // 32828
extern GuiIntParameter TIME_SHIFT_DAYS;         // 32859: 0, 0..28
// Row 287.
extern BoolParameter COLLISION_LIVE_PARKED_GND;  // 32835
extern BoolParameter COLLISION_USER_AIR;         // 32833
extern BoolParameter COLLISION_USER_GND;         // 32834
extern GuiIntParameter TIME_SHIFT_MINS;          // 32861: 0, 0..59
extern BoolParameter KEEP_SIM_TIME_PAR;          // 32863
// Row 315.
extern BoolParameter STRAIGHT_PBS_ONLY;  // 32856
extern GuiIntParameter MAX_LIVE;         // 32821: -1 (no limit), -1..300
extern GuiIntParameter CUSTOM_MAX_PARK;  // 32865: -1 (no limit), -1..500
// Row 343.
extern GuiIntParameter AIRPORT_HEIGHT;  // 32842: 18000, 2000..45000 (feet)
extern GuiIntParameter AIRPORT_RANGE;   // 32841: 20, 8..30 (nautical miles)
extern GuiStringParameter DESTINATION;  // 32840
// Row 371.
extern GuiIntParameter MAX_FIT;             // 32853: 47, 0..47 half-hours (no control is created)
extern GuiFloatParameter MAX_FIT_FL;        // 32855: 24.0, 0.5..24.0 hours (never read from the file)
extern GuiIntParameter parking_percentage;  // 32848: 30, 0..100 (kept in the airport files)
extern BoolParameter PARK_SOFT;             // 32851
extern BoolParameter WEEK;                  // 32854
extern BoolParameter PARK_FAKE;             // 32852
extern BoolParameter RT_PARKTRAFFIC_ONLY;   // 32857
extern BoolParameter INITIAL_LOAD_ONLY;     // 32850

// MAX_FIT (half-hours) from MAX_FIT_FL (hours): 2 x hours rounded to the nearest whole number, less one.
std::int32_t gf_maxFitFromHours(float hours);
// MAX_FIT_FL from MAX_FIT: value x 0.5 + 0.5.
float gf_maxFitHours(std::int32_t maxFit);

// ---------------------------------------------------------------------------------------------------------
// The settings registry: the six lists that the run preparation builds and the loader reads, in this order.
// COLLISION_LIVE_PARKED_GND stands in plainFlags and checkBoxFlags, CUSTOM_MAX_PARK in plainIntegers and
// fieldIntegers. parking_percentage, MAX_FIT_FL, CALLSIGN_2_OBJECTID and ALL_INSTALL_PATH are in none.
struct SettingsRegistry {
    std::vector<BoolParameter*> plainFlags;       // L1
    std::vector<BoolParameter*> checkBoxFlags;    // L2
    std::vector<IntParameter*> plainIntegers;     // L3
    std::vector<GuiIntParameter*> fieldIntegers;  // L4
    std::vector<StringParameter*> texts;          // L5
    std::vector<GuiStringParameter*> fieldTexts;  // L6
};
SettingsRegistry gf_buildSettingsRegistry();

// Every settings object of the program (registered or not), each once.
std::vector<Parameter*> gf_allSettings();

// Puts every setting back to its default (for tests and a clean restart of the state).
void gf_resetSettings();

// ---------------------------------------------------------------------------------------------------------
// How the loader shows a value in the control bound to it. The foundation does not know the window; the
// application installs these hooks once its window exists. A hook left null does nothing. Hooks may be
// called from the run thread.
struct SettingsControlHooks {
    void (*setCheck)(const ParameterControl& control, bool checked) = nullptr;
    void (*showInt)(const ParameterControl& control, std::int32_t number) = nullptr;
    void (*showText)(const ParameterControl& control, const std::string& text) = nullptr;
};
void gf_setSettingsControlHooks(const SettingsControlHooks& hooks);
SettingsControlHooks gf_settingsControlHooks();
