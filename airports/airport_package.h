#pragma once
// One airport as a file record: what the BGL decoder finds of an add-on airport, and what the airport file
// writer writes (generated files from the decoder, learned files from the park airport's stands).
//
// Threads: one record is owned by one task (a decoding task of the add-on airport scan, or the run thread
// when it saves a learned file); it is never shared.
#include <cstdint>
#include <string>
#include <vector>

#include "airports/stands.h"

struct AirportPackage {
    std::string icao;          // ICAO code
    std::string name;          // airport name; empty when unknown
    std::string bglPath;       // the BGL file the stands came from
    std::string publisher;     // "simaddon", "unknown", "stock" or a publisher's name
    std::string manufacturer;  // texts of the package's manifest
    std::string creator;
    std::string title;
    std::int32_t rtTrafficWeek = 0;  // never written by the writer
    std::int32_t qfReal = 0;         // quality factors, percent 0..100 or -1
    std::int32_t qfSoft = 0;
    std::int32_t altitude = 0;  // feet
    std::vector<ParkPos> stands;
};
