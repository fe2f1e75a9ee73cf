// The demo's add-on airport package (demo/community/vexa-airport-eddv-demo): its BGL file is made by the BGL
// builder, and a scan of the demo's Community folder generates the airport's parking file. Run with
// VEXA_WRITE_DEMO_DATA=1 to write the package's BGL file again after a change here.
#include "scan_fixture.h"

#include <cstdlib>

#include <pugixml.hpp>

#include "airports/addon_links.h"
#include "airports/addon_scan.h"
#include "airports/airports.h"
#include "airports/apf_lookup.h"

namespace {

const fs::path demoPackage = fs::path(VEXA_SOURCE_DIR) / "demo" / "community" / "vexa-airport-eddv-demo";
const fs::path demoBgl = demoPackage / "scenery" / "vexa" / "EDDV_demo.bgl";

// Hannover's southern apron, made up: six gates, two cargo stands and a helipad.
std::vector<std::uint8_t> demoAirport() {
    using namespace bgl;
    std::vector<Stand> stands;
    for (std::uint32_t i = 1; i <= 6; ++i)
        stands.push_back({.nameCode = 10,
                          .type = 7,
                          .number = i,
                          .radius = 30.0f,
                          .heading = 0.0f,
                          .latitude = 52.4590,
                          .longitude = 9.6830 + 0.0008 * i});
    for (std::uint32_t i = 1; i <= 2; ++i)
        stands.push_back({.nameCode = 12 + 2,
                          .type = 5,
                          .number = i,
                          .radius = 35.0f,
                          .heading = 180.0f,
                          .latitude = 52.4578,
                          .longitude = 9.6940 + 0.0009 * i});
    return file(
        {section({other(0x22, 8)}, 9),
         section({airport("EDDV", 54560, {other(0xCE, 12), helipad(52.4600, 9.6790, 24.0f), parkingList(stands)})})});
}

}  // namespace

TEST_F(ScanTest, DemoAddonAirportPackage) {
    const auto bytes = demoAirport();
    if (std::getenv("VEXA_WRITE_DEMO_DATA")) {
        fs::create_directories(demoBgl.parent_path());
        bgl::write(demoBgl, bytes);
    }
    std::ifstream in(demoBgl, std::ios::binary);
    const std::vector<std::uint8_t> stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(stored, bytes);

    const ScopedEnv server("VEXA_DOWNLOAD_URL", "file://" + (dir / "server").string() + "/");
    fs::create_directories(dir / "Community");
    fs::copy(demoPackage, dir / "Community" / demoPackage.filename(), fs::copy_options::recursive);
    airportFilesChanged = false;
    EXPECT_TRUE(lf_scanAirportRoots({(dir / "Community").string()}));
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((dir / "airports" / "my_thirdparty" / "EDDV.xml").c_str()));
    std::vector<std::string> ids;
    for (pugi::xml_node n : doc.child("parkpositions").children("parkpos")) ids.push_back(n.attribute("id").value());
    EXPECT_EQ(ids, (std::vector<std::string>{"C1", "C2", "g1", "g2", "g3", "g4", "g5", "g6", "helipad1"}));
    EXPECT_EQ(gf_checkApfPublisher(dir / "airports" / "my_thirdparty" / "EDDV.xml"), "");
    airportFilesChanged = false;
}
