#include "airports/apf_reader.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <numeric>
#include <unordered_set>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/airport_ui.h"
#include "airports/apf_lookup.h"
#include "airports/current_airport.h"
#include "airports/learned.h"
#include "airports/parking.h"
#include "airports/parking_file.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/meta_header.h"
#include "foundation/settings.h"
#include "shell/display.h"
#include "shell/fields.h"

namespace fs = std::filesystem;

ApfHeader currentApfHeader;
QualityFactors currentQualityFactors;
std::atomic<std::int32_t> rtTrafficWeek{0};
std::atomic<double> parkAirportAltitude{0.0};
std::atomic<double> fieldElevationFt{0.0};
std::atomic<std::uint8_t> fieldElevationKnown{0};

namespace {

constexpr const char* kReader = "gf_readApf";

std::string lf_readApfErrorText(const std::exception& e) { return fmt::format("{}: {}", kReader, e.what()); }

std::string readFile(const std::string& path, ApfHeader& header, QualityFactors& quality) {
    if (path.empty()) return fmt::format("{} xml is empty...", kReader);
    if (gf_currentAirportCopy().icao.empty()) return fmt::format("{} no park airport set", kReader);
    fs::path file = path;
    if (!gf_isLocalApfPath(path)) {
        std::string error = gf_downloadApf(path, apfFiles::parkAirportDownload);
        if (!error.empty()) return error;
        file = apfFiles::parkAirportDownload;
    }
    handmadeLearned.store(0);
    // A setting changed before this read is no change of this airport: its learned file sets them now. One
    // changed from here on is saved when the airport is left.
    airportFileChanged.store(0);
    // Until the read has gone through, the stands in memory must not be saved over a learned file.
    learnedReadFailed.store(1);

    pugi::xml_document document;
    const pugi::xml_parse_result loaded = document.load_file(file.c_str());
    if (!loaded) return fmt::format("{} could not be loaded: {}", path, loaded.description());
    if (!gf_checkMetaData(document)) return fmt::format("{} but refused to load, copyright problem", path);

    rtTrafficWeek.store(lf_readIntParameter(document, apf::rtTrafficWeek).value_or(0));
    header.publisher = lf_readTextParameter(document, apf::publisher).value_or(std::string{});
    const std::optional<std::int32_t> altitude = lf_readIntParameter(document, apf::altitude);
    if (!altitude) throw ovk::UserErrorException(65, std::string("Parameter ") + apf::altitude + " not found");
    header.altitude = *altitude;
    parkAirportAltitude.store(static_cast<double>(*altitude));
    header.airportName = lf_readTextParameter(document, apf::airportName).value_or(std::string{});

    std::unordered_set<std::string> seen;
    for (const pugi::xml_node& parkpos : document.child(apf::standsElement).children(apf::standElement)) {
        std::string name = parkpos.attribute("id").value();
        if (!seen.insert(name).second)
            throw ovk::UserErrorException(94, fmt::format("Parking position {} appears more than once?", name));
        lf_readParkpos(parkpos, name, 1);
    }
    quality.real = lf_readIntParameter(document, apf::qfReal).value_or(-1);
    quality.soft = lf_readIntParameter(document, apf::qfSoft).value_or(-1);

    const fs::path learned = gf_learnedPathOf(path, header.publisher);
    header.learnedPath = learned;
    // The airport is read all the same; the save, which finds no path either, writes nothing.
    if (learned.empty()) {
        const std::string code = gf_currentAirportCopy().icao;
        if (gf_learnedFolderOf(header.publisher).empty())
            gf_logError(fmt::format("no learned file for {}: its publisher {:?} cannot be a folder name", code,
                                    header.publisher));
        else
            gf_logError(
                fmt::format("no learned file for {}: \"{}\" gives no file name below airports/learned", code, path));
    }
    if (!learned.empty() && fs::exists(learned)) {
        learnedReadFailed.store(0);
        lf_readLearned(learned, header);
        quality = gf_qualityFactor(currentStands);
        if (handmadeLearned.load() != 0) gf_log("A handmade airport file overruled the archived file!");
    } else {
        learnedReadFailed.store(0);
        parking_percentage.value.store(30);
        gf_enableControl(parking_percentage.controlId, false);
        gf_showIntField(parking_percentage);
        gf_logContinuation(fmt::format("{:24}: {}%", parking_percentage.name, 30));
    }

    gf_numberAndCoupleStands(currentStands);
    const bool handmade = handmadeLearned.load() != 0;
    gf_log(fmt::format("Airport file read from \"{}\" for {}", handmade ? learned.string() : path, header.airportName));
    gf_logContinuation(fmt::format("{:24}: {}", "publisher", header.publisher));
    gf_logContinuation(fmt::format("{:24}: {} ft", "altitude", header.altitude));
    gf_logContinuation(fmt::format("{:24}: {}", "num_parkpos", currentStands.size()));
    gf_logContinuation(fmt::format("{:24}: {}", "quality factor", gf_qualityText(quality)));
    gf_logContinuation(fmt::format("{:24}: {}", "RT traffic week", rtTrafficWeek.load()));

    mainWindow.standCount.store(currentStands.size());
    mainWindow.airportSourceText.set(header.publisher);
    mainWindow.airportFileMark.store(handmade);
    mainWindow.qualityText.set(gf_qualityText(quality));
    mainWindow.trafficWeek.store(rtTrafficWeek.load());
    mainWindow.invalidate(panel::statistics);
    parkingActive.exchange(1);
    standsLoaded = currentStands.empty() ? 0 : 1;
    gf_apfEnableFlushStatic();
    learnedParamsChanged.store(0);
    fieldElevationFt.store(static_cast<double>(header.altitude));
    fieldElevationKnown.store(1);
    return currentStands.empty() ? "no stands found" : "";
}

}  // namespace

std::string gf_readApf(const std::string& path, ApfHeader& header, QualityFactors& quality) {
    // Whatever the read left in currentStands, the other threads' copy of the names follows it.
    struct Publish {
        ~Publish() { gf_publishStandPlaces(); }
    } publish;
    try {
        return readFile(path, header, quality);
    } catch (const ovk::UserErrorException&) {
        throw;
    } catch (const std::exception& e) {
        return lf_readApfErrorText(e);
    }
}

void gf_numberAndCoupleStands(std::vector<ParkPos>& stands) {
    for (std::size_t i = 0; i < stands.size(); ++i) {
        stands[i].id = static_cast<std::uint32_t>(i + 1);
        stands[i].coupledIds.clear();
    }
    // Sweep in latitude order: the great-circle distance is never below the latitude difference (one minute
    // of arc is one nautical mile), so a pair further apart in latitude than the largest radius sum allows
    // cannot overlap, and the sweep stops there. Within the band, a pair is passed over when a lower bound of
    // its distance from the longitude difference already rules the overlap out: with h the haversine term,
    // d = 2R asin(sqrt h) >= 2R sqrt(cos a cos b) |sin(dlon / 2)| >= (2 / pi) R sqrt(cos a cos b) |dlon|.
    // The margins keep rounding from skipping a pair that the exact test would take.
    double largestRadius = 0.0;
    for (const ParkPos& s : stands) largestRadius = std::max(largestRadius, s.radius);
    const double reachDegrees = (2.0 * largestRadius / 1.1) / 60.0 * (1.0 + 1e-6) + 1e-12;
    std::vector<std::size_t> order(stands.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return stands[a].latitude < stands[b].latitude; });
    std::vector<double> cosLat(stands.size());
    for (std::size_t i = 0; i < stands.size(); ++i)
        cosLat[i] = std::abs(stands[i].latitude) <= 90.0 ? std::cos(stands[i].latitude * geo::deg2rad) : -1.0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        ParkPos& a = stands[order[i]];
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            ParkPos& b = stands[order[j]];
            if (b.latitude - a.latitude > reachDegrees) break;
            const double ca = cosLat[order[i]];
            const double cb = cosLat[order[j]];
            if (ca >= 0.0 && cb >= 0.0) {
                double dLon = std::abs(b.longitude - a.longitude);
                if (dLon > 180.0) dLon = 360.0 - dLon;
                const double lowerBound = 2.0 / geo::pi * geo::earthRadiusNm * std::sqrt(ca * cb) * dLon * geo::deg2rad;
                if (a.radius + b.radius < 1.1 * lowerBound * (1.0 - 1e-6)) continue;
            }
            const double d = gf_distanceNm(LatLon{a.latitude, a.longitude}, LatLon{b.latitude, b.longitude});
            if (a.radius + b.radius > 1.1 * d) {
                a.coupledIds.push_back(b.id);
                b.coupledIds.push_back(a.id);
            }
        }
    }
    for (ParkPos& s : stands) {
        std::sort(s.coupledIds.begin(), s.coupledIds.end());
        s.coupledIds.shrink_to_fit();
    }
}

void gf_leaveApf() {
    fieldElevationKnown.store(0);
    fieldElevationFt.store(0.0);
    parkAirportAltitude.store(0.0);
    rtTrafficWeek.store(0);
}
