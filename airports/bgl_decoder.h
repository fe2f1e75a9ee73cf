#pragma once
// The airports of a scenery BGL file: a cheap probe for an airport section, and the decoder that turns every
// airport record of such a file into an AirportPackage (code, name, altitude, one stand per usable parking
// place and helipad) and hands it to the add-on airport scan's handlers.
//
// The file is read whole as little-endian 32-bit words; every word is read through BglWords, which refuses
// any index beyond the file, so that a damaged or hostile file ends in an error, never in a read past its
// end. A record or sub-record that claims fewer than 4 bytes ends the walk it is part of.
//
// Threads: one decoding task per file, several at once; each owns its words and packages. Shared and read
// only while tasks run: the MSFS_2020 setting and what the handlers read. Report lines go through
// lf_scanReport.
// Units: file positions in degrees (raw values converted below), altitude millimetres in the file and feet in
// the package, stand radii metres in the file and nautical miles in a ParkPos, headings degrees in the file
// and radians in a ParkPos.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "airports/airport_package.h"

// Record ids.
inline constexpr std::uint16_t bglAirportRecord = 0x56;
inline constexpr std::uint16_t bglUndecodableAirportRecord = 0x113;  // a 2024 airport this decoder cannot read
inline constexpr std::uint16_t bglHelipadRecord = 0x26;
inline constexpr std::uint16_t bglParkingListRecord = 0xE7;
inline constexpr std::uint32_t bglAirportSection = 3;
inline constexpr std::uint32_t bglHeaderBytes = 56;
inline constexpr std::uint32_t bglSectionEntryBytes = 20;

// The words of one BGL file; the last word holds the remaining bytes and zeros above them.
class BglWords {
public:
    BglWords() = default;
    BglWords(const std::uint8_t* bytes, std::size_t size);
    // Nothing when the file cannot be opened or read.
    static std::optional<BglWords> read(const std::filesystem::path& path);

    std::size_t size() const { return words_.size(); }
    // Word i; std::out_of_range when i lies beyond the words read.
    std::uint32_t operator[](std::size_t i) const {
        if (i >= words_.size()) outOfRange(i);
        return words_[i];
    }
    std::uint16_t recordId(std::size_t i) const { return static_cast<std::uint16_t>((*this)[i] & 0xFFFF); }
    // The record length in bytes at bytes 2-5 of the record (not word-aligned), as a signed number.
    std::int32_t recordSize(std::size_t i) const;

private:
    [[noreturn]] void outOfRange(std::size_t i) const;
    std::vector<std::uint32_t> words_;
};

// What becomes of each decoded airport. The scan's handlers link the airport to an archived parking file,
// generate its file and note an undecodable one; tests collect the packages.
struct BglAirportHandlers {
    // Fills bglPath, publisher, manufacturer, creator and title; true when the airport is linked to an
    // archived parking file (archivedStands then holds the archived stand count when it is known).
    std::function<bool(AirportPackage& package, std::int32_t& archivedStands, const std::string& bglPath)> link;
    // Writes the airport's parking file.
    std::function<void(AirportPackage& package, std::int32_t helipadCount)> generate;
    // A 2024 file whose airport this decoder cannot read.
    std::function<void(const std::string& bglPath)> unrecognised;
    // The airport's name; empty when unknown.
    std::function<std::string(const std::string& icao)> airportName;
};

// Per-airport state while one airport record is decoded.
struct BglAirportState {
    std::set<std::string> standNames;
    std::vector<std::pair<double, double>> helipads;  // latitude, longitude of the helipads taken
    std::int32_t helipadCounter = 1;                  // helipads found = counter - 1
    bool duplicateNames = false;
};

// Whether the file has an airport section: at least the 56-byte header and an entry of type 3 among the section
// entries that end before the file does (a header may claim more sections than the file holds).
bool lf_isAirportBgl(const std::filesystem::path& path);
// The same test on the file's first bytes: `bytes` holds at least the header and the table when the file
// has them; `fileSize` is the length of the whole file.
bool lf_isAirportBglHead(const std::uint8_t* bytes, std::size_t available, std::uint64_t fileSize);

// Body of one decoding task: reads the file and decodes every airport record, section by section. Lowers
// taskCount on every way out; an exception (a section that runs past the end of the file) is logged
// ("Exception in lf_toParkingPositions: <path>") and passed on to the waiter, and the airports of the sections
// before it stay handed on.
void lf_toParkingPositions(const std::filesystem::path& path, const BglAirportHandlers& handlers);
// The decoding of words already read (the task's body without the file and the task count).
void lf_decodeBglWords(const BglWords& words, const std::string& bglPath, const BglAirportHandlers& handlers);

void lf_decodeAirport(std::size_t record, const BglWords& words, std::int32_t recordWords, const std::string& icao,
                      const std::string& bglPath, const BglAirportHandlers& handlers);
void lf_decodeHelipad(std::size_t record, const BglWords& words, AirportPackage& package, BglAirportState& state);
// `end` is the first word after the sub-record; an entry that does not end within it ends the list.
void lf_decodeParkingList(std::size_t record, std::size_t end, const BglWords& words, AirportPackage& package,
                          BglAirportState& state, const std::string& bglPath);
std::string lf_parkingNamePrefix(std::uint8_t nameCode);
// The packed code's characters; `valid` only for exactly 4 characters without a blank digit.
std::string lf_decodeIdentifierOrRegionCode(std::uint32_t packed, bool& valid);
// Gives each group of stands whose names were made unique with a letter its final names: the largest radius
// takes the plain name, the next ones the letters a, b, ... in order of falling radius.
void lf_renameDuplicateStands(AirportPackage& package);

// Raw file coordinates in degrees.
double gf_bglLatitude(std::uint32_t raw);
double gf_bglLongitude(std::uint32_t raw);
// In range and outside the null box 0 <= latitude <= 0.0009, 0 <= longitude <= 0.05.
bool gf_bglPositionValid(double latitude, double longitude);
