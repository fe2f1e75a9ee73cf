#pragma once
// Connection to the live-traffic web service: the two global reader objects (weather and
// traffic), the request mechanics every endpoint shares, login, logout and the nearest METAR.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include "feed/traffic_record.h"
#include "foundation/curl_handle.h"
#include "foundation/feed_time.h"
#include "foundation/geodesy.h"

// A box in degrees: the area of a traffic query.
struct GeoBox {
    double top = 0.0;
    double bottom = 0.0;
    double left = 0.0;
    double right = 0.0;
};

// Base of both readers. Only the destructor is virtual.
class RtApiConnection {
public:
    RtApiConnection();
    virtual ~RtApiConnection();
    RtApiConnection(const RtApiConnection&) = delete;
    RtApiConnection& operator=(const RtApiConnection&) = delete;

    std::string guid;                            // session id from "auth"; empty = not logged in
    std::atomic<std::uint8_t> readerStopped{0};  // 1 once the receive loop has ended
    nlohmann::json currentLine;                  // element being parsed
    std::string response;                        // body of the last reply
    // Time offset in minutes sent as "toffset" (the time shift): one value for both readers.
    std::atomic<std::int32_t>& toffset = ::feedOffsetMinutes;
    std::atomic<std::int32_t> rrl{2000};      // traffic request interval, ms
    std::atomic<std::int32_t> wrrl{2000};     // weather request interval, ms
    std::atomic<std::uint8_t> readerStop{0};  // raised by closing down or by the other reader
};

class WeatherReader final : public RtApiConnection {
public:
    WeatherReader();
    bool receive(std::int32_t& code);

    std::uint8_t lightShown = 0;             // run thread only
    std::string metarIcao;                   // nearest METAR station
    std::atomic<std::uint8_t> weatherOk{0};  // read by the status lights on the run thread
};

class TrafficReader final : public RtApiConnection {
public:
    TrafficReader();
    bool receive(std::int32_t& code);
    bool buffer(std::int32_t& code);

    // The user aircraft's position (with its altitude, which the weather request sends) and the
    // live query box are written by the run thread and read by the reader threads: both are
    // handed over as locked copies.
    LatLon ownPositionCopy() const;
    double ownAltitudeCopy() const;
    void setOwnPosition(LatLon position, double altitudeFt = 0.0);
    GeoBox liveBoxCopy() const;
    void setLiveBox(const GeoBox& box);

    std::uint8_t lightShown = 0;              // run thread only
    std::vector<ParkedRecord> parkedRecords;  // result of the last parked request
    GeoBox parkedBox{52.44, 52.17, 4.54, 4.98};
    std::string parkedResponse;
    nlohmann::json parkedLine;
    std::vector<TrafficRecord> records;  // records of the current answer
    std::set<std::string> bufferedCallsigns;
    std::set<std::uint32_t> bufferedAddresses;
    LatLon boxCentre;                                              // run thread only
    double lastRange = -1.0;                                       // run thread only
    std::atomic<double>& lastFeedTimestamp = ::lastFeedTimestamp;  // read by the clock
    std::atomic<std::int64_t> liveCount{0};
    std::atomic<std::uint8_t> bufferedMode{0};
    std::uint8_t blockNoticeArmed = 1;

    // Guards the buffered sets: the reader thread fills them while the planner takes them.
    std::mutex bufferedMutex;

private:
    mutable std::mutex positionMutex;
    LatLon ownPosition;
    double ownAltitudeFt = 0.0;
    GeoBox liveBox{52.44, 52.17, 4.54, 4.98};
};

// The two global readers, alive for the whole process.
extern WeatherReader weatherReader;
extern TrafficReader trafficReader;

// The web service's API base address (path "/v4/"); VEXA_API_URL overrides the host part.
std::string gf_apiBaseUrl();

// One form POST to the web service, the request every endpoint sends: a handle of its own (CurlHandle),
// the body sent to the endpoint under gf_apiBaseUrl(), the reply appended to `response`, the connect and
// transfer timeouts; with `stop` (a reader's readerStop) the transfer ends as soon as that flag is raised.
// A handle that libcurl cannot make is logged ("curl init error ?") and leaves the request false.
class FormPost {
public:
    FormPost(std::string_view endpoint, std::string& response, const std::atomic<std::uint8_t>* stop = nullptr);
    explicit operator bool() const { return handle_.valid(); }
    // The transfer (only on a request that is true).
    CURLcode perform(const std::string& body);

private:
    CurlHandle handle_;
    std::string url_;
    std::string& response_;
    const std::atomic<std::uint8_t>* stop_;
};

std::size_t lf_callbackwriter(char* data, std::size_t size, std::size_t count, std::string* response);
void lf_waitMs(RtApiConnection& connection, std::int32_t milliseconds);

// Form value encoding (application/x-www-form-urlencoded).
std::string gf_formEncode(std::string_view value);

void gf_resetReader(RtApiConnection& connection);
bool lf_authenticate(std::int32_t& status);
void gf_authenticater();
void gf_deauthenticate(RtApiConnection& connection);
bool lf_getNearestMetar(std::int32_t& status);

// Reply keys with their defaults: numbers default when absent or not a number, strings read as
// empty ("server" as "?").
std::int64_t gf_replyNumber(const nlohmann::json& reply, const char* key, std::int64_t fallback);
std::string gf_replyString(const nlohmann::json& reply, const char* key);
// A status: the fallback also when the number does not fit 32 bits (a wrapped value must not
// turn into a success).
std::int32_t gf_replyStatus(const nlohmann::json& reply);
// An interval in milliseconds: the fallback also when it is negative or does not fit 32 bits (a
// wrapped or negative interval would poll the service without a pause).
std::int32_t gf_replyInterval(const nlohmann::json& reply, const char* key);
