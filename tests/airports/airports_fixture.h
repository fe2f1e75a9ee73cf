#pragma once
// A program folder of its own for each airport test: working folder, log, download server (a file://
// folder), the current park airport, the stands and the learned-file state, all back to their start values
// afterwards.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "airports/airports.h"
#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/learned.h"
#include "airports/parking.h"
#include "catalogue/reference_db.h"
#include "foundation/disk_file.h"
#include "foundation/log.h"
#include "foundation/meta_header.h"
#include "foundation/settings.h"
#include "parking/park_airport.h"
#include "shell/range.h"
#include "tests/common/sandbox.h"

class AirportsTest : public ::testing::Test {
public:
    TempFolder root;
    fs::path previousDir;
    ScopedEnv downloadUrl{"VEXA_DOWNLOAD_URL", "file://" + (root.path() / "server").string() + "/"};

    void SetUp() override {
        previousDir = fs::current_path();
        fs::create_directories(root / "program" / "input");
        fs::create_directories(root / "program" / "airports");
        fs::create_directories(root / "server" / "MSFS" / "archive" / "stock");
        fs::create_directories(root / "server" / "MSFS2024");
        fs::current_path(root / "program");
        gf_openLog(root / "program" / "Log.txt");
        resetState();
        gf_resetReadOnlyReports();
    }

    void TearDown() override {
        resetState();
        gf_resetReadOnlyReports();
        gf_closeLog();
        fs::current_path(previousDir);
    }

    static void resetState() {
        gf_resetParking();
        gf_resetAirports();
        gf_resetReferenceDatabase();
        currentApfHeader = ApfHeader{};
        currentQualityFactors = QualityFactors{};
        learnedUpdateCount = 0;
        learnedParamsChanged = 0;
        simFamilyName.set("MSFS");
        for (IntParameter* p :
             std::initializer_list<IntParameter*>{&parking_percentage, &MAX_LIVE, &LATERAL_RANGE, &MAX_FIT})
            p->value = p->defaultValue;
        for (BoolParameter* p : {&LEARN_SOFT, &AUTO_RANGE, &PARK_FAKE, &WEEK, &PARK_SOFT, &INITIAL_LOAD_ONLY,
                                 &RT_PARKTRAFFIC_ONLY, &MSFS_2020})
            p->value = p->defaultValue;
        gf_resetRange(LATERAL_RANGE.defaultValue);
    }

    fs::path program() const { return root / "program"; }
    fs::path server() const { return root / "server"; }

    static void setParkAirport(const std::string& icao) {
        CurrentAirport a;
        a.icao = icao;
        gf_setCurrentAirport(a);
    }

    static std::string readText(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void writeText(const fs::path& p, const std::string& text) {
        if (p.has_parent_path()) fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
    }
    std::string logText() const { return readText(program() / "Log.txt"); }
    bool logHas(const std::string& part) const { return logText().find(part) != std::string::npos; }

    // An airport parking file with the program's meta header, the given parameters and stands.
    static std::string apfText(const std::vector<std::pair<std::string, std::string>>& parameters,
                               const std::string& stands, const std::string& meta = kMeta) {
        std::string text = "<?xml version=\"1.0\"?>\n" + meta + "<parameters>\n";
        for (const auto& [name, value] : parameters)
            text += fmt::format("<parameter name=\"{}\" value=\"{}\"/>\n", name, value);
        return text + "</parameters>\n<parkpositions>\n" + stands + "</parkpositions>\n";
    }
    static inline const std::string kMeta =
        "<meta><info name=\"author\" value=\"Vexa\"/><info name=\"version\" value=\"1.0.0\"/>"
        "<info name=\"date\" value=\"Dec 10, 2026\"/></meta>\n";
    // A stand in full form at a latitude offset in metres north of 47.0, 8.0.
    static std::string stand(const std::string& id, double northMetres, double radius = 20.0,
                             const std::string& extra = "", const std::string& options = "") {
        return fmt::format("<parkpos id=\"{}\" latitude=\"{:.6f}\" longitude=\"8.000000\" heading=\"90.0\" "
                           "radius=\"{:.1f}\" cargo=\"false\" ramp=\"true\" {}>{}</parkpos>\n",
                           id, 47.0 + northMetres / 1852.0 / 60.0, radius, extra, options);
    }
};
