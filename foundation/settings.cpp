#include "foundation/settings.h"

#include <cmath>

std::string SharedText::get() const {
    std::lock_guard lock{mutex_};
    return text_;
}

void SharedText::set(std::string text) {
    std::lock_guard lock{mutex_};
    text_ = std::move(text);
}

StringParameter::StringParameter(std::string_view key, std::string_view defaultText)
    : Parameter{key}, defaultValue{defaultText}, value_{std::string{defaultText}} {}

void StringParameter::setAndSave(std::string text) { save(std::move(text)); }

// The settings, in the order of construction (destroyed in reverse order at exit).
StringParameter PROGRAM_INSTALL_PATH{"PROGRAM_INSTALL_PATH", ""};
IntParameter MAIN_WINDOW_X{"MAIN_WINDOW_X", 400, -30000, 30000};
IntParameter MAIN_WINDOW_Y{"MAIN_WINDOW_Y", 20, -30000, 30000};
StringParameter REZEVAVEDI24_VERSION{"REZEVAVEDI24_VERSION", ""};
BoolParameter MSFS_2020{"MSFS_2020", true, 32790, 119};
StringParameter MSFS_2024_INSTALL_PATH{"MSFS_2024_INSTALL_PATH", ""};
StringParameter MSFS_INSTALL_PATH{"MSFS_INSTALL_PATH", ""};
GuiIntParameter MAX_FIT{"MAX_FIT", 47, 0, 47, 32853, 371};
GuiFloatParameter MAX_FIT_FL{"MAX_FIT_FL", 24.0f, 0.5f, 24.0f, 32855, 371};
GuiIntParameter parking_percentage{"parking_percentage", 30, 0, 100, 32848, 371};
BoolParameter PARK_SOFT{"PARK_SOFT", true, 32851, 371};
BoolParameter WEEK{"WEEK", false, 32854, 371};
BoolParameter PARK_FAKE{"PARK_FAKE", false, 32852, 371};
BoolParameter RT_PARKTRAFFIC_ONLY{"RT_PARKTRAFFIC_ONLY", false, 32857, 371};
BoolParameter INITIAL_LOAD_ONLY{"INITIAL_LOAD_ONLY", false, 32850, 371};
GuiIntParameter AIRPORT_HEIGHT{"AIRPORT_HEIGHT", 18000, 2000, 45000, 32842, 343};
GuiIntParameter AIRPORT_RANGE{"AIRPORT_RANGE", 20, 8, 30, 32841, 343};
GuiStringParameter DESTINATION{"DESTINATION", "", 32840, 343};
BoolParameter STRAIGHT_PBS_ONLY{"STRAIGHT_PBS_ONLY", false, 32856, 315};
GuiIntParameter MAX_LIVE{"MAX_LIVE", -1, -1, 300, 32821, 315};
GuiIntParameter CUSTOM_MAX_PARK{"CUSTOM_MAX_PARK", -1, -1, 500, 32865, 315};
BoolParameter COLLISION_LIVE_PARKED_GND{"COLLISION_LIVE_PARKED_GND", false, 32835, 287};
BoolParameter COLLISION_USER_AIR{"COLLISION_USER_AIR", true, 32833, 287};
BoolParameter COLLISION_USER_GND{"COLLISION_USER_GND", true, 32834, 287};
GuiStringParameter CALLSIGN_2_OBJECTID{"CALLSIGN_2_OBJECTID", "", 32774, 259};
GuiStringParameter BLOCK_CALLSIGN{"BLOCK_CALLSIGN", "", 32828, 259};
GuiIntParameter AUTO_RANGE_ABOVE_HEIGHT{"AUTO_RANGE_ABOVE_HEIGHT", 49000, 18000, 49000, 32820, 231};
BoolParameter AUTO_RANGE{"AUTO_RANGE", true, 32819, 231};
GuiIntParameter LATERAL_RANGE{"LATERAL_RANGE", 40, 2, 100, 32818, 231};
BoolParameter HIGH_PERF_AIRCRAFT{"HIGH_PERF_AIRCRAFT", true, 32811, 203};
BoolParameter HELICOPTERS{"HELICOPTERS", true, 32810, 203};
BoolParameter LIGHT_AIRCRAFT{"LIGHT_AIRCRAFT", true, 32809, 203};
GuiIntParameter MATCHING_DEPTH{"MATCHING_DEPTH", 4, 1, 4, 32808, 203};
BoolParameter SCAN_AIRPORTS{"SCAN_AIRPORTS", true, 32802, 175};
BoolParameter SUPPRESS_STUB{"SUPPRESS_STUB", true, 32801, 147};
BoolParameter LIG_PRIORITIZE{"LIG_PRIORITIZE", false, 32799, 147};
BoolParameter LIG_AUTOMATIC{"LIG_AUTOMATIC", true, 32798, 147};
BoolParameter SCAN_LIVERIES{"SCAN_LIVERIES", true, 32797, 147};
GuiStringParameter ALL_INSTALL_PATH{"ALL_INSTALL_PATH", "", 32788, 119};
GuiIntParameter TIME_SHIFT_MINS{"TIME_SHIFT_MINS", 0, 0, 59, 32861, 287};
BoolParameter CALLSIGN_OBJECTIDS{"CALLSIGN_OBJECTIDS", false, 32822, 203};
BoolParameter GUID_CHANGES{"GUID_CHANGES", true, 32773, 203};
BoolParameter NAV_LIGHTS_WHILE_PARKED{"NAV_LIGHTS_WHILE_PARKED", true, 32778, 175};
BoolParameter LEARN_SOFT{"LEARN_SOFT", true, 32777, 175};
BoolParameter ALWAYS_ON_TOP{"ALWAYS_ON_TOP", false, 32771, 147};
BoolParameter LOG{"LOG", true, 32779, 147};
GuiIntParameter TIME_SHIFT_HOURS{"TIME_SHIFT_HOURS", 0, 0, 23, 32860, 231};
BoolParameter KEEP_SIM_TIME_PAR{"KEEP_SIM_TIME_PAR", false, 32863, 287};
GuiIntParameter TIME_SHIFT_DAYS{"TIME_SHIFT_DAYS", 0, 0, 28, 32859, 259};
StringParameter PROGRAM_VERSION{"PROGRAM_VERSION", ""};
IntParameter HOLDING_THRESHOLD_METERS{"HOLDING_THRESHOLD_METERS", 250, 10, 4000};
IntParameter MAX_HOLDING_MINUTES{"MAX_HOLDING_MINUTES", 20, 1, 60};
IntParameter CUSTOM_PARKING_PERCENTAGE{"CUSTOM_PARKING_PERCENTAGE", -1, -1, 100};
IntParameter LAST_EPOCH_TIME{"LAST_EPOCH_TIME", 0, 0, 2147483647};
StringParameter lfolder0{"lfolder0", ""};
StringParameter lfolder1{"lfolder1", ""};
StringParameter lfolder2{"lfolder2", ""};
StringParameter lfolder3{"lfolder3", ""};
StringParameter lfolder4{"lfolder4", ""};
StringParameter lfolder5{"lfolder5", ""};
StringParameter lfolder6{"lfolder6", ""};
StringParameter lfolder7{"lfolder7", ""};
StringParameter lfolder8{"lfolder8", ""};
StringParameter lfolder9{"lfolder9", ""};
GuiIntParameter AI_PACKAGE_ORDER{"AI_PACKAGE_ORDER", 1, 1, 6, 32800, 147};
BoolParameter SIM_TIME{"SIM_TIME", false, 32862, 231};

StringParameter* const lfolders[10] = {&lfolder0, &lfolder1, &lfolder2, &lfolder3, &lfolder4,
                                       &lfolder5, &lfolder6, &lfolder7, &lfolder8, &lfolder9};

std::int32_t gf_maxFitFromHours(float hours) {
    return static_cast<std::int32_t>(std::lround(2.0 * static_cast<double>(hours))) - 1;
}

float gf_maxFitHours(std::int32_t maxFit) { return static_cast<float>(maxFit) * 0.5f + 0.5f; }

SettingsRegistry gf_buildSettingsRegistry() {
    SettingsRegistry r;
    r.plainFlags = {&COLLISION_LIVE_PARKED_GND};
    r.checkBoxFlags = {&SIM_TIME,
                       &KEEP_SIM_TIME_PAR,
                       &RT_PARKTRAFFIC_ONLY,
                       &MSFS_2020,
                       &CALLSIGN_OBJECTIDS,
                       &COLLISION_USER_AIR,
                       &COLLISION_USER_GND,
                       &COLLISION_LIVE_PARKED_GND,
                       &SUPPRESS_STUB,
                       &LOG,
                       &ALWAYS_ON_TOP,
                       &SCAN_LIVERIES,
                       &LIG_AUTOMATIC,
                       &LIG_PRIORITIZE,
                       &SCAN_AIRPORTS,
                       &LIGHT_AIRCRAFT,
                       &HELICOPTERS,
                       &HIGH_PERF_AIRCRAFT,
                       &NAV_LIGHTS_WHILE_PARKED,
                       &AUTO_RANGE,
                       &LEARN_SOFT,
                       &STRAIGHT_PBS_ONLY,
                       &PARK_SOFT,
                       &PARK_FAKE,
                       &WEEK,
                       &INITIAL_LOAD_ONLY,
                       &GUID_CHANGES};
    r.plainIntegers = {&CUSTOM_PARKING_PERCENTAGE, &CUSTOM_MAX_PARK,          &MAIN_WINDOW_X,      &MAIN_WINDOW_Y,
                       &LAST_EPOCH_TIME,           &HOLDING_THRESHOLD_METERS, &MAX_HOLDING_MINUTES};
    r.fieldIntegers = {&MATCHING_DEPTH,   &LATERAL_RANGE,   &MAX_FIT,          &AUTO_RANGE_ABOVE_HEIGHT,
                       &MAX_LIVE,         &AIRPORT_RANGE,   &AIRPORT_HEIGHT,   &CUSTOM_MAX_PARK,
                       &AI_PACKAGE_ORDER, &TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS};
    r.texts = {&PROGRAM_VERSION,
               &MSFS_INSTALL_PATH,
               &lfolder0,
               &lfolder1,
               &lfolder2,
               &lfolder3,
               &lfolder4,
               &lfolder5,
               &lfolder6,
               &lfolder7,
               &lfolder8,
               &lfolder9,
               &PROGRAM_INSTALL_PATH,
               &REZEVAVEDI24_VERSION,
               &MSFS_2024_INSTALL_PATH,
               &DESTINATION};
    r.fieldTexts = {&BLOCK_CALLSIGN};
    return r;
}

std::vector<Parameter*> gf_allSettings() {
    return {&PROGRAM_INSTALL_PATH,
            &MAIN_WINDOW_X,
            &MAIN_WINDOW_Y,
            &REZEVAVEDI24_VERSION,
            &MSFS_2020,
            &MSFS_2024_INSTALL_PATH,
            &MSFS_INSTALL_PATH,
            &MAX_FIT,
            &MAX_FIT_FL,
            &parking_percentage,
            &PARK_SOFT,
            &WEEK,
            &PARK_FAKE,
            &RT_PARKTRAFFIC_ONLY,
            &INITIAL_LOAD_ONLY,
            &AIRPORT_HEIGHT,
            &AIRPORT_RANGE,
            &DESTINATION,
            &STRAIGHT_PBS_ONLY,
            &MAX_LIVE,
            &CUSTOM_MAX_PARK,
            &COLLISION_LIVE_PARKED_GND,
            &COLLISION_USER_AIR,
            &COLLISION_USER_GND,
            &CALLSIGN_2_OBJECTID,
            &BLOCK_CALLSIGN,
            &AUTO_RANGE_ABOVE_HEIGHT,
            &AUTO_RANGE,
            &LATERAL_RANGE,
            &HIGH_PERF_AIRCRAFT,
            &HELICOPTERS,
            &LIGHT_AIRCRAFT,
            &MATCHING_DEPTH,
            &SCAN_AIRPORTS,
            &SUPPRESS_STUB,
            &LIG_PRIORITIZE,
            &LIG_AUTOMATIC,
            &SCAN_LIVERIES,
            &ALL_INSTALL_PATH,
            &TIME_SHIFT_MINS,
            &CALLSIGN_OBJECTIDS,
            &GUID_CHANGES,
            &NAV_LIGHTS_WHILE_PARKED,
            &LEARN_SOFT,
            &ALWAYS_ON_TOP,
            &LOG,
            &TIME_SHIFT_HOURS,
            &KEEP_SIM_TIME_PAR,
            &TIME_SHIFT_DAYS,
            &PROGRAM_VERSION,
            &HOLDING_THRESHOLD_METERS,
            &MAX_HOLDING_MINUTES,
            &CUSTOM_PARKING_PERCENTAGE,
            &LAST_EPOCH_TIME,
            &lfolder0,
            &lfolder1,
            &lfolder2,
            &lfolder3,
            &lfolder4,
            &lfolder5,
            &lfolder6,
            &lfolder7,
            &lfolder8,
            &lfolder9,
            &AI_PACKAGE_ORDER,
            &SIM_TIME};
}

void gf_resetSettings() {
    for (Parameter* p : gf_allSettings()) {
        if (auto* s = dynamic_cast<StringParameter*>(p)) {
            s->set(s->defaultValue);
        } else if (auto* i = dynamic_cast<IntParameter*>(p)) {
            i->value = i->defaultValue;
        } else if (auto* b = dynamic_cast<BoolParameter*>(p)) {
            b->value = b->defaultValue;
        } else if (auto* f = dynamic_cast<GuiFloatParameter*>(p)) {
            f->value = f->defaultValue;
        }
    }
}

namespace {
std::atomic<void (*)(const ParameterControl&, bool)> hookSetCheck{nullptr};
std::atomic<void (*)(const ParameterControl&, std::int32_t)> hookShowInt{nullptr};
std::atomic<void (*)(const ParameterControl&, const std::string&)> hookShowText{nullptr};
}  // namespace

void gf_setSettingsControlHooks(const SettingsControlHooks& hooks) {
    hookSetCheck = hooks.setCheck;
    hookShowInt = hooks.showInt;
    hookShowText = hooks.showText;
}

SettingsControlHooks gf_settingsControlHooks() {
    return SettingsControlHooks{hookSetCheck.load(), hookShowInt.load(), hookShowText.load()};
}
