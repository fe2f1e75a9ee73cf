// Connection to the live-traffic web service: request mechanics, login, logout, nearest METAR.
#include "feed/web_api.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <stdexcept>

#include <fmt/format.h>
#include <gsl/gsl>

#include "feed/credential.h"
#include "feed/feed_values.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"

WeatherReader weatherReader;
TrafficReader trafficReader;

namespace {

constexpr const char* defaultApiBase = "https://rtwa.flyrealtraffic.com/v4/";
constexpr const char* shortName = "Vexa";
constexpr const char* versionText = "10.10.10";
// A transfer may not hang: closing down waits for the readers, and the readers wait for this.
constexpr long connectTimeoutSec = 10;
constexpr long transferTimeoutSec = 60;
// Every wait of a reader is cut into slices of this length, each followed by a look at the stop flag.
constexpr auto stopCheckSlice = std::chrono::milliseconds(100);
// A reply body larger than this is refused: even the buffered reply of a wide range stays far below.
constexpr std::size_t maxReplyBytes = std::size_t{16} << 20;
// A reply buffer that grew beyond this is given back before the next request.
constexpr std::size_t keptReplyCapacity = std::size_t{1} << 20;
constexpr std::size_t initialReplyCapacity = 16384;
// The service's request intervals are held within these bounds (ms).
constexpr std::int32_t minIntervalMs = 500;
constexpr std::int32_t maxIntervalMs = 60000;

std::string utcText() { return gf_timeText(gf_unixTime()); }

// The pause between two logins reads when the service was last visited.
void lf_storeLastVisit() {
    try {
        LAST_EPOCH_TIME.save(gsl::narrow_cast<std::int32_t>(gf_unixTime()));
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}", "LAST_EPOCH_TIME", e.what()));
    }
}

void lf_repaintStatusPanel() { mainWindow.invalidate(panel::status); }

// Waits until the deadline in slices, ending early once `stop` says so.
template <typename Stop>
void lf_waitUntil(Clock::SteadyTime deadline, Stop stop) {
    while (!stop()) {
        const auto now = gf_steadyNow();
        if (now >= deadline) return;
        gf_sleepUntil(std::min(deadline, now + stopCheckSlice));
    }
}

// The login runs on the run thread: its waits end with the run's stop.
void lf_waitForRun(std::chrono::milliseconds duration) {
    lf_waitUntil(gf_steadyNow() + duration, [] { return stopRequested.load() != 0 || userClosed.load() != 0; });
}

void lf_releaseLargeBuffer(std::string& buffer) {
    if (buffer.capacity() > keptReplyCapacity) {
        std::string().swap(buffer);
        buffer.reserve(initialReplyCapacity);
    }
}

}  // namespace

RtApiConnection::RtApiConnection() {
    curl_global_init(CURL_GLOBAL_ALL);
    response.reserve(initialReplyCapacity);
}

RtApiConnection::~RtApiConnection() { curl_global_cleanup(); }

WeatherReader::WeatherReader() = default;

TrafficReader::TrafficReader() { records.reserve(384); }

LatLon TrafficReader::ownPositionCopy() const {
    std::lock_guard lock(positionMutex);
    return ownPosition;
}

double TrafficReader::ownAltitudeCopy() const {
    std::lock_guard lock(positionMutex);
    return ownAltitudeFt;
}

void TrafficReader::setOwnPosition(LatLon position, double altitudeFt) {
    std::lock_guard lock(positionMutex);
    ownPosition = position;
    ownAltitudeFt = altitudeFt;
}

GeoBox TrafficReader::liveBoxCopy() const {
    std::lock_guard lock(positionMutex);
    return liveBox;
}

void TrafficReader::setLiveBox(const GeoBox& box) {
    std::lock_guard lock(positionMutex);
    liveBox = box;
}

std::string gf_apiBaseUrl() {
    const char* overrideUrl = std::getenv("VEXA_API_URL");
    std::string base = (overrideUrl != nullptr && *overrideUrl != '\0') ? overrideUrl : defaultApiBase;
    // The path is fixed: an override names only scheme, host and port.
    while (!base.empty() && base.back() == '/') base.pop_back();
    if (base.size() >= 3 && base.compare(base.size() - 3, 3, "/v4") == 0) base.resize(base.size() - 3);
    return base + "/v4/";
}

std::string gf_formEncode(std::string_view value) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size() * 3);
    for (unsigned char c : value) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else if (c == ' ') {
            out.push_back('+');
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0x0F]);
        }
    }
    return out;
}

std::size_t lf_callbackwriter(char* data, std::size_t size, std::size_t count, std::string* response) {
    if (response == nullptr) return 0;
    const std::size_t total = size * count;
    if (total > maxReplyBytes - std::min(response->size(), maxReplyBytes)) {
        // Returning less than was given ends the transfer with a write error.
        gf_logError(fmt::format("Web service reply refused: more than {} MB", maxReplyBytes >> 20));
        lf_releaseLargeBuffer(*response);
        response->clear();
        return 0;
    }
    response->append(data, total);
    try {
        (void)gsl::narrow<std::int64_t>(total);
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {} {} and {}", "lf_callbackwriter", e.what(), size, count));
    }
    return total;
}

namespace {
std::size_t lf_curlWrite(char* data, std::size_t size, std::size_t count, void* userdata) {
    return lf_callbackwriter(data, size, count, static_cast<std::string*>(userdata));
}
}  // namespace

namespace {
int lf_stopProgress(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    // Non-zero aborts the transfer: a reader asked to stop does not wait for the service.
    return static_cast<const std::atomic<std::uint8_t>*>(stop)->load() != 0 ? 1 : 0;
}
}  // namespace

FormPost::FormPost(std::string_view endpoint, std::string& response, const std::atomic<std::uint8_t>* stop)
    : url_(fmt::format("{}{}", gf_apiBaseUrl(), endpoint)), response_(response), stop_(stop) {
    if (!handle_.valid()) gf_logError("curl init error ?");
}

CURLcode FormPost::perform(const std::string& body) {
    lf_releaseLargeBuffer(response_);
    CURL* handle = handle_.get();
    curl_easy_setopt(handle, CURLOPT_URL, url_.c_str());  // libcurl copies the URL
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "deflate,gzip");
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str());  // not copied: body outlives the transfer
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &response_);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, lf_curlWrite);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, connectTimeoutSec);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, transferTimeoutSec);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    if (stop_ != nullptr) {
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, lf_stopProgress);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, const_cast<std::atomic<std::uint8_t>*>(stop_));
    }
    return curl_easy_perform(handle);
}

void lf_waitMs(RtApiConnection& connection, std::int32_t milliseconds) {
    // Two halves as the service's pacing expects, each sliced so that a stop ends the wait at once.
    const auto half = std::chrono::milliseconds(std::max(milliseconds, 0) / 2);
    lf_waitUntil(gf_steadyNow() + 2 * half, [&connection] { return connection.readerStop.load() != 0; });
}

std::int64_t gf_replyNumber(const nlohmann::json& reply, const char* key, std::int64_t fallback) {
    if (!reply.is_object()) return fallback;
    auto it = reply.find(key);
    if (it == reply.end() || !it->is_number()) return fallback;
    if (it->is_number_float()) {
        const double v = it->get<double>();
        if (!std::isfinite(v) || v < -9.2e18 || v > 9.2e18) return fallback;
        return static_cast<std::int64_t>(v);
    }
    if (it->is_number_unsigned() && it->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) return fallback;
    return it->get<std::int64_t>();
}

std::int32_t gf_replyStatus(const nlohmann::json& reply) {
    const std::int64_t value = gf_replyNumber(reply, "status", 100);
    return value < INT32_MIN || value > INT32_MAX ? 100 : static_cast<std::int32_t>(value);
}

std::int32_t gf_replyInterval(const nlohmann::json& reply, const char* key) {
    const std::int64_t value = gf_replyNumber(reply, key, 2000);
    if (value < INT32_MIN || value > INT32_MAX) return 2000;
    const std::int32_t interval = std::clamp(static_cast<std::int32_t>(value), minIntervalMs, maxIntervalMs);
    if (interval != value)
        gf_logError(fmt::format("{} {} ms of the reply is outside {}..{} ms, {} ms used", key, value, minIntervalMs,
                                maxIntervalMs, interval));
    return interval;
}

std::string gf_replyString(const nlohmann::json& reply, const char* key) {
    const std::string fallback = std::string_view(key) == "server" ? "?" : "";
    if (!reply.is_object()) return fallback;
    auto it = reply.find(key);
    if (it == reply.end() || !it->is_string()) return fallback;
    return it->get<std::string>();
}

void gf_resetReader(RtApiConnection& connection) {
    connection.guid.clear();
    connection.response.clear();
    auto& line = connection.currentLine;
    if (line.is_object())
        line = nlohmann::json::object();
    else if (line.is_array())
        line = nlohmann::json::array();
    else if (line.is_string())
        line = std::string();
    else if (line.is_boolean())
        line = false;
    else if (line.is_number())
        line = 0;
    connection.toffset = 0;
    connection.readerStop = 0;
    connection.readerStopped = 0;
}

bool lf_authenticate(std::int32_t& status) {
    auto& w = weatherReader;
    bool success = false;
    try {
        w.response.clear();
        FormPost post("auth", w.response);
        if (post) {
            const std::string body = fmt::format("license={}&software={}_{}", gf_formEncode(rtCredential),
                                                 gf_formEncode(shortName), gf_formEncode(versionText));
            const CURLcode rc = post.perform(body);
            lf_storeLastVisit();
            if (rc != CURLE_OK) {
                gf_logError(fmt::format("{} Authentication code: {}", utcText(), curl_easy_strerror(rc)));
            } else {
                const nlohmann::json reply = nlohmann::json::parse(w.response);
                const std::int32_t replyStatus = gf_replyStatus(reply);
                if (replyStatus != 200) {
                    // Only a plain success logs in; anything else is the caller's failure branch.
                    status = replyStatus;
                } else {
                    w.wrrl = gf_replyInterval(reply, "wrrl");
                    gf_log(fmt::format("Authenticated at RT server \"{}\"", gf_replyString(reply, "server")));
                    const bool professional = gf_replyNumber(reply, "type", 1) == 2;
                    professionalAccount = professional;
                    auto guidIt = reply.find("GUID");
                    w.guid = (guidIt != reply.end() && guidIt->is_string()) ? guidIt->get<std::string>()
                                                                            : std::string("empty GUID?");
                    const std::int64_t expiry = gf_replyNumber(reply, "expiry", 0);
                    const auto days = gsl::narrow_cast<std::int32_t>((expiry - gf_unixTime()) / 86400);
                    mainWindow.feedLoggedIn = true;
                    lf_repaintStatusPanel();
                    mainWindow.feedText.set(fmt::format("RT {} license, {} day{} left",
                                                        professional ? "professional" : "standard", days,
                                                        gf_pluralLetter(days)));
                    lf_repaintStatusPanel();
                    if (days < 3) gf_showStatus("Warning: Your RT license will expire soon", true);
                    success = true;
                }
            }
        }
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}", "authenticate", e.what()));
        success = false;
    }
    lf_waitForRun(std::chrono::milliseconds(w.wrrl.load()));
    return success;
}

void gf_authenticater() {
    std::int32_t status = 0;
    if (!lf_authenticate(status)) {
        std::string message;
        switch (status) {
        case 402: message = "Your RT license is expired"; break;
        case 404: message = "RT did not recognize your license"; break;
        case 405: message = "More than one RealTraffic session is not possible, do not run the RealTraffic app"; break;
        case 500: throw std::runtime_error("No RT database connection");
        default: break;
        }
        if (!message.empty()) {
            gf_showStatus(message, true);
            lf_waitForRun(std::chrono::seconds(10));
            throw ovk::UserErrorException(status, message);
        }
        // Shows "The Authenticater has stopped with an error" and ends the run as a reader error
        // with a restart after 15 s (unless a stop is already under way).
        gf_readerStopped("Authenticater", true);
    }
    trafficReader.guid = weatherReader.guid;
}

void gf_deauthenticate(RtApiConnection& connection) {
    try {
        connection.response.clear();
        FormPost post("deauth", connection.response);
        if (!post) return;
        const std::string body = fmt::format("GUID={}", gf_formEncode(connection.guid));
        const CURLcode rc = post.perform(body);
        lf_storeLastVisit();
        if (rc != CURLE_OK) {
            gf_logError(fmt::format("{} Deauthentication code: {}", utcText(), curl_easy_strerror(rc)));
            return;
        }
        const nlohmann::json reply = nlohmann::json::parse(connection.response);
        const std::int32_t status = gf_replyStatus(reply);
        if (status == 200) {
            mainWindow.feedLoggedIn = false;
            lf_repaintStatusPanel();
            gf_log(
                fmt::format("{} RT server \"{}\"", gf_replyString(reply, "message"), gf_replyString(reply, "server")));
        } else {
            gf_logError(fmt::format("Deauthentication failed, status: {}", status));
        }
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {} ", "deauthenticate", e.what()));
    }
}

bool lf_getNearestMetar(std::int32_t& status) {
    auto& w = weatherReader;
    if (w.guid.empty()) return false;
    bool result = false;
    try {
        w.response.clear();
        FormPost post("nearestmetar", w.response, &w.readerStop);
        if (post) {
            const LatLon position = trafficReader.ownPositionCopy();
            const std::string body = fmt::format("GUID={}&toffset={}&lat={:.4F}&lon={:.4F}", gf_formEncode(w.guid),
                                                 w.toffset.load(), position.latitude, position.longitude);
            const CURLcode rc = post.perform(body);
            if (rc != CURLE_OK) {
                if (w.readerStop.load() == 0)
                    gf_logError(fmt::format("{} nearestmetar code_w: {}", utcText(), curl_easy_strerror(rc)));
            } else if (w.response.empty()) {
                gf_logError("nearest metar: empty content");
            } else {
                const nlohmann::json reply = nlohmann::json::parse(w.response);
                const std::int32_t replyStatus = gf_replyStatus(reply);
                if (replyStatus == 200) {
                    const auto data = reply.find("data");
                    if (data != reply.end() && data->is_object() && data->contains("ICAO") &&
                        (*data)["ICAO"].is_string()) {
                        w.metarIcao = (*data)["ICAO"].get<std::string>();
                        w.weatherOk = 1;
                        result = true;
                    } else {
                        w.metarIcao.clear();
                    }
                } else if (replyStatus == 406 || replyStatus == 500) {
                    status = replyStatus;
                    gf_logError(fmt::format("{} json nearestmetar {}", replyStatus, gf_replyString(reply, "message")));
                } else {
                    status = replyStatus;
                }
            }
        }
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}", "nearestmetar", e.what()));
        result = false;
    }
    lf_waitMs(w, w.wrrl.load());
    return result;
}
