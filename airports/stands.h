#pragma once
// Stands of an airport and their plan options: the records that an airport parking file fills, and the
// 48-bit half-hour masks of the plan options.
//
// Threads: currentStands is read and changed on the run thread only (the airport file reader, the learned
// merge, the planner and the engine's tick all run there); it has no lock.
// Units: positions in degrees, headings in radians, radii in nautical miles (files hold degrees and metres).
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/time_text.h"

// One plan option of a stand: which aircraft (or operator and type) used the stand on which weekday during
// which half-hours. Held by value in the stand's option list; stored in airport files as an "opt" element.
// The engine's option helpers and the file reader and writer share this one record.
struct StandOption {
    std::string airline;          // operator (airline) code; "airl" in files
    std::string icaoType;         // ICAO type designator; "type"
    std::string key;              // registration, or the callsign of an aircraft without one; "reg"
    std::string callsignA;        // callsign the option was recorded under; "cs" before ':'
    std::string callsignB;        // second callsign of the same aircraft; "cs" after ':'; empty for run-time options
    std::uint64_t halfHours = 0;  // bit h (0..47): used in half-hour h of the weekday; bits 48..63 stay 0
    std::int32_t id = 0;          // 1, 2, 3 ... within the stand's list; 0 = switched off (see heldId), or no option
    std::int32_t weekday = 0;     // 1 Monday .. 7 Sunday; 0 when the file gave none
    // 1 for options read with the stands of an airport file: never extended while running and left out of
    // a learned file that does not replace the airport's stands; 0 for learned and run-time options.
    std::int32_t closed = 0;
    std::int32_t real = 0;  // 1 real (an aircraft stood there), 0 soft (the stand was guessed)
    // The id of an option that the planner's search switched off (id 0), until the renewal's numbering
    // gives it back: the sightings that hold the id still name this option, and no new option takes it.
    std::int32_t heldId = 0;

    bool operator==(const StandOption&) const = default;
};

// The id that names the option as long as anything holds it: its id, or the one it held when it was switched off.
inline std::int32_t gf_lastingOptionId(const StandOption& option) { return option.id != 0 ? option.id : option.heldId; }
// Switches the option off for the planner's searches (id 0) until the next numbering of its stand.
void gf_switchOffOption(StandOption& option);
// The id of a new option of the list: one above every lasting id in it (1 for an empty list).
std::int32_t gf_nextOptionId(const std::vector<StandOption>& options);

inline constexpr std::uint64_t kHalfHourMask = (std::uint64_t{1} << 48) - 1;
namespace standUnits {
inline constexpr double nmPerMetre = 0.0005399568034557236;  // 1 / 1852
inline constexpr double metresPerNm = 1852.0;
}  // namespace standUnits

// One aircraft seen on a stand: the week slot when it was recorded and the option it was recorded in.
struct StandSighting {
    WeekSlot slot{};
    std::uint32_t optionId = 0;
};

// One parking stand.
struct ParkPos {
    ParkPos() { coupledIds.reserve(8); }
    // Takes name and options by move. Radius in metres (held in nautical miles); the three flags are
    // inverted: 0 means the stand is a cargo stand / a ramp stand / a helipad.
    ParkPos(std::string standName, std::vector<StandOption> planOptions, double lat, double lon, double headingRad,
            double radiusMetres, std::int32_t notCargo, std::int32_t notRamp, std::int32_t notHeli);

    std::vector<StandOption> options;                          // plan options, in file order
    std::unordered_map<std::uint32_t, StandSighting> realMap;  // hexid -> real sighting (engine)
    std::unordered_map<std::uint32_t, StandSighting> softMap;  // hexid -> soft sighting (engine)
    std::string name;                                          // "id" in files; unique within an airport
    std::vector<std::uint32_t> coupledIds;                     // ids of the stands that overlap this one
    double latitude = 0.0;                                     // degrees
    double longitude = 0.0;                                    // degrees
    double heading = 0.0;                                      // radians
    double radius = 0.0;                                       // nautical miles
    std::uint32_t id = 0;                                      // 1, 2, 3 ... in list order; 0 before numbering
    std::uint8_t manual = 0;                                   // created by hand (learned file)
    std::uint8_t radiusChanged = 0;                            // the radius was changed by hand (learned file)
    std::uint8_t cargoChanged = 0;                             // the cargo flag was changed by hand (learned file)
    std::uint8_t suffixMark = 0;       // the BGL decoder's mark while it renames duplicate names
    std::uint8_t taken = 0;            // given to a static or planned aircraft
    std::uint8_t occupied = 0;         // a live aircraft stands on it
    std::uint8_t reserved = 0;         // the user's stand
    std::uint8_t coupledOccupied = 0;  // a coupled stand has been given
    std::uint8_t cargo = 0;
    std::uint8_t ramp = 0;
    std::uint8_t heli = 0;          // helipad
    std::uint8_t sizeAdjusted = 0;  // the engine lowered the radius to an aircraft that parked on it
};

// Numbers the stand's options 1, 2, 3 ... in list order, switched-off ones included (which are switched on
// again). Options are only ever appended, each with the next id, so every option keeps the id it had and
// the sightings of realMap and softMap keep naming their options.
void gf_renumberStandOptions(ParkPos& stand);

// The stands of the current park airport.
extern std::vector<ParkPos> currentStands;

// The names and positions of currentStands as other threads may read them (gf_standNameAt): whoever
// fills or empties currentStands publishes it again, which also forgets the last answer.
void gf_publishStandPlaces();

// "0,1,2,30" -> bits 0, 1, 2, 30. Items that are not a half-hour 0..47 set nothing and are logged as
// "gf_hours2bitset invalid hour \"{}\" in {}"; the rest of the list is still read.
std::uint64_t gf_hours2bitset(std::string_view list);
// The set half-hours in ascending order, comma separated; the empty mask gives the empty text.
std::string gf_bitset2hours(std::uint64_t mask);
