#include "feed/web_api.h"

#include <cstdlib>

WeatherReader weatherReader;
TrafficReader trafficReader;

namespace {
constexpr const char* defaultApiBase = "https://rtwa.flyrealtraffic.com/v4/";
}

RtApiConnection::RtApiConnection()
{
    curl_global_init(CURL_GLOBAL_ALL);
    response.reserve(16384);
}

RtApiConnection::~RtApiConnection()
{
    curl_global_cleanup();
}

WeatherReader::WeatherReader() = default;

TrafficReader::TrafficReader()
{
    records.reserve(384);
}

LatLon TrafficReader::ownPositionCopy() const
{
    std::lock_guard lock(positionMutex);
    return ownPosition;
}

void TrafficReader::setOwnPosition(LatLon position)
{
    std::lock_guard lock(positionMutex);
    ownPosition = position;
}

GeoBox TrafficReader::liveBoxCopy() const
{
    std::lock_guard lock(positionMutex);
    return liveBox;
}

void TrafficReader::setLiveBox(const GeoBox& box)
{
    std::lock_guard lock(positionMutex);
    liveBox = box;
}

std::string gf_apiBaseUrl()
{
    const char* overrideUrl = std::getenv("VEXA_API_URL");
    std::string base = (overrideUrl != nullptr && *overrideUrl != '\0') ? overrideUrl : defaultApiBase;
    // The path is fixed: an override names only scheme, host and port.
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    if (base.size() >= 3 && base.compare(base.size() - 3, 3, "/v4") == 0)
        base.resize(base.size() - 3);
    return base + "/v4/";
}
