#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "foundation/settings.h"

namespace {

struct FlagRow {
    BoolParameter* object;
    const char* key;
    bool def;
    int controlId;
    int row;
};

struct IntRow {
    IntParameter* object;
    const char* key;
    int def;
    int min;
    int max;
    int controlId;  // -1: not shown
    int row;
};

struct TextRow {
    StringParameter* object;
    const char* key;
    int controlId;  // -1: not shown
    int row;
};

const std::vector<FlagRow> flagTable = {
    {&MSFS_2020, "MSFS_2020", true, 32790, 119},
    {&PARK_SOFT, "PARK_SOFT", true, 32851, 371},
    {&WEEK, "WEEK", false, 32854, 371},
    {&PARK_FAKE, "PARK_FAKE", false, 32852, 371},
    {&RT_PARKTRAFFIC_ONLY, "RT_PARKTRAFFIC_ONLY", false, 32857, 371},
    {&INITIAL_LOAD_ONLY, "INITIAL_LOAD_ONLY", false, 32850, 371},
    {&STRAIGHT_PBS_ONLY, "STRAIGHT_PBS_ONLY", false, 32856, 315},
    {&COLLISION_LIVE_PARKED_GND, "COLLISION_LIVE_PARKED_GND", false, 32835, 287},
    {&COLLISION_USER_AIR, "COLLISION_USER_AIR", true, 32833, 287},
    {&COLLISION_USER_GND, "COLLISION_USER_GND", true, 32834, 287},
    {&AUTO_RANGE, "AUTO_RANGE", true, 32819, 231},
    {&HIGH_PERF_AIRCRAFT, "HIGH_PERF_AIRCRAFT", true, 32811, 203},
    {&HELICOPTERS, "HELICOPTERS", true, 32810, 203},
    {&LIGHT_AIRCRAFT, "LIGHT_AIRCRAFT", true, 32809, 203},
    {&SCAN_AIRPORTS, "SCAN_AIRPORTS", true, 32802, 175},
    {&SUPPRESS_STUB, "SUPPRESS_STUB", true, 32801, 147},
    {&LIG_PRIORITIZE, "LIG_PRIORITIZE", false, 32799, 147},
    {&LIG_AUTOMATIC, "LIG_AUTOMATIC", true, 32798, 147},
    {&SCAN_LIVERIES, "SCAN_LIVERIES", true, 32797, 147},
    {&CALLSIGN_OBJECTIDS, "CALLSIGN_OBJECTIDS", false, 32822, 203},
    {&GUID_CHANGES, "GUID_CHANGES", true, 32773, 203},
    {&NAV_LIGHTS_WHILE_PARKED, "NAV_LIGHTS_WHILE_PARKED", true, 32778, 175},
    {&LEARN_SOFT, "LEARN_SOFT", true, 32777, 175},
    {&ALWAYS_ON_TOP, "ALWAYS_ON_TOP", false, 32771, 147},
    {&LOG, "LOG", true, 32779, 147},
    {&KEEP_SIM_TIME_PAR, "KEEP_SIM_TIME_PAR", false, 32863, 287},
    {&SIM_TIME, "SIM_TIME", false, 32862, 231},
};

const std::vector<IntRow> intTable = {
    {&MAIN_WINDOW_X, "MAIN_WINDOW_X", 400, -30000, 30000, -1, -1},
    {&MAIN_WINDOW_Y, "MAIN_WINDOW_Y", 20, -30000, 30000, -1, -1},
    {&MAX_FIT, "MAX_FIT", 47, 0, 47, 32853, 371},
    {&parking_percentage, "parking_percentage", 30, 0, 100, 32848, 371},
    {&AIRPORT_HEIGHT, "AIRPORT_HEIGHT", 18000, 2000, 45000, 32842, 343},
    {&AIRPORT_RANGE, "AIRPORT_RANGE", 20, 8, 30, 32841, 343},
    {&MAX_LIVE, "MAX_LIVE", -1, -1, 300, 32821, 315},
    {&CUSTOM_MAX_PARK, "CUSTOM_MAX_PARK", -1, -1, 500, 32865, 315},
    {&AUTO_RANGE_ABOVE_HEIGHT, "AUTO_RANGE_ABOVE_HEIGHT", 49000, 18000, 49000, 32820, 231},
    {&LATERAL_RANGE, "LATERAL_RANGE", 40, 2, 100, 32818, 231},
    {&MATCHING_DEPTH, "MATCHING_DEPTH", 4, 1, 4, 32808, 203},
    {&TIME_SHIFT_MINS, "TIME_SHIFT_MINS", 0, 0, 59, 32861, 287},
    {&TIME_SHIFT_HOURS, "TIME_SHIFT_HOURS", 0, 0, 23, 32860, 231},
    {&TIME_SHIFT_DAYS, "TIME_SHIFT_DAYS", 0, 0, 28, 32859, 259},
    {&HOLDING_THRESHOLD_METERS, "HOLDING_THRESHOLD_METERS", 250, 10, 4000, -1, -1},
    {&MAX_HOLDING_MINUTES, "MAX_HOLDING_MINUTES", 20, 1, 60, -1, -1},
    {&CUSTOM_PARKING_PERCENTAGE, "CUSTOM_PARKING_PERCENTAGE", -1, -1, 100, -1, -1},
    {&LAST_EPOCH_TIME, "LAST_EPOCH_TIME", 0, 0, 2147483647, -1, -1},
    {&AI_PACKAGE_ORDER, "AI_PACKAGE_ORDER", 1, 1, 6, 32800, 147},
};

const std::vector<TextRow> textTable = {
    {&PROGRAM_INSTALL_PATH, "PROGRAM_INSTALL_PATH", -1, -1},
    {&REZEVAVEDI24_VERSION, "REZEVAVEDI24_VERSION", -1, -1},
    {&MSFS_2024_INSTALL_PATH, "MSFS_2024_INSTALL_PATH", -1, -1},
    {&MSFS_INSTALL_PATH, "MSFS_INSTALL_PATH", -1, -1},
    {&DESTINATION, "DESTINATION", 32840, 343},
    {&CALLSIGN_2_OBJECTID, "CALLSIGN_2_OBJECTID", 32774, 259},
    {&BLOCK_CALLSIGN, "BLOCK_CALLSIGN", 32828, 259},
    {&ALL_INSTALL_PATH, "ALL_INSTALL_PATH", 32788, 119},
    {&PROGRAM_VERSION, "PROGRAM_VERSION", -1, -1},
    {&lfolder0, "lfolder0", -1, -1},
    {&lfolder1, "lfolder1", -1, -1},
    {&lfolder2, "lfolder2", -1, -1},
    {&lfolder3, "lfolder3", -1, -1},
    {&lfolder4, "lfolder4", -1, -1},
    {&lfolder5, "lfolder5", -1, -1},
    {&lfolder6, "lfolder6", -1, -1},
    {&lfolder7, "lfolder7", -1, -1},
    {&lfolder8, "lfolder8", -1, -1},
    {&lfolder9, "lfolder9", -1, -1},
};

template <typename T>
std::vector<std::string> namesOf(const std::vector<T*>& list) {
    std::vector<std::string> names;
    for (const T* p : list) names.push_back(p->name);
    return names;
}

}  // namespace

TEST(SettingsTable, FlagsCarryKeyDefaultAndControl) {
    EXPECT_EQ(flagTable.size(), 27u);  // the 27 check boxes
    for (const FlagRow& r : flagTable) {
        SCOPED_TRACE(r.key);
        EXPECT_EQ(r.object->name, r.key);
        EXPECT_EQ(r.object->defaultValue, r.def);
        EXPECT_EQ(r.object->value.load(), r.def);
        EXPECT_EQ(r.object->controlId, r.controlId);
        EXPECT_EQ(r.object->rowY, static_cast<unsigned>(r.row));
        EXPECT_EQ(r.object->hwnd.load(), nullptr);
    }
}

TEST(SettingsTable, IntegersCarryKeyDefaultRangeAndControl) {
    int shown = 0;
    for (const IntRow& r : intTable) {
        SCOPED_TRACE(r.key);
        EXPECT_EQ(r.object->name, r.key);
        EXPECT_EQ(r.object->defaultValue, r.def);
        EXPECT_EQ(r.object->min, r.min);
        EXPECT_EQ(r.object->max, r.max);
        EXPECT_EQ(r.object->value.load(), r.def);
        auto* gui = dynamic_cast<GuiIntParameter*>(r.object);
        if (r.controlId < 0) {
            EXPECT_EQ(gui, nullptr) << "not shown";
        } else {
            ASSERT_NE(gui, nullptr) << "edit field";
            EXPECT_EQ(gui->controlId, r.controlId);
            EXPECT_EQ(gui->rowY, static_cast<unsigned>(r.row));
            ++shown;
        }
    }
    EXPECT_EQ(shown, 13);  // with MAX_FIT_FL the 14 number controls; MAX_FIT's is never created

    EXPECT_EQ(MAX_FIT_FL.name, "MAX_FIT_FL");
    EXPECT_FLOAT_EQ(MAX_FIT_FL.defaultValue, 24.0f);
    EXPECT_FLOAT_EQ(MAX_FIT_FL.min, 0.5f);
    EXPECT_FLOAT_EQ(MAX_FIT_FL.max, 24.0f);
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 24.0f);
    EXPECT_EQ(MAX_FIT_FL.controlId, 32855);
    EXPECT_EQ(MAX_FIT_FL.rowY, 371u);
}

TEST(SettingsTable, TextsAreEmptyByDefault) {
    int shown = 0;
    for (const TextRow& r : textTable) {
        SCOPED_TRACE(r.key);
        EXPECT_EQ(r.object->name, r.key);
        EXPECT_EQ(r.object->defaultValue, "");
        EXPECT_EQ(r.object->value(), "");
        auto* gui = dynamic_cast<GuiStringParameter*>(r.object);
        if (r.controlId < 0) {
            EXPECT_EQ(gui, nullptr);
        } else {
            ASSERT_NE(gui, nullptr);
            EXPECT_EQ(gui->controlId, r.controlId);
            EXPECT_EQ(gui->rowY, static_cast<unsigned>(r.row));
            ++shown;
        }
    }
    EXPECT_EQ(shown, 4);  // the 4 edit-field texts
    for (int i = 0; i < 10; ++i) EXPECT_EQ(lfolders[i]->name, "lfolder" + std::to_string(i));
}

TEST(SettingsTable, EverySettingIsListedOnceAndRowsAreOnTheGrid) {
    const std::vector<Parameter*> all = gf_allSettings();
    EXPECT_EQ(all.size(), flagTable.size() + intTable.size() + textTable.size() + 1);  // + MAX_FIT_FL
    std::set<std::string> keys;
    std::set<int> controlIds;
    for (Parameter* p : all) {
        EXPECT_TRUE(keys.insert(p->name).second) << p->name;
        if (auto* control = dynamic_cast<ParameterControl*>(p)) {
            EXPECT_TRUE(controlIds.insert(control->controlId).second) << p->name;
            EXPECT_EQ((control->rowY - 119) % 28, 0u) << p->name;
            EXPECT_LE(control->rowY, 371u) << p->name;
        }
    }
}

TEST(SettingsRegistry, ListsHoldTheKeysInReadingOrder) {
    const SettingsRegistry r = gf_buildSettingsRegistry();
    EXPECT_EQ(namesOf(r.plainFlags), (std::vector<std::string>{"COLLISION_LIVE_PARKED_GND"}));
    EXPECT_EQ(namesOf(r.checkBoxFlags), (std::vector<std::string>{"SIM_TIME",
                                                                  "KEEP_SIM_TIME_PAR",
                                                                  "RT_PARKTRAFFIC_ONLY",
                                                                  "MSFS_2020",
                                                                  "CALLSIGN_OBJECTIDS",
                                                                  "COLLISION_USER_AIR",
                                                                  "COLLISION_USER_GND",
                                                                  "COLLISION_LIVE_PARKED_GND",
                                                                  "SUPPRESS_STUB",
                                                                  "LOG",
                                                                  "ALWAYS_ON_TOP",
                                                                  "SCAN_LIVERIES",
                                                                  "LIG_AUTOMATIC",
                                                                  "LIG_PRIORITIZE",
                                                                  "SCAN_AIRPORTS",
                                                                  "LIGHT_AIRCRAFT",
                                                                  "HELICOPTERS",
                                                                  "HIGH_PERF_AIRCRAFT",
                                                                  "NAV_LIGHTS_WHILE_PARKED",
                                                                  "AUTO_RANGE",
                                                                  "LEARN_SOFT",
                                                                  "STRAIGHT_PBS_ONLY",
                                                                  "PARK_SOFT",
                                                                  "PARK_FAKE",
                                                                  "WEEK",
                                                                  "INITIAL_LOAD_ONLY",
                                                                  "GUID_CHANGES"}));
    EXPECT_EQ(namesOf(r.plainIntegers), (std::vector<std::string>{"CUSTOM_PARKING_PERCENTAGE", "CUSTOM_MAX_PARK",
                                                                  "MAIN_WINDOW_X", "MAIN_WINDOW_Y", "LAST_EPOCH_TIME",
                                                                  "HOLDING_THRESHOLD_METERS", "MAX_HOLDING_MINUTES"}));
    EXPECT_EQ(namesOf(r.fieldIntegers),
              (std::vector<std::string>{"MATCHING_DEPTH", "LATERAL_RANGE", "MAX_FIT", "AUTO_RANGE_ABOVE_HEIGHT",
                                        "MAX_LIVE", "AIRPORT_RANGE", "AIRPORT_HEIGHT", "CUSTOM_MAX_PARK",
                                        "AI_PACKAGE_ORDER", "TIME_SHIFT_DAYS", "TIME_SHIFT_HOURS", "TIME_SHIFT_MINS"}));
    EXPECT_EQ(namesOf(r.texts),
              (std::vector<std::string>{"PROGRAM_VERSION", "MSFS_INSTALL_PATH", "lfolder0", "lfolder1", "lfolder2",
                                        "lfolder3", "lfolder4", "lfolder5", "lfolder6", "lfolder7", "lfolder8",
                                        "lfolder9", "PROGRAM_INSTALL_PATH", "REZEVAVEDI24_VERSION",
                                        "MSFS_2024_INSTALL_PATH", "DESTINATION"}));
    EXPECT_EQ(namesOf(r.fieldTexts), (std::vector<std::string>{"BLOCK_CALLSIGN"}));

    // The four shown settings that are never read from the file are in no list.
    std::set<std::string> registered;
    for (const auto& names : {namesOf(r.plainFlags), namesOf(r.checkBoxFlags), namesOf(r.plainIntegers),
                              namesOf(r.fieldIntegers), namesOf(r.texts), namesOf(r.fieldTexts)})
        registered.insert(names.begin(), names.end());
    for (const char* key : {"parking_percentage", "MAX_FIT_FL", "CALLSIGN_2_OBJECTID", "ALL_INSTALL_PATH"})
        EXPECT_EQ(registered.count(key), 0u) << key;
    EXPECT_EQ(registered.size(), gf_allSettings().size() - 4);
}

TEST(SettingsValues, MaxFitFollowsHours) {
    EXPECT_EQ(gf_maxFitFromHours(24.0f), 47);
    EXPECT_EQ(gf_maxFitFromHours(0.5f), 0);
    EXPECT_EQ(gf_maxFitFromHours(12.0f), 23);
    EXPECT_EQ(gf_maxFitFromHours(1.2f), 1);  // 2.4 rounds to 2
    EXPECT_FLOAT_EQ(gf_maxFitHours(47), 24.0f);
    EXPECT_FLOAT_EQ(gf_maxFitHours(0), 0.5f);
}

TEST(SettingsValues, ClampAndResetToDefaults) {
    EXPECT_EQ(AIRPORT_RANGE.clamp(50), 30);
    EXPECT_EQ(AIRPORT_RANGE.clamp(3), 8);
    EXPECT_EQ(AIRPORT_RANGE.clamp(0), 8);
    EXPECT_EQ(AIRPORT_RANGE.clamp(12), 12);

    MAX_LIVE.value = 12;
    LOG.value = false;
    DESTINATION.set("EDDF");
    MAX_FIT_FL.value = 3.5f;
    EXPECT_FALSE(MAX_LIVE.isDefault());
    EXPECT_FALSE(LOG.isDefault());
    EXPECT_FALSE(DESTINATION.isDefault());
    gf_resetSettings();
    EXPECT_EQ(MAX_LIVE.value.load(), -1);
    EXPECT_TRUE(LOG.value.load());
    EXPECT_EQ(DESTINATION.value(), "");
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 24.0f);
}
