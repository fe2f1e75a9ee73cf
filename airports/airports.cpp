#include "airports/airports.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <exception>
#include <stdexcept>

#include <fmt/format.h>

#include "foundation/file_utils.h"
#include "foundation/log.h"

std::vector<Airport> airportList;
bool airportsLoaded = false;
std::unordered_map<std::string, std::string> airportNames;
std::atomic<int> addonAirportsFound{0};

namespace {

constexpr std::size_t kAirportCapacity = 44000;

// The standard string-to-double conversion: leading blanks allowed, text behind the number ignored; no
// number or a value out of range is an error with the conversion's text.
double toDouble(const char* text) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text) throw std::invalid_argument("invalid stod argument");
    if (errno == ERANGE) throw std::out_of_range("stod argument out of range");
    return value;
}

}  // namespace

std::filesystem::path gf_airportsFile() { return dataNames::inputFolder / dataNames::airportsMsfsFile; }
std::filesystem::path gf_airportNamesFile() { return dataNames::inputFolder / "airports_msfs_names.xml"; }

void lf_addAirport(const pugi::xml_node& element, std::string code) {
    Airport airport;
    airport.icao = std::move(code);
    airport.altitude = toDouble(element.attribute("alt").value());
    airport.latitude = toDouble(element.attribute("lat").value());
    airport.longitude = toDouble(element.attribute("lon").value());
    airport.iata = element.attribute("iata").value();
    airportList.push_back(std::move(airport));
}

bool gf_readAirports() {
    if (airportsLoaded) return !airportList.empty();
    const std::filesystem::path path = gf_airportsFile();
    try {
        if (airportList.capacity() < kAirportCapacity) airportList.reserve(kAirportCapacity);
        pugi::xml_document document;
        const pugi::xml_parse_result result = document.load_file(path.c_str());
        if (!result) throw std::runtime_error(path.string() + " not loaded " + result.description());
        const pugi::xml_node root = document.child("airports");
        if (!root) throw std::runtime_error(path.string() + " not found");
        for (const pugi::xml_node& element : root.children("airport"))
            lf_addAirport(element, element.attribute("code").value());
        std::sort(airportList.begin(), airportList.end(),
                  [](const Airport& a, const Airport& b) { return a.icao < b.icao; });
        gf_log(fmt::format("{} airports read from \"{}\"", airportList.size(), path.string()));
        airportList.shrink_to_fit();
        airportsLoaded = true;
        return !airportList.empty();
    } catch (const pugi::xpath_exception& e) {
        // A half-read list must not stay: a retry would append its airports a second time.
        airportList.clear();
        throw ovk::UserErrorException(87, e.what());
    } catch (const ovk::UserErrorException&) {
        airportList.clear();
        throw;
    } catch (const std::exception& e) {
        airportList.clear();
        throw ovk::UserErrorException(88, e.what());
    }
}

bool gf_readAirportNames() {
    const std::filesystem::path path = gf_airportNamesFile();
    pugi::xml_document document;
    if (document.load_file(path.c_str())) {
        for (const pugi::xml_node& element : document.child("AirportNames").children("airport"))
            airportNames.try_emplace(element.attribute("ICAO").value(), element.attribute("name").value());
    }
    gf_log(fmt::format("{} airport names read from \"{}\"", airportNames.size(), path.string()));
    return !airportNames.empty();
}

std::optional<Airport> gf_findAirport(std::string_view icao) {
    for (const Airport& a : airportList)
        if (a.icao == icao) return a;
    return std::nullopt;
}

std::string gf_parkAirportText(const Airport& airport) {
    std::string text = airport.icao.empty() ? std::string("?") : airport.icao;
    if (!airport.iata.empty()) text += " (" + airport.iata + ")";
    return text;
}

bool gf_mentionsAirportCode(std::string_view text, const Airport& airport) {
    std::string mark = "-" + airport.icao + "-";
    if (text.find(mark) != std::string_view::npos) return true;
    for (char& c : mark) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.find(mark) != std::string_view::npos;
}

bool lf_numberAfterCode::operator()(std::string_view name) const {
    if (!name.starts_with(icao_)) return false;
    const std::string_view rest = name.size() > 4 ? name.substr(4) : std::string_view{};
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (error == std::errc{} && end != rest.data())
        number_ = value;
    else
        gf_logError(fmt::format("{} {} {} {}", publisher_, icao_, name, "invalid number"));
    return true;
}

void gf_resetAirports() {
    airportList.clear();
    airportList.shrink_to_fit();
    airportsLoaded = false;
    airportNames.clear();
}
