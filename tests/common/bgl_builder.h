#pragma once
// Writes scenery BGL files from a short description, laid out as the airport decoder reads them: the 56-byte
// header, a section table of 20-byte entries, per section a table of 16-byte subsection entries followed by
// the subsections' records; every value little-endian and every record a whole number of 32-bit words.
//
//   using namespace bgl;
//   auto bytes = file({section({airport("EDDF", 111000, {parkingList({stand(10, 1, 12, 20.f, 90.f, lat, lon)}),
//                                                          helipad(lat, lon, 30.f)})})});
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace bgl {

// A whole record: word 0 holds the id (bytes 0-1) and the low half of the size (bytes 2-3), word 1 the high
// half of the size (bytes 4-5) and whatever the record keeps in its bytes 6-7.
using Record = std::vector<std::uint32_t>;

// Base-38 code shifted left by 5, as airport records store it: ' ' 0, '0'..'9' 2..11, 'A'..'Z' 12..37.
std::uint32_t packIcao(std::string_view code);
std::uint32_t rawLatitude(double degrees);
std::uint32_t rawLongitude(double degrees);
std::uint32_t floatBits(float value);

// A record of the given words (at least 2) with id and size (4 × words) written into its header.
Record record(std::uint16_t id, std::vector<std::uint32_t> words);
// Overwrites the size field (for damaged files).
Record withSize(Record r, std::int32_t size);

struct Stand {
    std::uint8_t nameCode = 0;  // prefix code 0..63
    std::uint32_t type = 1;     // 0..15
    std::uint32_t number = 1;   // 0..4095
    float radius = 20.0f;       // metres
    float heading = 90.0f;      // degrees
    double latitude = 50.03;
    double longitude = 8.57;
    std::uint8_t extraWords = 0;  // words after the 14 of the entry
};

Record helipad(double latitude, double longitude, float size);
Record parkingList(const std::vector<Stand>& stands);
Record airport(std::uint32_t packedIcao, std::int32_t altitudeMm, const std::vector<Record>& subRecords);
Record airport(std::string_view icao, std::int32_t altitudeMm, const std::vector<Record>& subRecords);
// A record the decoder passes over by its size.
Record other(std::uint16_t id, std::size_t words = 4);

struct Section {
    std::uint32_t type = 3;                             // 3: airports
    std::uint32_t sizeCode = 1;                         // bit 16 set: 20-byte subsection entries, not read
    std::vector<Record> records;                        // the first subsection
    std::vector<std::vector<Record>> laterSubsections;  // laid out before the first one
    // The walk of the first subsection runs on to the end of the file.
};
Section section(std::vector<Record> records, std::uint32_t type = 3);

struct Header {
    std::uint32_t headerSize = 56;
    std::optional<std::uint32_t> sectionCount;  // default: the number of sections given
};

std::vector<std::uint8_t> file(const std::vector<Section>& sections, const Header& header = {});
void write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

}  // namespace bgl
