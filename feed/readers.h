#pragma once
// The two reader threads: weather (nearest METAR and QNH) and traffic (buffered history, then
// live polling handed to the engine), the live query box and the two status lights.

#include <atomic>
#include <cstdint>

#include <nlohmann/json.hpp>

#include "feed/web_api.h"

// Last accepted QNH in hectopascal, for the engine.
extern std::atomic<std::int32_t> qnhHpa;

// Thread bodies. Each sets its reader's readerStopped flag when its loop ends.
void gf_weatherReader();
void gf_trafficReader();

// Starts both reader threads detached (the run thread watches the readerStopped flags).
void gf_startWeatherReaderThread();
void gf_startTrafficReaderThread();

// One snapshot of the buffered answer: parses "data".key and hands it over with 6 x counter
// seconds of delay; the counter is then incremented.
void lf_processBuffer(const nlohmann::json& answer, std::uint32_t& counter, TrafficReader& reader,
                      const char* key);

// Ends buffered mode and hands the collected callsigns and addresses to the engine.
void gf_takeBufferedHistory();

// Recomputes the live query box from the user aircraft's position and the lateral range.
void gf_setQueryBox();
// The box computation itself, for a position and a range in nautical miles.
GeoBox gf_queryBoxAround(LatLon position, double rangeNm);

// Updates the weather and traffic lights (run thread, every 15 s).
void gf_setStatusLights();
