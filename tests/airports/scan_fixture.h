#pragma once
// A temporary program folder as working folder, the log open in it, the 2020 simulator, an empty scan
// report and no running task; the BGL decoder's handlers collect what it hands on.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "airports/bgl_decoder.h"
#include "airports/scan_report.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/tasks.h"
#include "tests/common/bgl_builder.h"
#include "tests/common/sandbox.h"

class ScanTest : public ::testing::Test {
protected:
    TempFolder dir;
    fs::path previousDir;

    // What the decoder handed on.
    struct Generated {
        AirportPackage package;
        std::int32_t helipads = 0;
    };
    std::vector<Generated> generated;
    std::vector<std::string> linkedCodes;
    std::vector<std::string> unrecognised;
    bool linkAnswer = false;
    std::int32_t archivedStands = 0;
    std::string publisher = "unknown";

    BglAirportHandlers handlers() {
        BglAirportHandlers h;
        h.link = [this](AirportPackage& p, std::int32_t& archived, const std::string& path) {
            p.bglPath = path;
            p.publisher = publisher;
            archived = archivedStands;
            linkedCodes.push_back(p.icao);
            return linkAnswer;
        };
        h.generate = [this](AirportPackage& p, std::int32_t helipads) { generated.push_back({p, helipads}); };
        h.unrecognised = [this](const std::string& path) { unrecognised.push_back(path); };
        h.airportName = [](const std::string& icao) {
            return icao == "EDDF" ? std::string("Frankfurt") : std::string();
        };
        return h;
    }

    void SetUp() override {
        previousDir = fs::current_path();
        fs::current_path(dir.path());
        gf_openLog(dir / "Log.txt");
        MSFS_2020.value = true;
        taskCount = 0;
        gf_resetScanReport();
    }
    void TearDown() override {
        gf_closeLog();
        fs::current_path(previousDir);
        MSFS_2020.value = MSFS_2020.defaultValue;
        taskCount = 0;
        gf_resetScanReport();
    }

    // Decodes the bytes as one file.
    void decode(const std::vector<std::uint8_t>& bytes, const std::string& path = "test.bgl") {
        lf_decodeBglWords(BglWords(bytes.data(), bytes.size()), path, handlers());
    }
    // The one airport decoded from one airport record of the given sub-records.
    const AirportPackage& decodeOne(const std::vector<bgl::Record>& subRecords, std::int32_t altitudeMm = 0) {
        decode(bgl::file({bgl::section({bgl::airport("EDDF", altitudeMm, subRecords)})}));
        EXPECT_EQ(generated.size(), 1u);
        if (generated.empty()) generated.push_back({});
        return generated.front().package;
    }
    static std::vector<std::string> names(const AirportPackage& p) {
        std::vector<std::string> out;
        for (const ParkPos& s : p.stands) out.push_back(s.name);
        return out;
    }
    static bool hasLine(const std::vector<std::string>& lines, const std::string& part) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
    static bool reportHas(const std::string& part) { return hasLine(gf_scanReportLines(), part); }
    std::string logText() const {
        std::ifstream in(dir / "Log.txt");
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
};
