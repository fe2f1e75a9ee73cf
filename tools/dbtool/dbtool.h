#pragma once
// The data tool's encipher: turns plain codes into the stored form that the program's decipher
// (catalogue/cipher.h) reads, and writes the downloadable archives (dbase.zip with temp2.xml,
// AIG-regcodes.zip) from plain source files. Used by tests and to make the demo's data.
#include <filesystem>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace dbtool {

// Inverse of gf_decryptAirline for a 3-character code (6 stored characters); "" stays "".
// Throws std::invalid_argument for another length or a character outside the alphabet.
std::string encryptAirline(std::string_view plain);
// Inverse of gf_decryptModel for codes of 0 to 4 characters.
std::string encryptModel(std::string_view plain);
// Inverse of gf_decryptString ('+' stays; at most 24 other positions).
std::string encryptString(std::string_view plain);

// Enciphers, in place, the codes of a reference database document written with plain codes:
// the "types" lists of the type and similar sections, the "codes" of the airline sections, the
// wingspan "type", and "reg", "airl", "opr", "type" of the "dbase" records.
void encipherDatabase(pugi::xml_document& doc);
// Enciphers, in place, the "reg" lists of the "livery" elements of an AIG-regcodes document.
void encipherRegcodes(pugi::xml_document& doc);

// Writes a zip archive holding one entry with the given text. Throws std::runtime_error on failure.
void writeZip(const std::filesystem::path& zipPath, const std::string& entryName, const std::string& text);
// The document as text.
std::string xmlText(const pugi::xml_document& doc);

}  // namespace dbtool
