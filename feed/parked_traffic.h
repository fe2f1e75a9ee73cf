#pragma once
// Parked aircraft around the current park airport, aged, filtered, sorted and de-duplicated.

#include <cstdint>
#include <string>

#include "feed/web_api.h"

// Requests the parked aircraft in a 3 NM box around the current park airport and leaves the
// prepared list in trafficReader.parkedRecords. False after a logged failure; throws
// std::runtime_error on status 400 ("RT API parameter fault") and 403 ("No data for this
// license type").
bool gf_readParkedTraffic();

// The stand under the user aircraft, asked for every parked record (a record on it is left out).
// The application registers the simulator link's answer at program start; none registered: no stand.
void gf_setUserStandSource(std::string (*source)());

bool lf_requestParkedTraffic(TrafficReader& reader, std::int32_t& status);
void processParkedTrafficLine(TrafficReader& reader, const std::string& name);
