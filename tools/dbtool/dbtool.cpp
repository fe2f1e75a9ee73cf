#include "tools/dbtool/dbtool.h"

#include <fmt/format.h>
#include <zip.h>

#include <sstream>
#include <stdexcept>
#include <vector>

#include "catalogue/cipher.h"

namespace dbtool {

namespace {

char shiftForward(char c, std::int32_t amount) {
    const int v = static_cast<unsigned char>(c);
    if (v < cipher::alphabetFirst || v > cipher::alphabetLast)
        throw std::invalid_argument(fmt::format("character '{}' cannot be enciphered", c));
    return gf_decryptChar(c, -amount);
}

template <std::size_t N>
std::string encryptWith(std::string_view plain, const std::array<cipher::KeyPair, N>& key, std::size_t length) {
    std::string stored(length, '-');
    for (std::size_t j = 0; j < plain.size(); ++j)
        stored[static_cast<std::size_t>(key[j].position)] = shiftForward(plain[j], key[j].shift);
    return stored;
}

std::string joinComma(const std::vector<std::string>& parts) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += ',';
        out += parts[i];
    }
    return out;
}

std::vector<std::string> splitComma(std::string_view text) {
    std::vector<std::string> parts;
    if (text.empty()) return parts;
    std::size_t start = 0;
    for (;;) {
        auto pos = text.find(',', start);
        auto piece = text.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start);
        auto b = piece.find_first_not_of(" \t\r\n");
        auto e = piece.find_last_not_of(" \t\r\n");
        parts.emplace_back(b == std::string_view::npos ? std::string_view{} : piece.substr(b, e - b + 1));
        if (pos == std::string_view::npos) break;
        start = pos + 1;
    }
    return parts;
}

template <typename F>
void encipherList(pugi::xml_node section, const char* entry, const char* attribute, F encrypt) {
    for (auto e : section.children(entry)) {
        auto a = e.attribute(attribute);
        if (!a) continue;
        auto parts = splitComma(a.value());
        for (auto& p : parts) p = encrypt(p);
        a.set_value(joinComma(parts).c_str());
    }
}

template <typename F>
void encipherAttribute(pugi::xml_node node, const char* attribute, F encrypt) {
    auto a = node.attribute(attribute);
    if (a && a.value()[0] != '\0') a.set_value(encrypt(a.value()).c_str());
}

}  // namespace

std::string encryptAirline(std::string_view plain) {
    if (plain.empty()) return {};
    if (plain.size() != 3) throw std::invalid_argument(fmt::format("airline code \"{}\" is not 3 characters", plain));
    std::string stored(6, ' ');
    std::vector<bool> used(6, false);
    for (std::size_t j = 0; j < 3; ++j) {
        const auto& k = cipher::airlineKey[j];
        stored[static_cast<std::size_t>(k.position)] = shiftForward(plain[j], k.shift);
        used[static_cast<std::size_t>(k.position)] = true;
    }
    // The three positions that carry nothing are filled from the code too, with other shifts.
    std::size_t f = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        if (used[i]) continue;
        stored[i] = shiftForward(plain[f % 3], static_cast<std::int32_t>(7 * (f + 1)));
        ++f;
    }
    return stored;
}

std::string encryptModel(std::string_view plain) {
    switch (plain.size()) {
    case 0: return {};
    case 1: return std::string(1, shiftForward(plain[0], cipher::typeKey2[0].shift));
    case 2: return encryptWith(plain, cipher::typeKey2, 2);
    case 3: return encryptWith(plain, cipher::typeKey3, 3);
    case 4: return encryptWith(plain, cipher::typeKey4, 4);
    default: throw std::invalid_argument(fmt::format("ICAO type \"{}\" is longer than 4 characters", plain));
    }
}

std::string encryptString(std::string_view plain) {
    std::string stored(plain);
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '+') continue;
        if (i >= cipher::registrationKey.size())
            throw std::invalid_argument(fmt::format("registration \"{}\" is too long", plain));
        stored[i] = shiftForward(stored[i], cipher::registrationKey[i]);
    }
    return stored;
}

void encipherDatabase(pugi::xml_document& doc) {
    const std::pair<const char*, const char*> typeSections[] = {{"aircrafts", "aircraft"},
                                                                {"high_performance", "hpf"},
                                                                {"heavy", "hvy"},
                                                                {"large", "lar"},
                                                                {"buzjet", "bzj"},
                                                                {"rotorcraft", "rot"},
                                                                {"cargo_types", "cargo_type"},
                                                                {"similar_types", "similar"}};
    for (const auto& [section, entry] : typeSections)
        for (auto s : doc.children(section)) encipherList(s, entry, "types", encryptModel);
    for (const char* section : {"ICAO_airlines", "cargo_operators"})
        for (auto s : doc.children(section)) encipherList(s, "ICAO", "codes", encryptAirline);
    for (auto s : doc.children("wingspans"))
        for (auto e : s.children("wingspan")) encipherAttribute(e, "type", encryptModel);
    for (auto s : doc.children("dbase")) {
        for (auto e : s.children("db")) {
            encipherAttribute(e, "reg", encryptString);
            encipherAttribute(e, "airl", encryptAirline);
            encipherAttribute(e, "opr", encryptAirline);
            encipherAttribute(e, "type", encryptModel);
        }
    }
}

void encipherRegcodes(pugi::xml_document& doc) {
    for (auto root : doc.children("AIG-regcodes")) encipherList(root, "livery", "reg", encryptString);
}

std::string xmlText(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "  ");
    return out.str();
}

void writeZip(const std::filesystem::path& zipPath, const std::string& entryName, const std::string& text) {
    int err = 0;
    zip_t* za = zip_open(zipPath.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za) throw std::runtime_error(fmt::format("cannot create {}", zipPath.string()));
    // libzip reads the buffer at zip_close; `text` outlives it.
    zip_source_t* src = zip_source_buffer(za, text.data(), text.size(), 0);
    if (!src || zip_file_add(za, entryName.c_str(), src, ZIP_FL_OVERWRITE) < 0) {
        if (src) zip_source_free(src);
        zip_discard(za);
        throw std::runtime_error(fmt::format("cannot add {} to {}", entryName, zipPath.string()));
    }
    if (zip_close(za) != 0) {
        zip_discard(za);
        throw std::runtime_error(fmt::format("cannot write {}", zipPath.string()));
    }
}

}  // namespace dbtool
