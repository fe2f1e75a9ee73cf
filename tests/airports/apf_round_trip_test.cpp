// The airport file written and read back whole: every stand form, every field of a plan option and every
// setting the file holds, for generated, stock, learned and handmade files.
#include "tests/airports/airports_fixture.h"

#include <pugixml.hpp>

#include "airports/apf_lookup.h"
#include "airports/apf_writer.h"
#include "airports/parking_file.h"
#include "foundation/geodesy.h"

namespace {

// Everything a file holds of a stand, exact: a unit or precision lost on the way shows.
std::string standText(const ParkPos& s) {
    std::string text = fmt::format("{} lat {:.17g} lon {:.17g} heading {:.17g} radius {:.17g} cargo {} ramp {} heli {} "
                                   "manual {} radius_change {} cargo_change {}",
                                   s.name, s.latitude, s.longitude, s.heading, s.radius, s.cargo, s.ramp, s.heli,
                                   s.manual, s.radiusChanged, s.cargoChanged);
    for (const StandOption& o : s.options)
        text += fmt::format("\n  opt id {} airl \"{}\" type \"{}\" reg \"{}\" cs \"{}\" / \"{}\" day {} hh {:x} "
                            "origin {} real {}",
                            o.id, o.airline, o.icaoType, o.key, o.callsignA, o.callsignB, o.weekday, o.halfHours,
                            o.closed, o.real);
    return text;
}

std::vector<std::string> standTexts(const std::vector<ParkPos>& stands) {
    std::vector<std::string> texts;
    for (const ParkPos& s : stands) texts.push_back(standText(s));
    return texts;
}

ParkPos makeStand(const std::string& name, double lat, double lon, double headingDeg, double radiusMetres, bool cargo,
                  bool ramp, bool heli) {
    return ParkPos(name, {}, lat, lon, headingDeg * geo::deg2rad, radiusMetres, cargo ? 0 : 1, ramp ? 0 : 1,
                   heli ? 0 : 1);
}

// The stands of the airport file: cargo and not, ramp and not, a helipad, headings and radii of any size.
std::vector<ParkPos> airportStands() {
    return {makeStand("A1", 47.123456, 8.5, 90.0, 18.5, false, true, false),
            makeStand("A2", 47.124, -8.000001, 359.9, 45.0, true, false, false),
            makeStand("H1", -33.9, 151.2, 0.0, 12.0, false, false, true),
            makeStand("C 7/b", 47.125, 180.0, 180.5, 80.3, true, true, false)};
}

constexpr std::uint64_t kAllHalfHours = (std::uint64_t{1} << 48) - 1;

// One of each kind of plan option, numbered from `first`; the option switched off (id 0) sits in the middle.
// `origin` is the mark the options carry.
std::vector<StandOption> everyOption(std::int32_t first, std::int32_t origin, bool withSwitchedOff) {
    std::vector<StandOption> options{
        // A registration the table knows: the file keeps only the registration.
        {"KLM", "B738", "PH-BXA", "KLM1", "", 0b1011, 0, 1, origin, 1},
        // The table names an operator: that is the airline.
        {"SHT", "A319", "G-EUPA", "", "", std::uint64_t{1} << 47, 0, 2, origin, 1},
        // Unknown registration: airline and type are written; a second callsign part.
        {"UAL", "B752", "N123AB", "UAL9", "UAL9X", 0b110, 0, 3, origin, 1},
        // A soft option without registration or callsign, every half-hour of Sunday.
        {"DLH", "A320", "", "", "", kAllHalfHours, 0, 7, origin, 0},
        // No weekday, no half-hours.
        {"EZY", "A20N", "HB-JXA", "", "", 0, 0, 0, origin, 0},
    };
    std::int32_t id = first;
    for (StandOption& o : options) o.id = id++;
    if (withSwitchedOff) {
        StandOption off = options[2];
        off.id = 0;
        off.key = "OFF";
        options.insert(options.begin() + 2, off);
    }
    return options;
}

// The settings that a learned file keeps, all away from their defaults, and their defaults.
struct SettingsValues {
    std::int32_t lateralRange, parkingPercentage, maxFit, maxLive;
    bool autoRange, week, parkFake, parkSoft, initialLoadOnly, rtParkTrafficOnly, learnSoft;
    bool operator==(const SettingsValues&) const = default;
};
const SettingsValues kChanged{65, 45, 7, 25, false, true, true, false, true, true, false};

void applySettings(const SettingsValues& v) {
    LATERAL_RANGE.value = v.lateralRange;
    parking_percentage.value = v.parkingPercentage;
    MAX_FIT.value = v.maxFit;
    MAX_LIVE.value = v.maxLive;
    AUTO_RANGE.value = v.autoRange;
    WEEK.value = v.week;
    PARK_FAKE.value = v.parkFake;
    PARK_SOFT.value = v.parkSoft;
    INITIAL_LOAD_ONLY.value = v.initialLoadOnly;
    RT_PARKTRAFFIC_ONLY.value = v.rtParkTrafficOnly;
    LEARN_SOFT.value = v.learnSoft;
}

SettingsValues currentSettings() {
    return {LATERAL_RANGE.value.load(),     parking_percentage.value.load(),
            MAX_FIT.value.load(),           MAX_LIVE.value.load(),
            AUTO_RANGE.value.load(),        WEEK.value.load(),
            PARK_FAKE.value.load(),         PARK_SOFT.value.load(),
            INITIAL_LOAD_ONLY.value.load(), RT_PARKTRAFFIC_ONLY.value.load(),
            LEARN_SOFT.value.load()};
}

SettingsValues defaults() {
    return {LATERAL_RANGE.defaultValue,     parking_percentage.defaultValue,
            MAX_FIT.defaultValue,           MAX_LIVE.defaultValue,
            AUTO_RANGE.defaultValue,        WEEK.defaultValue,
            PARK_FAKE.defaultValue,         PARK_SOFT.defaultValue,
            INITIAL_LOAD_ONLY.defaultValue, RT_PARKTRAFFIC_ONLY.defaultValue,
            LEARN_SOFT.defaultValue};
}

std::string readApf(const std::string& path) {
    currentStands.clear();
    currentApfHeader = ApfHeader{};
    return gf_readApf(path, currentApfHeader, currentQualityFactors);
}

}  // namespace

TEST_F(AirportsTest, AirportFileRoundTripsWhole) {
    enum class Kind {
        generated,
        stock,
        learned,
        handmade
    };
    struct Case {
        std::string name;
        Kind kind;
        std::string path;  // the airport file as the lookup names it
        std::string publisher;
    } cases[] = {
        {"generated", Kind::generated, "airports/ve_zuzuvado/LSZH.xml", "unknown"},
        {"stock", Kind::stock, "archive/stock/LSZH.xml", "stock"},
        {"learned", Kind::learned, "airports/my_thirdparty/LSZH.xml", "Some Pub"},
        {"handmade", Kind::handmade, "airports/my_thirdparty/LSZH.xml", "Some Pub"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* folder : {"airports/learned", "airports/my_thirdparty", "airports/ve_zuzuvado"})
            fs::remove_all(folder);
        resetState();
        registrationTable["PH-BXA"] = DbaseReg{"KLM", "B738", "", false};
        registrationTable["G-EUPA"] = DbaseReg{"BAW", "A319", "SHT", false};
        setParkAirport("LSZH");

        // The airport file, written as the add-on scan writes it. Plan options never go into such a file.
        AirportPackage record;
        record.icao = "LSZH";
        record.name = "Zürich <\"Kloten\">";
        record.publisher = c.publisher;
        record.bglPath = "C:\\Community\\lszh\\scenery\\LSZH.bgl";
        record.manufacturer = "Maker";
        record.creator = "Creator";
        record.altitude = -12;
        record.stands = airportStands();
        record.stands[0].options = everyOption(1, 0, false);
        const fs::path file = c.kind == Kind::stock ? server() / "MSFS" / c.path : fs::path(c.path);
        fs::create_directories(file.parent_path());
        ASSERT_TRUE(gf_writeApf(record, file, apfGenerated));
        std::vector<ParkPos> want = airportStands();

        ASSERT_EQ(readApf(c.path), "");
        EXPECT_EQ(standTexts(currentStands), standTexts(want));
        EXPECT_EQ(currentApfHeader.airportName, record.name);
        EXPECT_EQ(currentApfHeader.publisher, record.publisher);
        EXPECT_EQ(currentApfHeader.altitude, -12);
        if (c.kind == Kind::generated) {
            pugi::xml_document doc;
            ASSERT_TRUE(doc.load_file(file.c_str()));
            EXPECT_EQ(lf_readTextParameter(doc, "BGLpath"), record.bglPath);
            EXPECT_EQ(lf_readTextParameter(doc, "manufacturer"), record.manufacturer);
            EXPECT_EQ(lf_readTextParameter(doc, "creator"), record.creator);
            EXPECT_EQ(lf_readIntParameter(doc, "num_parkpos"), 4);
            EXPECT_EQ(gf_checkApfPublisher(file), "");
            continue;
        }

        if (c.kind == Kind::handmade) {
            // A handmade file in the learned place, written by the learned-file writer: every stand in full
            // form with its options, whatever its marks.
            std::vector<ParkPos> handmade = airportStands();
            handmade[0].options = everyOption(1, 1, true);
            handmade[1].radiusChanged = 1;
            handmade[2].cargoChanged = 1;
            handmade[3].manual = 1;
            handmade[3].options = everyOption(1, 1, false);
            AirportPackage learnedRecord = record;
            learnedRecord.stands = handmade;
            handmadeLearned = 1;
            applySettings(kChanged);
            const fs::path learnedFile = gf_learnedPathOf(c.path, c.publisher);
            fs::create_directories(learnedFile.parent_path());
            ASSERT_TRUE(gf_writeApf(learnedRecord, learnedFile, apfLearned));
            applySettings(defaults());
            ASSERT_EQ(readApf(c.path), "");
            EXPECT_EQ(handmadeLearned.load(), 1);
            want = handmade;
            want[0].options = everyOption(1, 1, false);  // the switched-off option is gone, the rest renumbered
        } else {
            // What is learned at the airport: options on a stand of the file, a changed radius, a changed cargo
            // mark, both with options, and stands made by hand (one a helipad).
            currentStands[0].options = everyOption(1, 0, true);
            currentStands[1].radius = 25.5 * standUnits::nmPerMetre;
            currentStands[1].radiusChanged = 1;
            currentStands[2].cargo = 1;
            currentStands[2].cargoChanged = 1;
            currentStands[3].cargo = 0;
            currentStands[3].cargoChanged = 1;
            currentStands[3].radius = 60.0 * standUnits::nmPerMetre;
            currentStands[3].radiusChanged = 1;
            currentStands[3].options = everyOption(1, 0, false);
            ParkPos manual = makeStand("M1", 47.2, 8.6, 270.0, 30.0, true, false, false);
            manual.manual = 1;
            manual.options = everyOption(1, 0, false);
            ParkPos manualHeli = makeStand("M2", 47.3, 8.7, 45.0, 15.0, false, true, true);
            manualHeli.manual = 1;
            currentStands.push_back(manual);
            currentStands.push_back(manualHeli);
            want = currentStands;
            want[0].options = everyOption(1, 0, false);
            applySettings(kChanged);
            learnedUpdateCount = 1;
            gf_saveLearned();
            applySettings(defaults());
            ASSERT_EQ(readApf(c.path), "");
            EXPECT_EQ(handmadeLearned.load(), 0);
        }
        EXPECT_EQ(standTexts(currentStands), standTexts(want));
        EXPECT_EQ(currentSettings(), kChanged);

        // Saved once more and read again, nothing changes.
        applySettings(kChanged);
        learnedUpdateCount = 1;
        gf_saveLearned();
        if (c.kind == Kind::handmade) {
            pugi::xml_document doc;
            ASSERT_TRUE(doc.load_file(gf_learnedPathOf(c.path, c.publisher).c_str()));
            EXPECT_EQ(lf_readIntParameter(doc, "altitude"), -12);
            EXPECT_EQ(lf_readIntParameter(doc, "Qf_real"), gf_qualityFactor(want).real);
            EXPECT_EQ(lf_readIntParameter(doc, "Qf_soft"), gf_qualityFactor(want).soft);
        }
        applySettings(defaults());
        ASSERT_EQ(readApf(c.path), "");
        EXPECT_EQ(standTexts(currentStands), standTexts(want));
        EXPECT_EQ(currentSettings(), kChanged);
        gf_removeStaticParked();
    }
}
