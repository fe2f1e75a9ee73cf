// Flight-plan files of AI objects.
#include "engine/flight_plan.h"

#include <fstream>
#include <mutex>
#include <string>

#include <fmt/format.h>

#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/version.h"

namespace {

std::filesystem::path planFolder;

// Texts written into the XML document are escaped so that a code from the feed cannot break it.
std::string xmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

std::filesystem::path folder() {
    if (planFolder.empty()) planFolder = gf_getAppDataPath() / std::string(programShortName) / "orig_dest";
    return planFolder;
}

}  // namespace

bool gf_createFlightPlanFolder() {
    planFolder = gf_getAppDataPath() / std::string(programShortName) / "orig_dest";
    const auto programFolder = planFolder.parent_path();
    if (!std::filesystem::exists(programFolder)) std::filesystem::create_directory(programFolder);
    if (!std::filesystem::exists(planFolder)) std::filesystem::create_directory(planFolder);
    return std::filesystem::exists(planFolder);
}

void gf_removeFlightPlanFolder() {
    // Files still being written must not land in, or keep, a folder that goes.
    gf_stopFlightPlanWriter();
    try {
        const auto f = folder();
        if (std::filesystem::exists(f)) std::filesystem::remove_all(f);
    } catch (const std::exception& e) {
        gf_log(fmt::format("gf_removeFlightPlanFolder: {}", e.what()));
    }
}

std::filesystem::path gf_flightPlanPath(uint32_t objectId) { return folder() / fmt::format("{}.pln", objectId); }

bool gf_writeFlightPlan(const std::filesystem::path& path, const SimAircraft& ac) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    const auto category = static_cast<AircraftCategory>(ac.category);
    const bool ifr = category == AircraftCategory::Buzjets || category == AircraftCategory::Large ||
                     category == AircraftCategory::Heavy;
    const std::string text =
        fmt::format("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
                    "<FlightPlan.FlightPlan>\n"
                    "<FPType>{}</FPType>\n"
                    "<DepartureID>{}</DepartureID>\n"
                    "<DestinationID>{}</DestinationID>\n"
                    "</FlightPlan.FlightPlan>\n"
                    "</SimBase.Document>\n",
                    ifr ? "IFR" : "VFR", xmlEscape(ac.identity.origin), xmlEscape(ac.identity.destination));
    file << text;
    file.close();
    return !file.fail();
}
