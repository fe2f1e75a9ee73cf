#pragma once
// The airport parking file: an XML file without a root element that holds, in this order, the "meta" header
// of the program's own files, "parameters" (one "parameter" with "name" and "value" per setting) and
// "parkpositions" (one "parkpos" per stand, with "opt" plan options as children). Stock, handmade, learned
// and generated files share the format. This header holds what reader and writer share: the names, the
// value forms and the reading of one stand.
//
// Threads: the readers append to currentStands and run on the run thread; the parameter readers and the
// value helpers are pure and may run anywhere (the add-on airport scan calls them from its tasks).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "airports/stands.h"

namespace apf {
// Top-level elements.
inline constexpr const char* metaElement = "meta";
inline constexpr const char* parametersElement = "parameters";
inline constexpr const char* parameterElement = "parameter";
inline constexpr const char* standsElement = "parkpositions";
inline constexpr const char* standElement = "parkpos";
inline constexpr const char* optionElement = "opt";
// Parameters.
inline constexpr const char* airportName = "airport_name";
inline constexpr const char* publisher = "publisher";
inline constexpr const char* handmade = "handmade";
inline constexpr const char* altitude = "altitude";
inline constexpr const char* numParkpos = "num_parkpos";
inline constexpr const char* qfReal = "Qf_real";
inline constexpr const char* qfSoft = "Qf_soft";
inline constexpr const char* bglPath = "BGLpath";
inline constexpr const char* manufacturer = "manufacturer";
inline constexpr const char* creator = "creator";
inline constexpr const char* rtTrafficWeek = "RT_traffic_week";
// Publishers with a folder of their own below the learned folder; "unknown" marks an unrecognised add-on.
inline constexpr std::string_view stockPublisher = "stock";
inline constexpr std::string_view simaddonPublisher = "simaddon";
inline constexpr std::string_view unknownPublisher = "unknown";
}  // namespace apf

// An attribute's value as a boolean: true when its first character is '1', 'T', 't', 'Y' or 'y'; false
// otherwise, also when it is empty or absent.
bool gf_apfBool(const pugi::xml_attribute& attribute);
// The leading decimal number of the attribute (rest ignored); 0 when absent or not a number.
double gf_apfDouble(const pugi::xml_attribute& attribute);

// The first "parameter" of that name under a top-level "parameters": nothing when there is none; else its
// "value" read by the rules above (false, 0 or the empty text when it has no "value").
std::optional<bool> lf_readBoolParameter(const pugi::xml_node& document, std::string_view name);
std::optional<std::int32_t> lf_readIntParameter(const pugi::xml_node& document, std::string_view name);
std::optional<std::string> lf_readTextParameter(const pugi::xml_node& document, std::string_view name);

// Identity of an "opt": callsign and second callsign part from "cs" (split at the first ':'; a second ':'
// leaves the second part empty), airline and type from the registration table when "reg" is known there
// (the operator when it has one), else from "airl" and "type".
struct OptIdentity {
    std::string callsignA;
    std::string callsignB;
    std::string airline;
    std::string icaoType;
};
OptIdentity lf_readOptIdentity(const pugi::xml_node& opt);

// One "opt" element as a plan option with the given id and closed mark.
StandOption lf_readOpt(const pugi::xml_node& opt, std::int32_t id, std::int32_t closed);

// Appends the stand of a "parkpos" element to currentStands, with its options numbered 1, 2, 3 ... and
// marked `closed`. A stand at exactly 0,0 is dropped; one whose latitude is not within -90..90, whose longitude
// is not within -180..180 or whose radius is not finite is dropped with the error line "stand {} has no valid
// position or radius". False when nothing was appended.
bool lf_readParkpos(const pugi::xml_node& parkpos, const std::string& name, std::int32_t closed);
