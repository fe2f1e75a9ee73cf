#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "foundation/version.h"
#include "tests/foundation/parameters_fixture.h"

namespace {

std::string flagText(bool flag) { return flag ? "true" : "false"; }

// The elements a new file holds: every registered key in list order with its default (COLLISION_LIVE_PARKED_GND
// and CUSTOM_MAX_PARK twice), no folder keys, PROGRAM_VERSION with the running version.
std::vector<std::pair<std::string, std::string>> newFileElements() {
    const SettingsRegistry r = gf_buildSettingsRegistry();
    std::vector<std::pair<std::string, std::string>> expected;
    for (const auto* list : {&r.plainFlags, &r.checkBoxFlags})
        for (const BoolParameter* p : *list) expected.emplace_back(p->name, flagText(p->defaultValue));
    for (const IntParameter* p : r.plainIntegers) expected.emplace_back(p->name, std::to_string(p->defaultValue));
    for (const IntParameter* p : r.fieldIntegers) expected.emplace_back(p->name, std::to_string(p->defaultValue));
    for (const StringParameter* p : r.texts) {
        if (p->name.rfind("lfolder", 0) == 0) continue;
        expected.emplace_back(p->name, p == &PROGRAM_VERSION ? programVersion.toString() : p->defaultValue);
    }
    for (const StringParameter* p : r.fieldTexts) expected.emplace_back(p->name, p->defaultValue);
    return expected;
}

std::string stars(int n) { return std::string(static_cast<std::size_t>(n), '*'); }

}  // namespace

TEST_F(ParametersFile, FirstStartInAnEmptyFolderWritesEveryListInOrder) {
    ASSERT_FALSE(fs::exists(file().parent_path()));
    // Values left over from an earlier run all go back to their defaults.
    LOG.value = false;
    MAX_LIVE.value = 7;
    DESTINATION.set("EDDF");
    lfolder2.set("C:\\liveries");

    loadAll();

    ASSERT_TRUE(fs::exists(file()));
    EXPECT_EQ(file(), appData.path() / "Vexa" / "parameters.xml");
    const auto written = elements();
    EXPECT_EQ(written, newFileElements());
    EXPECT_EQ(written.size(), 28u + 19u + 6u + 1u);

    for (Parameter* p : gf_allSettings()) {
        if (auto* s = dynamic_cast<StringParameter*>(p)) {
            EXPECT_EQ(s->value(), s->defaultValue) << p->name;
        } else if (auto* i = dynamic_cast<IntParameter*>(p)) {
            EXPECT_EQ(i->value.load(), i->defaultValue) << p->name;
        } else if (auto* b = dynamic_cast<BoolParameter*>(p)) {
            EXPECT_EQ(b->value.load(), b->defaultValue) << p->name;
        }
    }
    // The file records the running version; the setting stays empty, so the run preparation sees a first start.
    EXPECT_EQ(PROGRAM_VERSION.value(), "");
    EXPECT_EQ(MAX_LIVE.value.load(), -1);
    EXPECT_EQ(CUSTOM_MAX_PARK.value.load(), -1);

    EXPECT_TRUE(logged(file().string() + " not found, default values taken:"));
    EXPECT_TRUE(logged("\"" + file().string() + "\" saved"));
    EXPECT_TRUE(logged("MAX_LIVE=-1"));
    EXPECT_FALSE(fs::exists(appData.path() / "Vexa" / "parameters0.xml"));

    // pugixml's default layout: declaration without encoding, one element per line, tab indents.
    const std::string text = readWholeFile(file());
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"COLLISION_LIVE_PARKED_GND\" "
                         "value=\"false\" />\n",
                         0),
              0u)
        << text;
}

TEST_F(ParametersFile, LoadOfACompleteFileLogsEveryEntryInListOrder) {
    loadAll();
    lfolder3.save("D:\\liveries");  // a folder key with a value is read and logged
    const std::size_t before = logLines().size();

    loadAll();

    const std::vector<std::string> all = logLines();
    const std::vector<std::string> lines(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    std::vector<std::string> expected = {"", stars(34) + " parameters " + stars(34),
                                         "from \"" + file().string() + "\""};
    const SettingsRegistry r = gf_buildSettingsRegistry();
    for (const auto* list : {&r.plainFlags, &r.checkBoxFlags})
        for (const BoolParameter* p : *list) expected.push_back(p->name + "=" + flagText(p->defaultValue));
    for (const auto* p : r.plainIntegers) expected.push_back(p->name + "=" + std::to_string(p->defaultValue));
    for (const auto* p : r.fieldIntegers) expected.push_back(p->name + "=" + std::to_string(p->defaultValue));
    for (const auto* p : r.texts) {
        if (p == &PROGRAM_VERSION)
            expected.push_back("PROGRAM_VERSION=" + programVersion.toString());
        else if (p == &lfolder3)
            expected.push_back("lfolder3=D:\\liveries");
        else if (p->name.rfind("lfolder", 0) != 0)
            expected.push_back(p->name + "=");
    }
    expected.push_back("BLOCK_CALLSIGN=");
    expected.push_back("\"" + file().string() + "\" saved");
    expected.push_back(stars(80));
    expected.push_back("");
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(PROGRAM_VERSION.value(), programVersion.toString());
    EXPECT_EQ(lfolder3.value(), "D:\\liveries");
}

TEST_F(ParametersFile, ValuesAreParsedAndClampedAndTheFileKeepsItsText) {
    struct Case {
        const char* element;
        std::string expectedLine;
    };
    writeParameters("\t<parameter name=\"AIRPORT_RANGE\" value=\"50\" />\n"
                    "\t<parameter name=\"AIRPORT_HEIGHT\" value=\"3\" />\n"
                    "\t<parameter name=\"MATCHING_DEPTH\" value=\"abc\" />\n"
                    "\t<parameter name=\"MAX_LIVE\" />\n"
                    "\t<parameter name=\"LATERAL_RANGE\" value=\"0x10\" />\n"
                    "\t<parameter name=\"LAST_EPOCH_TIME\" value=\"99999999999\" />\n"
                    "\t<parameter name=\"LOG\" value=\"Yes\" />\n"
                    "\t<parameter name=\"SIM_TIME\" value=\"1\" />\n"
                    "\t<parameter name=\"SUPPRESS_STUB\" value=\"0\" />\n"
                    "\t<parameter name=\"LIG_AUTOMATIC\" value=\"no\" />\n"
                    "\t<parameter name=\"SCAN_AIRPORTS\" value=\"\" />\n"
                    "\t<parameter name=\"SCAN_LIVERIES\" />\n"
                    "\t<parameter name=\"WEEK\" value=\"true\" />\n"
                    "\t<parameter name=\"DESTINATION\" value=\" EDDF \" />\n");
    loadAll();

    EXPECT_EQ(AIRPORT_RANGE.value.load(), 30);
    EXPECT_EQ(AIRPORT_HEIGHT.value.load(), 2000);
    EXPECT_EQ(MATCHING_DEPTH.value.load(), 1);  // non-numeric: 0, clamped up to the minimum
    EXPECT_EQ(MAX_LIVE.value.load(), 0);        // no value attribute: 0
    EXPECT_EQ(LATERAL_RANGE.value.load(), 16);  // hexadecimal
    EXPECT_EQ(LAST_EPOCH_TIME.value.load(), 2147483647);
    EXPECT_TRUE(LOG.value.load());
    EXPECT_TRUE(SIM_TIME.value.load());
    EXPECT_FALSE(SUPPRESS_STUB.value.load());
    EXPECT_FALSE(LIG_AUTOMATIC.value.load());
    EXPECT_FALSE(SCAN_AIRPORTS.value.load());
    EXPECT_FALSE(SCAN_LIVERIES.value.load());
    EXPECT_TRUE(WEEK.value.load());
    EXPECT_EQ(DESTINATION.value(), " EDDF ");  // texts are taken as they stand

    for (const char* line : {"AIRPORT_RANGE=30", "AIRPORT_HEIGHT=2000", "MATCHING_DEPTH=1", "MAX_LIVE=0", "LOG=true",
                             "SUPPRESS_STUB=false", "DESTINATION= EDDF "})
        EXPECT_TRUE(logged(line)) << line;

    // The file keeps the stored texts until a setting is stored again.
    const auto written = elements();
    EXPECT_EQ(written[0], (std::pair<std::string, std::string>{"AIRPORT_RANGE", "50"}));
    EXPECT_EQ(written[2], (std::pair<std::string, std::string>{"MATCHING_DEPTH", "abc"}));
    AIRPORT_RANGE.save();
    EXPECT_EQ(elements()[0], (std::pair<std::string, std::string>{"AIRPORT_RANGE", "30"}));
}

TEST_F(ParametersFile, MissingKeysAreAppendedAndUnknownOnesKept) {
    writeParameters("\t<parameter name=\"SOMETHING_ELSE\" value=\"keep me\" />\n"
                    "\t<parameter name=\"LOG\" value=\"false\" />\n");
    loadAll();
    auto written = elements();
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written[0], (std::pair<std::string, std::string>{"SOMETHING_ELSE", "keep me"}));
    EXPECT_EQ(written[1], (std::pair<std::string, std::string>{"LOG", "false"}));
    // Everything else was appended once (the keys of two lists are found the second time), in list order.
    std::vector<std::pair<std::string, std::string>> expected;
    for (const auto& e : newFileElements()) {
        const bool seen =
            std::any_of(expected.begin(), expected.end(), [&](const auto& x) { return x.first == e.first; });
        if (!seen && e.first != "LOG") expected.push_back(e);
    }
    for (auto& e : expected)
        if (e.first == "PROGRAM_VERSION")
            e.second = "";  // a loaded file lacking the key gains it with the current (empty) value
    EXPECT_EQ(std::vector(written.begin() + 2, written.end()), expected);
    EXPECT_FALSE(LOG.value.load());

    // A file lacking only MAX_LIVE gains it at the end of the root.
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(file().c_str()));
    pugi::xml_node root = document.child("parameters");
    root.remove_child(root.find_child_by_attribute("parameter", "name", "MAX_LIVE"));
    ASSERT_TRUE(document.save_file(file().c_str()));
    loadAll();
    written = elements();
    EXPECT_EQ(written.back(), (std::pair<std::string, std::string>{"MAX_LIVE", "-1"}));
    EXPECT_EQ(written.front(), (std::pair<std::string, std::string>{"SOMETHING_ELSE", "keep me"}));

    // Stores keep the unknown key too.
    MAX_LIVE.save(25);
    EXPECT_EQ(elements().front(), (std::pair<std::string, std::string>{"SOMETHING_ELSE", "keep me"}));
}

TEST_F(ParametersFile, SettingsNotInTheRegistryKeepTheirValues) {
    writeParameters("\t<parameter name=\"parking_percentage\" value=\"80\" />\n"
                    "\t<parameter name=\"MAX_FIT_FL\" value=\"2.5\" />\n"
                    "\t<parameter name=\"CALLSIGN_2_OBJECTID\" value=\"DLH1\" />\n"
                    "\t<parameter name=\"ALL_INSTALL_PATH\" value=\"C:\\x\" />\n");
    parking_percentage.value = 30;
    MAX_FIT_FL.value = 12.0f;
    CALLSIGN_2_OBJECTID.set("BAW2");
    ALL_INSTALL_PATH.set("D:\\y");
    loadAll();
    EXPECT_EQ(parking_percentage.value.load(), 30);
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 12.0f);
    EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), "BAW2");
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "D:\\y");
}

TEST_F(ParametersFile, EmptyFolderKeysAreTakenOutOfTheFile) {
    writeParameters("\t<parameter name=\"lfolder3\" value=\"\" />\n"
                    "\t<parameter name=\"lfolder5\" value=\"E:\\ai\\liveries\" />\n");
    loadAll();
    EXPECT_EQ(lfolder3.value(), "");
    EXPECT_EQ(lfolder5.value(), "E:\\ai\\liveries");
    EXPECT_TRUE(logged("Parameter lfolder3 removed"));
    EXPECT_TRUE(logged("lfolder5=E:\\ai\\liveries"));
    EXPECT_FALSE(logged("lfolder3="));
    EXPECT_FALSE(logged("lfolder4="));
    const auto written = elements();
    EXPECT_EQ(written[0], (std::pair<std::string, std::string>{"lfolder5", "E:\\ai\\liveries"}));
    for (const auto& e : written) EXPECT_NE(e.first, "lfolder3");
    int folderKeys = 0;
    for (const auto& e : written) folderKeys += e.first.rfind("lfolder", 0) == 0;
    EXPECT_EQ(folderKeys, 1);
}

TEST_F(ParametersFile, AFileWithAnotherRootIsLeftAsItIs) {
    fs::create_directories(file().parent_path());
    const std::string original = "<?xml version=\"1.0\"?>\n<settings>\n\t<parameter name=\"LOG\" value=\"false\" />\n"
                                 "</settings>\n";
    writeWholeFile(file(), original);
    LOG.value = false;
    loadAll();
    EXPECT_TRUE(LOG.value.load());  // default: the lookup only finds keys under a top-level "parameters"
    EXPECT_EQ(readWholeFile(file()), original);
    EXPECT_FALSE(fs::exists(appData.path() / "Vexa" / "parameters0.xml"));

    LATERAL_RANGE.save(60);
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(file().c_str()));
    EXPECT_TRUE(document.child("settings"));
    EXPECT_EQ(elements(), (std::vector<std::pair<std::string, std::string>>{{"LATERAL_RANGE", "60"}}));
}

TEST_F(ParametersFile, ABrokenFileIsBackedUpAndRebuilt) {
    fs::create_directories(file().parent_path());
    const std::string broken = "<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"LOG\" value=\"fal";
    writeWholeFile(file(), broken);
    LOG.value = false;

    loadAll();

    const fs::path backup = appData.path() / "Vexa" / "parameters0.xml";
    ASSERT_TRUE(fs::exists(backup));
    EXPECT_EQ(readWholeFile(backup), broken);
    EXPECT_EQ(elements(), newFileElements());
    EXPECT_TRUE(LOG.value.load());
    EXPECT_TRUE(logged(file().string() + " not found, default values taken:"));

    // A store into a broken file keeps a copy too before it replaces the file.
    writeWholeFile(file(), "not xml at all");
    EXPECT_TRUE(MAX_LIVE.save(12));
    EXPECT_EQ(readWholeFile(backup), "not xml at all");
    EXPECT_EQ(readWholeFile(appData.path() / "Vexa" / "parameters00.xml"), broken);
    EXPECT_EQ(elements(), (std::vector<std::pair<std::string, std::string>>{{"MAX_LIVE", "12"}}));

    // When no copy can be made, the broken file is not replaced: the defaults hold for this run only.
    writeWholeFile(file(), broken);
    fs::remove(backup);
    fs::create_directory(backup);
    MAX_LIVE.value = 12;
    loadAll();
    EXPECT_EQ(MAX_LIVE.value.load(), -1);
    EXPECT_FALSE(MAX_LIVE.save(13));
    EXPECT_EQ(readWholeFile(file()), broken);
    EXPECT_NE(log.text().find("===> could not back up \"" + file().string() + "\""), std::string::npos);
    EXPECT_TRUE(logged("saving xml did not work?"));
}

// parameters.xml is replaced only by a whole file, and never when the user made it read-only: otherwise the old
// file stays as it was, for a store and for the start-up load.
TEST_F(ParametersFile, OnlyAWholeFileReplacesTheSettingsFile) {
    const struct {
        const char* name;
        DiskFileFault fault;
        bool readOnly;
    } cases[] = {
        {"write fails", DiskFileFault::write, false},
        {"flush fails", DiskFileFault::flush, false},
        {"close fails", DiskFileFault::close, false},
        {"read-only", DiskFileFault::none, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (fs::exists(file())) fs::permissions(file(), fs::perms::owner_write, fs::perm_options::add);
        writeParameters("\t<parameter name=\"MAX_LIVE\" value=\"7\" />\n");
        const std::string original = readWholeFile(file());
        if (c.readOnly) fs::permissions(file(), fs::perms::owner_read);
        const std::size_t logSize = log.text().size();
        auto loggedNow = [&](const std::string& line) {
            return !logLinesWith(log.text().substr(logSize), {line}).empty();
        };
        ScopedDiskFileFault fault(c.fault);
        EXPECT_FALSE(MAX_LIVE.save(12));
        // A failed write is reported at each store; a read-only file by its own line alone.
        EXPECT_EQ(loggedNow("saving xml did not work?"), !c.readOnly);
        loadAll();  // appends every missing key and saves
        EXPECT_EQ(loggedNow("===> could not save to \"" + file().string() + "\""), !c.readOnly);
        EXPECT_EQ(readWholeFile(file()), original);
        EXPECT_EQ(std::distance(fs::directory_iterator(file().parent_path()), fs::directory_iterator()), 1);
        EXPECT_EQ(loggedNow("===> \"" + file().string() +
                            "\" is read-only: not written over; settings changed in this run will not be kept"),
                  c.readOnly);
    }
}

namespace {

// The status texts noted through the foundation's hook while it is registered.
std::vector<std::string> statusNotes;
void noteStatus(std::string_view text, bool) { statusNotes.emplace_back(text); }

}  // namespace

// A settings file the user made read-only is reported once per file and run, with the one line that says that
// the settings will not be kept, however many stores the run then makes: the start-up load, stores of every kind
// and the removal of an empty folder key. Each refused store shows it on the status line. Once the file was found
// writable again, a new refusal is reported again.
TEST_F(ParametersFile, AReadOnlySettingsFileIsReportedOncePerRun) {
    writeParameters("\t<parameter name=\"MAX_LIVE\" value=\"7\" />\n"
                    "\t<parameter name=\"lfolder3\" value=\"\" />\n");
    const std::string original = readWholeFile(file());
    fs::permissions(file(), fs::perms::owner_read);
    statusNotes.clear();
    gf_setStatusWriter(&noteStatus);
    const std::string refusal = "===> \"" + file().string() +
                                "\" is read-only: not written over; settings changed in this run will not be kept";
    const std::string note = "Settings not kept: parameters.xml is read-only";
    auto refusals = [&] { return logLinesWith(log.text(), {"read-only"}); };

    loadAll();
    EXPECT_EQ(MAX_LIVE.value.load(), 7);
    EXPECT_EQ(statusNotes, std::vector<std::string>{note});
    for (int round = 0; round < 3; ++round) {
        EXPECT_FALSE(MAX_LIVE.save(12 + round));
        EXPECT_FALSE(LOG.save(round % 2 == 0));
        EXPECT_FALSE(DESTINATION.save("KSEA"));
        EXPECT_FALSE(LATERAL_RANGE.save());
    }
    gf_removeParameter("lfolder3");
    gf_setStatusWriter(nullptr);
    EXPECT_EQ(readWholeFile(file()), original);
    EXPECT_EQ(refusals(), std::vector<std::string>{refusal});
    EXPECT_FALSE(logged("saving xml did not work?"));
    EXPECT_FALSE(logged("===> could not save to \"" + file().string() + "\""));
    EXPECT_EQ(statusNotes, std::vector<std::string>(13, note));
    EXPECT_EQ(MAX_LIVE.value.load(), 14);  // the value in memory stays changed
    EXPECT_TRUE(logged("MAX_LIVE=14"));

    // Writable again, the stores go through; read-only once more, the next refusal is reported again.
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(MAX_LIVE.save(20));
    fs::permissions(file(), fs::perms::owner_read);
    EXPECT_FALSE(MAX_LIVE.save(21));
    EXPECT_FALSE(MAX_LIVE.save(22));
    EXPECT_EQ(refusals(), std::vector<std::string>(2, refusal));
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(ParametersFile, StoresAppendOnceThenEditInPlace) {
    writeParameters("\t<parameter name=\"LOG\" value=\"true\" />\n"
                    "\t<parameter name=\"MAX_LIVE\" />\n");
    EXPECT_TRUE(LATERAL_RANGE.save(60));
    EXPECT_EQ(LATERAL_RANGE.value.load(), 60);
    EXPECT_TRUE(LATERAL_RANGE.save(70));
    EXPECT_TRUE(LOG.save(false));
    EXPECT_TRUE(DESTINATION.save("KSEA"));
    EXPECT_TRUE(MAX_LIVE.save(5));  // an element without a value attribute stays as it is
    EXPECT_EQ(elements(), (std::vector<std::pair<std::string, std::string>>{
                              {"LOG", "false"}, {"MAX_LIVE", ""}, {"LATERAL_RANGE", "70"}, {"DESTINATION", "KSEA"}}));
    EXPECT_TRUE(logged("LATERAL_RANGE=60"));
    EXPECT_TRUE(logged("LATERAL_RANGE=70"));
    EXPECT_TRUE(logged("LOG=false"));
    EXPECT_TRUE(logged("DESTINATION=KSEA"));
    EXPECT_FALSE(logged("\"" + file().string() + "\" saved"));  // single stores are quiet about the save

    // setAndSave and save() store the current value.
    BLOCK_CALLSIGN.setAndSave("AFR12");
    MATCHING_DEPTH.value = 2;
    MATCHING_DEPTH.save();
    auto written = elements();
    EXPECT_EQ(written[4], (std::pair<std::string, std::string>{"BLOCK_CALLSIGN", "AFR12"}));
    EXPECT_EQ(written[5], (std::pair<std::string, std::string>{"MATCHING_DEPTH", "2"}));

    // Without a file a store writes a file with that one setting.
    fs::remove(file());
    EXPECT_TRUE(SCAN_LIVERIES.save(false));
    EXPECT_EQ(elements(), (std::vector<std::pair<std::string, std::string>>{{"SCAN_LIVERIES", "false"}}));
}

TEST_F(ParametersFile, AFailedStoreIsLoggedAndKeepsTheNewValue) {
    // The program's folder is a plain file: nothing can be written below it.
    writeWholeFile(appData.path() / "Vexa", "in the way");
    EXPECT_FALSE(MAX_LIVE.save(9));
    EXPECT_EQ(MAX_LIVE.value.load(), 9);
    EXPECT_TRUE(logged("MAX_LIVE=9"));
    EXPECT_TRUE(logged("saving xml did not work?"));
    EXPECT_EQ(readWholeFile(appData.path() / "Vexa"), "in the way");

    loadAll();  // defaults, and the loader says it could not save
    EXPECT_EQ(MAX_LIVE.value.load(), -1);
    EXPECT_TRUE(logged("===> could not save to \"" + file().string() + "\""));
}

TEST_F(ParametersFile, SettingLinesAreSilentOnceAStopIsUnderWay) {
    ShellHooksRegistered hooks;
    stopRequested = 1;
    MAX_LIVE.save(3);
    loadAll();
    stopRequested = 0;
    EXPECT_FALSE(logged("MAX_LIVE=3"));
    EXPECT_FALSE(logged("MAX_LIVE=-1"));
    EXPECT_TRUE(logged("from \"" + file().string() + "\""));  // gf_log lines still go out
}

TEST_F(ParametersFile, LoaderShowsValuesInTheBoundControls) {
    static std::vector<std::string> calls;
    calls.clear();
    SettingsControlHooks hooks;
    hooks.setCheck = [](const ParameterControl& c, bool on) {
        calls.push_back(fmt::format("check {} {}", c.controlId, on));
    };
    hooks.showInt = [](const ParameterControl& c, std::int32_t n) {
        calls.push_back(fmt::format("int {} {}", c.controlId, n));
    };
    hooks.showText = [](const ParameterControl& c, const std::string& t) {
        calls.push_back(fmt::format("text {} {}", c.controlId, t));
    };
    gf_setSettingsControlHooks(hooks);

    writeParameters("\t<parameter name=\"LOG\" value=\"false\" />\n"
                    "\t<parameter name=\"MAX_LIVE\" value=\"33\" />\n"
                    "\t<parameter name=\"BLOCK_CALLSIGN\" value=\"RYR1\" />\n");
    loadAll();
    EXPECT_EQ(calls.size(), 27u + 12u + 1u);  // every check box, every number field, the text field
    EXPECT_NE(std::find(calls.begin(), calls.end(), "check 32779 false"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "check 32790 true"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "int 32821 33"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "text 32828 RYR1"), calls.end());

    calls.clear();
    fs::remove(file());
    loadAll();  // a new file shows the defaults the same way
    EXPECT_EQ(calls.size(), 40u);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "int 32821 -1"), calls.end());
}

TEST(ParametersXml, XPathAndNodeHelpers) {
    EXPECT_EQ(gf_parameterXPath("LOG"), "/parameters/parameter[@name='LOG']");

    pugi::xml_document document;
    pugi::xml_node root = document.append_child("parameters");
    EXPECT_TRUE(gf_appendParameterNode(root, "A", "text"));
    EXPECT_TRUE(gf_appendIntParameterNode(root, "B", -1));
    EXPECT_TRUE(gf_appendBoolParameterNode(root, "C", true));
    EXPECT_TRUE(gf_appendParameterNode(document, "D", "on the document"));
    pugi::xml_node text = root.append_child(pugi::node_pcdata);
    EXPECT_FALSE(gf_appendParameterNode(text, "E", "x"));
    EXPECT_FALSE(gf_appendIntParameterNode(pugi::xml_node{}, "E", 1));

    pugi::xml_node b = document.select_node(gf_parameterXPath("B").c_str()).node();
    ASSERT_TRUE(b);
    EXPECT_STREQ(b.attribute("value").value(), "-1");
    EXPECT_STREQ(b.first_attribute().name(), "name");  // name first, value second
    EXPECT_STREQ(document.select_node(gf_parameterXPath("C").c_str()).node().attribute("value").value(), "true");
    EXPECT_FALSE(document.select_node(gf_parameterXPath("D").c_str()));  // not under "parameters"

    EXPECT_TRUE(gf_setIntAttribute(b, "value", 18000));
    EXPECT_STREQ(b.attribute("value").value(), "18000");
    EXPECT_FALSE(gf_setIntAttribute(b, "altitude", 5));
    EXPECT_FALSE(b.attribute("altitude"));
}
