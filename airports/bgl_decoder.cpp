#include "airports/bgl_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>

#include <fmt/format.h>

#include "airports/scan_report.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/tasks.h"

namespace {

constexpr double latitudeFactor = 3.3527612686157227e-07;  // 180 / 2^29
constexpr double longitudeFactor = 4.470348358154297e-07;  // 360 / (3 * 2^28)
constexpr double metresPerNm = 1852.0;
constexpr double feetPerMetre = 3.2808399;
constexpr double twoPi = 6.283185307179586;
constexpr double degToRad = 0.017453292519943295;
constexpr std::array<char, 6> duplicateSuffixes = {'a', 'b', 'c', 'd', 'e', 'f'};

std::uint32_t littleEndianWord(const std::uint8_t* b) {
    return std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) | (std::uint32_t{b[3]} << 24);
}

void wordsFromBytes(std::vector<std::uint32_t>& words) {
    if constexpr (std::endian::native != std::endian::little) {
        for (std::uint32_t& w : words) {
            std::uint8_t b[4];
            std::memcpy(b, &w, 4);
            w = littleEndianWord(b);
        }
    }
}

bool is2020Mode() { return MSFS_2020.value.load(); }

}  // namespace

// ---- words ----

BglWords::BglWords(const std::uint8_t* bytes, std::size_t size) : words_((size + 3) / 4, 0) {
    if (size > 0) std::memcpy(words_.data(), bytes, size);
    wordsFromBytes(words_);
}

std::optional<BglWords> BglWords::read(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0) return std::nullopt;
    file.seekg(0, std::ios::beg);
    BglWords result;
    result.words_.assign((static_cast<std::size_t>(size) + 3) / 4, 0);
    if (size > 0 && !file.read(reinterpret_cast<char*>(result.words_.data()), size)) return std::nullopt;
    wordsFromBytes(result.words_);
    return result;
}

std::int32_t BglWords::recordSize(std::size_t i) const {
    const std::uint32_t low = (*this)[i] >> 16;
    const std::uint32_t high = (*this)[i + 1] & 0xFFFF;
    return static_cast<std::int32_t>(low | (high << 16));
}

void BglWords::outOfRange(std::size_t i) const {
    throw std::out_of_range(fmt::format("BGL word {} lies beyond the end of the file ({} words)", i, words_.size()));
}

// ---- coordinates and codes ----

double gf_bglLatitude(std::uint32_t raw) { return 90.0 - raw * latitudeFactor; }
double gf_bglLongitude(std::uint32_t raw) { return raw * longitudeFactor - 180.0; }

bool gf_bglPositionValid(double latitude, double longitude) {
    if (!(latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0)) return false;
    const bool inNullBox = latitude >= 0.0 && latitude <= 0.0009 && longitude >= 0.0 && longitude <= 0.05;
    return !inNullBox;
}

std::string lf_decodeIdentifierOrRegionCode(std::uint32_t packed, bool& valid) {
    valid = false;
    std::uint32_t value = packed >> 5;
    std::string code;
    if (value < 38) return code;
    bool blank = false;
    while (value > 0) {
        const std::uint32_t digit = value % 38;
        value /= 38;
        if (digit == 0) {
            blank = true;
            code.push_back(' ');
        } else if (digit >= 2 && digit <= 11) {
            code.push_back(static_cast<char>(digit + 46));
        } else {
            code.push_back(static_cast<char>(digit + 53));
        }
    }
    std::reverse(code.begin(), code.end());
    valid = code.size() == 4 && !blank;
    return code;
}

std::string lf_parkingNamePrefix(std::uint8_t nameCode) {
    static constexpr std::array<std::string_view, 11> prefixes = {"",   "r",   "p",  "np",  "ep", "sep",
                                                                  "sp", "swp", "wp", "nwp", "g"};
    if (nameCode < prefixes.size()) return std::string(prefixes[nameCode]);
    if (nameCode == 11) return {};
    return std::string(1, static_cast<char>(nameCode + 53));
}

// ---- probe ----

namespace {

// The section entries that end before the file does: all of them in a sound file. A header that claims more
// sections than the file holds still has its earlier sections read.
std::uint64_t sectionEntriesInFile(std::uint64_t count, std::uint64_t fileSize) {
    if (fileSize <= bglHeaderBytes) return 0;
    return std::min(count, (fileSize - bglHeaderBytes - 1) / bglSectionEntryBytes);
}

}  // namespace

bool lf_isAirportBglHead(const std::uint8_t* bytes, std::size_t available, std::uint64_t fileSize) {
    if (fileSize < bglHeaderBytes || available < bglHeaderBytes) return false;
    const std::uint64_t entries = sectionEntriesInFile(littleEndianWord(bytes + 20), fileSize);
    if (entries == 0) return false;
    const std::uint64_t tableEnd = bglHeaderBytes + bglSectionEntryBytes * entries;
    if (available < tableEnd) return false;
    for (std::uint64_t i = 0; i < entries; ++i)
        if (littleEndianWord(bytes + bglHeaderBytes + bglSectionEntryBytes * i) == bglAirportSection) return true;
    return false;
}

bool lf_isAirportBgl(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < static_cast<std::streamoff>(bglHeaderBytes)) return false;
    file.seekg(0, std::ios::beg);
    std::vector<std::uint8_t> head(bglHeaderBytes);
    if (!file.read(reinterpret_cast<char*>(head.data()), bglHeaderBytes)) return false;
    const std::uint64_t entries =
        sectionEntriesInFile(littleEndianWord(head.data() + 20), static_cast<std::uint64_t>(size));
    if (entries == 0) return false;
    const std::uint64_t tableEnd = bglHeaderBytes + bglSectionEntryBytes * entries;
    head.resize(tableEnd);
    if (!file.read(reinterpret_cast<char*>(head.data() + bglHeaderBytes), tableEnd - bglHeaderBytes)) return false;
    return lf_isAirportBglHead(head.data(), head.size(), static_cast<std::uint64_t>(size));
}

// ---- decoder ----

void lf_decodeHelipad(std::size_t record, const BglWords& words, AirportPackage& package, BglAirportState& state) {
    const double latitude = gf_bglLatitude(words[record + 4]);
    const double longitude = gf_bglLongitude(words[record + 3]);
    float size = std::bit_cast<float>(words[record + 7]);
    if (!gf_bglPositionValid(latitude, longitude)) {
        lf_scanReport(fmt::format("lat/lon helipad incorrect (skipped): {:.6f},{:.6f}", latitude, longitude));
        return;
    }
    const std::pair<double, double> position{latitude, longitude};
    if (std::find(state.helipads.begin(), state.helipads.end(), position) != state.helipads.end()) {
        lf_scanReport(fmt::format("double helipad {} (skipped) {:.6f},{:.6f}", package.name, latitude, longitude));
        return;
    }
    // A size that is no number of metres would carry NaN or a negative radius into the stand geometry.
    if (!std::isfinite(size) || size < 0.0f) size = 0.0f;
    state.helipads.push_back(position);
    ParkPos stand;
    stand.name = fmt::format("helipad{}", state.helipadCounter);
    stand.latitude = latitude;
    stand.longitude = longitude;
    stand.heading = 0.0;
    stand.radius = size * 0.5 / metresPerNm;
    stand.heli = 1;
    package.stands.push_back(std::move(stand));
    ++state.helipadCounter;
}

void lf_decodeParkingList(std::size_t record, std::size_t end, const BglWords& words, AirportPackage& package,
                          BglAirportState& state, const std::string& bglPath) {
    const std::uint32_t count = words[record + 1] >> 16;  // u16 at record byte 6
    std::size_t entry = record + 2;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t first = words[entry];
        const std::size_t next = entry + 14 + (first >> 24);
        // An entry that runs past its list would read the next record as a stand.
        if (next > end) break;
        const std::uint8_t nameCode = first & 0x3F;
        const std::uint32_t type = (first >> 8) & 0xF;
        const std::uint32_t number = (first >> 12) & 0xFFF;
        const float radius = std::bit_cast<float>(words[entry + 1]);
        const std::size_t current = entry;
        entry = next;
        if (!(radius > 1.0f && radius < 200.0f)) {
            lf_scanReport(fmt::format("skipped position with radius {:.1F} meters, in {}", radius, bglPath));
            continue;
        }
        const std::string name = lf_parkingNamePrefix(nameCode) + std::to_string(number);
        if (type == 0 || type == 12 || type == 13) continue;
        const double latitude = gf_bglLatitude(words[current + 8]);
        const double longitude = gf_bglLongitude(words[current + 7]);
        if (!gf_bglPositionValid(latitude, longitude)) {
            lf_scanReport(fmt::format("lat/lon: {:.6f},{:.6f}, incorrect (skipped) ", latitude, longitude));
            continue;
        }
        std::string used = name;
        bool suffixed = false;
        if (!state.standNames.insert(name).second) {
            state.duplicateNames = true;
            used.clear();
            for (char letter : duplicateSuffixes) {
                std::string candidate = name + letter;
                if (state.standNames.insert(candidate).second) {
                    used = std::move(candidate);
                    suffixed = true;
                    break;
                }
            }
            if (used.empty()) {
                lf_scanReport(
                    fmt::format("{}Warning more then 6 the same ids {}, in {}", scanAttention, name, bglPath));
                continue;
            }
        }
        const float degrees = std::bit_cast<float>(words[current + 2]);
        ParkPos stand;
        stand.name = std::move(used);
        stand.latitude = latitude;
        stand.longitude = longitude;
        // A heading of 0 (or one that is no number) is stored as a full turn, which the file keeps apart
        // from "no heading".
        stand.heading = (degrees == 0.0f || !std::isfinite(degrees)) ? twoPi : degrees * degToRad;
        stand.radius = radius / metresPerNm;
        stand.cargo = type == 5 ? 1 : 0;
        stand.ramp = ((type >= 1 && type <= 7) || type == 14) ? 1 : 0;
        stand.heli = 0;
        stand.suffixMark = suffixed ? 1 : 0;
        package.stands.push_back(std::move(stand));
    }
}

void lf_renameDuplicateStands(AirportPackage& package) {
    auto& stands = package.stands;
    for (;;) {
        const auto marked =
            std::find_if(stands.begin(), stands.end(), [](const ParkPos& s) { return s.suffixMark != 0; });
        if (marked == stands.end() || marked->name.empty()) break;
        const std::string base = marked->name.substr(0, marked->name.size() - 1);
        struct Member {
            std::size_t index;
            double radiusMetres;
        };
        std::vector<Member> group;
        for (std::size_t i = 0; i < stands.size(); ++i) {
            const std::string& n = stands[i].name;
            const bool inGroup = n == base || (n.size() == base.size() + 1 && n.compare(0, base.size(), base) == 0 &&
                                               n.back() >= 'a' && n.back() <= 'f');
            if (inGroup) {
                stands[i].suffixMark = 0;
                group.push_back({i, stands[i].radius * metresPerNm});
            }
        }
        std::stable_sort(group.begin(), group.end(),
                         [](const Member& a, const Member& b) { return a.radiusMetres > b.radiusMetres; });
        for (std::size_t k = 0; k < group.size(); ++k)
            stands[group[k].index].name = k == 0 ? base : base + duplicateSuffixes[(k - 1) % duplicateSuffixes.size()];
    }
}

void lf_decodeAirport(std::size_t record, const BglWords& words, std::int32_t recordWords, const std::string& icao,
                      const std::string& bglPath, const BglAirportHandlers& handlers) {
    AirportPackage package;
    package.icao = icao;
    std::int32_t archived = 0;
    const bool linked = handlers.link ? handlers.link(package, archived, bglPath) : false;
    if (!is2020Mode() && linked) return;

    const std::int32_t millimetres = static_cast<std::int32_t>(words[record + 5]);
    const long feet = std::lround(millimetres * feetPerMetre / 1000.0);
    package.altitude = (feet < -20 || feet > 10000) ? 0 : static_cast<std::int32_t>(feet);

    BglAirportState state;
    package.name = handlers.airportName ? handlers.airportName(icao) : std::string{};

    const std::size_t end = record + static_cast<std::size_t>(std::max(recordWords, 0));
    std::size_t sub = record + 17;
    while (sub < end) {
        const std::uint16_t id = words.recordId(sub);
        const std::int32_t size = words.recordSize(sub);
        if (size < 4) break;
        const std::size_t next = sub + static_cast<std::size_t>(size / 4);
        if (id == bglHelipadRecord) {
            lf_decodeHelipad(sub, words, package, state);
        } else if (id == bglParkingListRecord) {
            lf_decodeParkingList(sub, std::min(next, end), words, package, state, bglPath);
            if (state.duplicateNames) lf_renameDuplicateStands(package);
            break;
        }
        sub = next;
    }

    const auto standCount = static_cast<std::int64_t>(package.stands.size());
    const bool moreThanArchived = standCount > archived && package.publisher != "simaddon";
    if (moreThanArchived)
        lf_scanReport(
            fmt::format("{}{} has {} parkpos while archived one has {}", scanAttention, icao, standCount, archived));
    if ((!linked || moreThanArchived) && handlers.generate) handlers.generate(package, state.helipadCounter - 1);
}

void lf_decodeBglWords(const BglWords& words, const std::string& bglPath, const BglAirportHandlers& handlers) {
    if (words.size() < 15 || words[1] != bglHeaderBytes) return;
    const std::uint64_t count = words[5];
    const bool mode2020 = is2020Mode();
    // Sections in file order: the airports of the sections before one that runs past the end of the file are
    // handed on before its range error ends the file.
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t entry = 14 + 5 * i;
        const std::uint32_t sizeCode = words[entry + 1];
        if (words[entry] != bglAirportSection || ((sizeCode & 0x10000) | 0x40000) != 0x40000) continue;
        const std::size_t subsections = words[entry + 3] / 4;
        std::size_t position = words[subsections + 2] / 4;
        while (position < words.size()) {
            const std::uint16_t id = words.recordId(position);
            const std::int32_t size = words.recordSize(position);
            if (size < 4) break;
            if (!mode2020 && id == bglUndecodableAirportRecord) {
                if (handlers.unrecognised) handlers.unrecognised(bglPath);
                return;
            }
            if (id == bglAirportRecord) {
                bool valid = false;
                const std::string icao = lf_decodeIdentifierOrRegionCode(words[position + 10], valid);
                if (valid) lf_decodeAirport(position, words, size / 4, icao, bglPath, handlers);
            }
            position += static_cast<std::size_t>(size / 4);
        }
    }
}

void lf_toParkingPositions(const std::filesystem::path& path, const BglAirportHandlers& handlers) {
    struct TaskDone {
        ~TaskDone() { gf_taskDone(); }
    } done;
    const std::string bglPath = path.string();
    try {
        const std::optional<BglWords> words = BglWords::read(path);
        if (!words) return;
        lf_decodeBglWords(*words, bglPath, handlers);
    } catch (const std::exception&) {
        gf_logError(fmt::format("Exception in lf_toParkingPositions: {}", bglPath));
        throw;
    }
}
