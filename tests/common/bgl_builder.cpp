#include "tests/common/bgl_builder.h"

#include <bit>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace bgl {

namespace {

void putWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    if (bytes.size() < at + 4) bytes.resize(at + 4, 0);
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putRecords(std::vector<std::uint8_t>& bytes, const std::vector<Record>& records) {
    for (const Record& r : records)
        for (std::uint32_t w : r) putWord(bytes, bytes.size(), w);
}

std::uint32_t digitOf(char c) {
    if (c == ' ') return 0;
    if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - 46);
    if (c >= 'A' && c <= 'Z') return static_cast<std::uint32_t>(c - 53);
    throw std::invalid_argument("bgl::packIcao: no digit for this character");
}

}  // namespace

std::uint32_t packIcao(std::string_view code) {
    std::uint32_t value = 0;
    for (char c : code) value = value * 38 + digitOf(c);
    return value << 5;
}

std::uint32_t rawLatitude(double degrees) {
    return static_cast<std::uint32_t>(std::llround((90.0 - degrees) / 3.3527612686157227e-07));
}
std::uint32_t rawLongitude(double degrees) {
    return static_cast<std::uint32_t>(std::llround((degrees + 180.0) / 4.470348358154297e-07));
}
std::uint32_t floatBits(float value) { return std::bit_cast<std::uint32_t>(value); }

Record withSize(Record r, std::int32_t size) {
    const auto s = static_cast<std::uint32_t>(size);
    r[0] = (r[0] & 0xFFFF) | (s << 16);
    r[1] = (r[1] & 0xFFFF0000) | (s >> 16);
    return r;
}

Record record(std::uint16_t id, std::vector<std::uint32_t> words) {
    if (words.size() < 2) words.resize(2, 0);
    words[0] = (words[0] & 0xFFFF0000) | id;
    return withSize(std::move(words), static_cast<std::int32_t>(4 * words.size()));
}

Record helipad(double latitude, double longitude, float size) {
    std::vector<std::uint32_t> w(9, 0);
    w[3] = rawLongitude(longitude);
    w[4] = rawLatitude(latitude);
    w[7] = floatBits(size);
    return record(0x26, std::move(w));
}

Record parkingList(const std::vector<Stand>& stands) {
    std::vector<std::uint32_t> w(2, 0);
    w[1] = static_cast<std::uint32_t>(stands.size()) << 16;
    for (const Stand& s : stands) {
        const std::size_t at = w.size();
        w.resize(at + 14 + s.extraWords, 0xEEEEEEEE);
        w[at] = (s.nameCode & 0x3Fu) | ((s.type & 0xFu) << 8) | ((s.number & 0xFFFu) << 12) |
                (std::uint32_t{s.extraWords} << 24);
        w[at + 1] = floatBits(s.radius);
        w[at + 2] = floatBits(s.heading);
        w[at + 7] = rawLongitude(s.longitude);
        w[at + 8] = rawLatitude(s.latitude);
    }
    return record(0xE7, std::move(w));
}

Record airport(std::uint32_t packedIcao, std::int32_t altitudeMm, const std::vector<Record>& subRecords) {
    std::vector<std::uint32_t> w(17, 0);
    w[5] = static_cast<std::uint32_t>(altitudeMm);
    w[10] = packedIcao;
    for (const Record& r : subRecords) w.insert(w.end(), r.begin(), r.end());
    return record(0x56, std::move(w));
}

Record airport(std::string_view icao, std::int32_t altitudeMm, const std::vector<Record>& subRecords) {
    return airport(packIcao(icao), altitudeMm, subRecords);
}

Record other(std::uint16_t id, std::size_t words) { return record(id, std::vector<std::uint32_t>(words, 0)); }

Section section(std::vector<Record> records, std::uint32_t type) {
    Section s;
    s.type = type;
    s.records = std::move(records);
    return s;
}

std::vector<std::uint8_t> file(const std::vector<Section>& sections, const Header& header) {
    std::vector<std::uint8_t> bytes(56, 0);
    putWord(bytes, 0, 0x19920201);
    putWord(bytes, 4, header.headerSize);
    putWord(bytes, 20, header.sectionCount.value_or(static_cast<std::uint32_t>(sections.size())));
    const std::size_t table = bytes.size();
    bytes.resize(table + 20 * sections.size(), 0);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const Section& s = sections[i];
        const std::size_t entry = table + 20 * i;
        const std::size_t subsections = 1 + s.laterSubsections.size();
        putWord(bytes, entry, s.type);
        putWord(bytes, entry + 4, s.sizeCode);
        putWord(bytes, entry + 8, static_cast<std::uint32_t>(subsections));
        const std::size_t subTable = bytes.size();
        putWord(bytes, entry + 12, static_cast<std::uint32_t>(subTable));
        bytes.resize(subTable + 16 * subsections, 0);
        // The later subsections' records come first, so that the walk of the first one, which runs on to
        // the end of the file, never reaches them.
        for (std::size_t n = 0; n < subsections; ++n) {
            const std::size_t k = (n + 1) % subsections;
            const std::vector<Record>& records = k == 0 ? s.records : s.laterSubsections[k - 1];
            const std::size_t data = bytes.size();
            putRecords(bytes, records);
            putWord(bytes, subTable + 16 * k, s.type);
            putWord(bytes, subTable + 16 * k + 4, static_cast<std::uint32_t>(records.size()));
            putWord(bytes, subTable + 16 * k + 8, static_cast<std::uint32_t>(data));
            putWord(bytes, subTable + 16 * k + 12, static_cast<std::uint32_t>(bytes.size() - data));
        }
        putWord(bytes, entry + 16, static_cast<std::uint32_t>(bytes.size() - subTable));
    }
    return bytes;
}

void write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("bgl::write: cannot write " + path.string());
}

}  // namespace bgl
