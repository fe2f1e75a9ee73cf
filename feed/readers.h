#pragma once
// The two reader threads: weather (nearest METAR and QNH) and traffic (buffered history, then
// live polling handed to the engine), the live query box and the two status lights.

#include <atomic>
#include <cstdint>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "feed/web_api.h"

// The pressure (QNH, hPa) that the weather reader last accepted, 1013 until then: the one value that
// the feed's altitude correction and the engine's motion read.
extern std::atomic<std::int32_t> qnhHpa;

// The live aircraft seen while buffering, handed over by gf_takeBufferedHistory: callsigns and
// 24-bit addresses. Run thread only (the park planner reads them).
extern std::set<std::string> engineBufferedCallsigns;
extern std::set<std::uint32_t> engineBufferedAddresses;

// A QNH candidate: above 1080 it is inches of mercury x 100 and converted; accepted within
// 930..1080 hPa (a rejected value is logged with the reply body).
std::int32_t gf_acceptQnh(std::int32_t q, const std::string& body, bool& accepted);

// Thread bodies. Each sets its reader's readerStopped flag as its last action, after its loop has ended and
// the end was reported (the other reader stopped, the run ended).
void gf_weatherReader();
void gf_trafficReader();

// Starts both reader threads detached (the run thread watches the readerStopped flags).
void gf_startWeatherReaderThread();
void gf_startTrafficReaderThread();

// One snapshot of the buffered answer: parses "data".key and hands it over with 6 x counter
// seconds of delay; the counter is then incremented.
void lf_processBuffer(const nlohmann::json& answer, std::uint32_t& counter, TrafficReader& reader, const char* key);

// Ends buffered mode and hands the collected callsigns and addresses to the engine.
void gf_takeBufferedHistory();

// Recomputes the live query box from the user aircraft's position and the lateral range.
void gf_setQueryBox(const LatLon& userPosition);
// The box computation itself, for a position and a range in nautical miles.
GeoBox gf_queryBoxAround(LatLon position, double rangeNm);

// Updates the weather and traffic lights (run thread, every 15 s).
void gf_setStatusLights();

// Puts the whole feed back into its constructed state: both readers, the process-wide QNH, the
// buffered sets, the parser's blocked callsign and the credential. The reader threads must have
// stopped (tests and the clean-up before a restart).
void gf_resetFeed();
