#pragma once
// Decipher of the codes stored in the program's downloaded data (ICAO types, airline codes and
// registrations). Stored codes are plain codes with a position-dependent shift added inside the
// 46-character alphabet '-' (45) .. 'Z' (90); these routines undo that shift. The program itself
// only deciphers; the encipher lives with the data tools (tools/dbtool).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace cipher {

inline constexpr int alphabetFirst = 45;  // '-'
inline constexpr int alphabetLast = 90;   // 'Z'
inline constexpr int alphabetSize = 46;

// One (input position, shift) pair of the airline and type keys.
struct KeyPair {
    int position;
    std::int32_t shift;
};

// Airline codes are stored with six characters; three of them carry the code.
inline constexpr std::array<KeyPair, 3> airlineKey{{{4, 17}, {1, -9}, {3, 29}}};
// Three-character ICAO types: output character j comes from stored position typeKey3[j].position.
inline constexpr std::array<KeyPair, 3> typeKey3{{{2, 13}, {0, -21}, {1, 7}}};
inline constexpr std::array<KeyPair, 4> typeKey4{{{3, 11}, {1, 23}, {0, -5}, {2, 38}}};
// Any other length: the first two stored characters, each with its own shift.
inline constexpr std::array<KeyPair, 2> typeKey2{{{0, 19}, {1, -31}}};
// One shift per registration position 0..23.
inline constexpr std::array<std::int32_t, 24> registrationKey{7,  -13, 22,  3, -41, 18,  9,  -2, 35, -17, 14, 26,
                                                              -8, 40,  -29, 5, 11,  -36, 31, -4, 16, -23, 44, 1};

}  // namespace cipher

// Shifts one character back by the amount, wrapping once inside the alphabet.
char gf_decryptChar(char c, std::int32_t amount);
// "" -> ""; 6 characters -> the 3-character code; 3 characters -> unchanged with a warning line;
// any other length throws std::runtime_error "decrypt airl \"{}\" error".
std::string gf_decryptAirline(std::string_view stored);
// "" -> ""; 3 or 4 characters -> as many; any other length -> 2 characters from the first two.
std::string gf_decryptModel(std::string_view stored);
// Same length; '+' stays; throws std::out_of_range "decrypt reg \"{}\" error" for a non-'+' character past
// position 23.
std::string gf_decryptString(std::string_view stored);
