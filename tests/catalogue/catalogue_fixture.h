#pragma once
// A temporary program folder per test (working folder, AppData and the download server as a
// file:// folder inside it), a fresh catalogue, the log open in that folder and a seeded random
// engine.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <optional>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/livery_cache.h"
#include "catalogue/livery_record.h"
#include "catalogue/regcodes.h"
#include "catalogue/similar_models.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/settings.h"
#include "tests/common/sandbox.h"
#include "tools/dbtool/dbtool.h"

namespace cattest {

namespace fs = std::filesystem;

// A small reference database with plain codes; the fixture enciphers it with the data tool.
inline const char* plainDatabase = R"(<?xml version="1.0"?>
<aircrafts><aircraft types="A319,A320,A321,B737,B738,B77W,B744,C172,C182,PA28,BE58,C25A,C56X,EC35,H145,F18,MD11"/></aircrafts>
<high_performance><hpf types="F18"/></high_performance>
<heavy><hvy types="B77W,B744,MD11"/></heavy>
<large><lar types="A319,A320,A321,B737,B738,MD11"/></large>
<buzjet><bzj types="C25A,C56X"/></buzjet>
<rotorcraft><rot types="EC35,H145"/></rotorcraft>
<cargo_types><cargo_type types="B744,MD11"/></cargo_types>
<similar_types><similar types="A321,A320,A319"/><similar types="B738,B737"/><similar types="C182,C172,PA28"/></similar_types>
<ICAO_airlines><ICAO codes="DLH,BAW,KLM,ZZZ,PVT,GEC,DHL"/></ICAO_airlines>
<cargo_operators><ICAO codes="GEC,DHL"/></cargo_operators>
<publishers><pub names="Aerosoft,AS-"/><pub names="FlyTampa"/><pub names="FlyTampa"/></publishers>
<wingspans>
  <wingspan type="A320" meters="35.8"/>
  <wingspan type="A320" meters="40"/>
  <wingspan type="B744" meters="64.4"/>
  <wingspan type="C172" meters="11"/>
  <wingspan type="A321" meters="35.8"/>
</wingspans>
<fixes><fx wro="A20N" cor="A320"/><fx wro="A20N" cor="A321"/><fx wro="XYZ" cor="QQQ"/></fixes>
<simaddons20><simaddon20 arpts="EDDF,EGLL"/></simaddons20>
<thirdparties20><thirdpartie20 pub="Aerosoft" arpts="EDDM,LOWW"/></thirdparties20>
<thirdparties24><thirdpartie24 pub="FlyTampa" arpts="LOWW"/></thirdparties24>
<dbase>
  <db reg="D-AIPA" airl="DLH" type="A320"/>
  <db reg="DAIPA" airl="BAW" type="A319"/>
  <db reg="G-EUPA" airl="BAW" type="A319" opr="KLM"/>
  <db reg="D-ALCA" airl="GEC" type="MD11" cargo="true"/>
  <db reg="D-EABC" airl="PVT" type="C172"/>
  <db reg="N172" airl="PVT" type="C172"/>
  <db reg="D-AIPA" airl="KLM" type="B738"/>
</dbase>
)";

class CatalogueTest : public ::testing::Test {
protected:
    fs::path dir;
    std::optional<Sandbox> sandbox;

    void SetUp() override {
        sandbox.emplace(Sandbox::Options{.openLog = false, .resetSettings = false});
        dir = sandbox->program();
        fs::create_directories(dir / "input");
        fs::create_directories(dir / "output");
        fs::create_directories(dir / "server");
        sandbox->setEnv("VEXA_DOWNLOAD_URL", "file://" + (dir / "server").string() + "/");
        gf_resetCatalogue();
        sandbox->openLog();
        gf_seedRandom(12345);
        MATCHING_DEPTH.value = 4;
        LOG.value = true;
        LIGHT_AIRCRAFT.value = true;
        HIGH_PERF_AIRCRAFT.value = true;
        HELICOPTERS.value = true;
        SCAN_LIVERIES.value = false;
    }

    void TearDown() override {
        gf_closeLog();
        gf_resetCatalogue();
        sandbox.reset();
        MATCHING_DEPTH.value = MATCHING_DEPTH.defaultValue;
        LOG.value = LOG.defaultValue;
        LIGHT_AIRCRAFT.value = LIGHT_AIRCRAFT.defaultValue;
        HIGH_PERF_AIRCRAFT.value = HIGH_PERF_AIRCRAFT.defaultValue;
        HELICOPTERS.value = HELICOPTERS.defaultValue;
        SCAN_LIVERIES.value = SCAN_LIVERIES.defaultValue;
    }

    static std::string readText(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static std::vector<std::string> readLines(const fs::path& p) {
        std::vector<std::string> lines;
        std::ifstream in(p);
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    static void writeText(const fs::path& p, const std::string& text) {
        if (p.has_parent_path()) fs::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::string logText() const { return readText(dir / "Log.txt"); }
    bool logHas(const std::string& part) const { return logText().find(part) != std::string::npos; }

    static std::string encipheredDatabase(const std::string& plain) {
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_string(plain.c_str()));
        dbtool::encipherDatabase(doc);
        return dbtool::xmlText(doc);
    }
    // input/temp2.xml from a plain database text.
    void writeDatabaseFile(const std::string& plain = plainDatabase) {
        writeText(dir / "input" / "temp2.xml", encipheredDatabase(plain));
    }
    // dbase.zip on the download server.
    void serveDatabase(const std::string& plain = plainDatabase) {
        dbtool::writeZip(dir / "server" / "dbase.zip", "temp2.xml", encipheredDatabase(plain));
    }
    void loadDatabase(const std::string& plain = plainDatabase) {
        writeDatabaseFile(plain);
        gf_readDatabaseFile(gf_databasePath());
    }
    // AIG-regcodes.zip on the download server from a plain document.
    void serveAigRegcodes(const std::string& plainXml) {
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(plainXml.c_str()));
        dbtool::encipherRegcodes(doc);
        dbtool::writeZip(dir / "server" / "AIG-regcodes.zip", "AIG-regcodes.xml", dbtool::xmlText(doc));
    }

    // Writes the scan cache from the records and builds the livery database from it.
    void buildLiveries(const std::vector<LiveryRecord>& records) {
        liveryList.assign(records.begin(), records.end());
        liveryList.sort(liveryOrderLess);
        lf_writeLiveriesScanned();
        liveryList.clear();
        lf_processLiveries();
    }
};

inline LiveryRecord pax(const char* airline, const char* type, const char* title, const char* atc = "") {
    return LiveryRecord::make(airline, type, title, atc, false);
}
inline LiveryRecord freight(const char* airline, const char* type, const char* title, const char* atc = "") {
    return LiveryRecord::make(airline, type, title, atc, true);
}

}  // namespace cattest
