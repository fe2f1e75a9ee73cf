// The weather and traffic reader threads, the live query box and the status lights.
#include "feed/readers.h"

#include <chrono>
#include <cmath>
#include <exception>
#include <string>
#include <thread>

#include <fmt/format.h>
#include <gsl/gsl>

#include "feed/credential.h"
#include "feed/feed_intake.h"
#include "feed/feed_values.h"
#include "feed/record_parser.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/time_text.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/range.h"

std::atomic<std::int32_t> qnhHpa{1013};
std::set<std::string> engineBufferedCallsigns;
std::set<std::uint32_t> engineBufferedAddresses;

namespace {

constexpr std::int32_t stopCode = 9999;

std::string utcText() { return gf_timeText(gf_unixTime()); }

void lf_repaintStatusPanel() { mainWindow.invalidate(panel::status); }

// Hands the reader's records to the engine; the engine clears the vector.
void lf_handOver(TrafficReader& reader, std::uint32_t delaySec) {
    double stamp = reader.lastFeedTimestamp.load();
    gf_mergeTrafficRecords(reader.records, delaySec, stamp);
    reader.lastFeedTimestamp.store(stamp);
    reader.records.clear();
    // A crowded answer does not keep its memory for the rest of the run.
    if (reader.records.capacity() > 1024) {
        std::vector<TrafficRecord>().swap(reader.records);
        reader.records.reserve(384);
    }
}

// Parses every 48-element member of an object of aircraft arrays.
void lf_parseAircraftObject(TrafficReader& reader, nlohmann::json& data) {
    if (!data.is_object()) return;
    for (auto& [key, value] : data.items()) {
        (void)key;
        if (!value.is_array() || value.size() != 48) continue;
        reader.currentLine = std::move(value);
        processLine(reader);
    }
}

std::string lf_liveBody(const TrafficReader& reader) {
    const GeoBox box = reader.liveBoxCopy();
    return fmt::format("GUID={}&top={:.2F}&bottom={:.2F}&left={:.2F}&right={:.2F}&querytype=locationtraffic&toffset={}",
                       gf_formEncode(reader.guid), box.top, box.bottom, box.left, box.right, reader.toffset.load());
}

std::int32_t lf_statusOf(const nlohmann::json& reply) { return gf_replyStatus(reply); }

// QNH candidate from "data"."QNH"; returns 1013 when none can be read.
std::int32_t lf_qnhFrom(const nlohmann::json& reply, const std::string& body) {
    const auto& data = reply["data"];
    if (!data.is_object() || !data.contains("QNH")) {
        gf_logError(fmt::format("No QNH found in {}", body));
        return 1013;
    }
    const auto& value = data["QNH"];
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        return v > 100000 || v < -100000 ? 0 : static_cast<std::int32_t>(v);
    }
    if (value.is_number_float()) {
        const double v = value.get<double>();
        return std::isfinite(v) && std::fabs(v) < 100000 ? static_cast<std::int32_t>(std::lround(v)) : 0;
    }
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        try {
            std::size_t used = 0;
            const long v = std::stol(text, &used);
            return v > 100000 || v < -100000 ? 0 : static_cast<std::int32_t>(v);
        } catch (const std::exception&) {
            gf_logError(fmt::format("No QNH found in {}", body));
            return 1013;
        }
    }
    gf_logError(fmt::format("No QNH found in {}", body));
    return 1013;
}

void lf_storeQnh(std::int32_t q) {
    if (q != qnhHpa.load() || q == 1013) {
        qnhHpa.exchange(q);
        mainWindow.qnh = q;
        std::uint32_t starting = 2;
        mainWindow.weatherLampState.compare_exchange_strong(starting, 1);
        lf_repaintStatusPanel();
    }
}

}  // namespace

std::int32_t gf_acceptQnh(std::int32_t q, const std::string& body, bool& accepted) {
    if (q > 1080) q = static_cast<std::int32_t>(std::lround(q * 0.33865307));
    accepted = q >= 930 && q <= 1080;
    if (!accepted) gf_logError(fmt::format("Strange QNH {} found in {}", q, body));
    return q;
}

bool WeatherReader::receive(std::int32_t& code) {
    if (guid.empty()) return false;
    while (readerStop.load() == 0) {
        try {
            std::int32_t status = 0;
            if (!lf_getNearestMetar(status)) {
                if (status == 400 || status == 401) {
                    code = readerStop.load() != 0 ? stopCode : status;
                    return false;
                }
                lf_waitMs(*this, wrrl.load());
                continue;
            }

            response.clear();
            bool success = false;
            {
                FormPost post("weather", response, &readerStop);
                if (!post) {
                    weatherOk = 0;
                    lf_waitMs(*this, wrrl.load());
                    continue;
                }
                const LatLon position = trafficReader.ownPositionCopy();
                const double altitude = trafficReader.ownAltitudeCopy();
                const std::int64_t altitudeFt =
                    altitude < 1.0 || !std::isfinite(altitude) ? 0 : static_cast<std::int64_t>(altitude);
                const std::string body = fmt::format(
                    "GUID={}&querytype=locwx&toffset={}&lat={:.4F}&lon={:.4F}&alt={}&airports={}", gf_formEncode(guid),
                    toffset.load(), position.latitude, position.longitude, altitudeFt, gf_formEncode(metarIcao));
                const CURLcode rc = post.perform(body);
                if (rc != CURLE_OK) {
                    if (readerStop.load() == 0)
                        gf_logError(fmt::format("{} weather code_w: {}", utcText(), curl_easy_strerror(rc)));
                } else if (response.empty()) {
                    gf_logError("Empty content?, no QNH to be found");
                } else {
                    const nlohmann::json reply = nlohmann::json::parse(response);
                    const std::int32_t status = lf_statusOf(reply);
                    if (status == 200) {
                        wrrl = gf_replyInterval(reply, "wrrl");
                        success = true;
                        if (reply.contains("data") && !reply["data"].is_null()) {
                            bool accepted = false;
                            const std::int32_t q = gf_acceptQnh(lf_qnhFrom(reply, response), response, accepted);
                            if (accepted) lf_storeQnh(q);
                        } else {
                            gf_logError(fmt::format("No QNH found in {}", response));
                        }
                    } else if (status == 406 || status == 500) {
                        code = status;
                        gf_logError(fmt::format("{} json weather {}", status, gf_replyString(reply, "message")));
                    } else {
                        code = readerStop.load() != 0 ? stopCode : status;
                        weatherOk = 0;
                        return false;
                    }
                }
            }
            weatherOk = success ? 1 : 0;
            lf_waitMs(*this, wrrl.load());
        } catch (const std::exception& e) {
            gf_logError(fmt::format("{}: {}", "receive", e.what()));
            weatherOk = 0;
            lf_waitMs(*this, wrrl.load());
        }
    }
    code = stopCode;
    return false;
}

bool TrafficReader::buffer(std::int32_t& code) {
    if (guid.empty()) return false;
    bool result = false;
    response.clear();
    if (FormPost post("traffic", response, &readerStop); post) {
        try {
            const std::string body = lf_liveBody(*this) + fmt::format("&buffercount={}&buffertime={}", 5, 6);
            const CURLcode rc = post.perform(body);
            if (rc != CURLE_OK) {
                if (readerStop.load() == 0)
                    gf_logError(fmt::format("{} buffer traffic code_t: {}", utcText(), curl_easy_strerror(rc)));
            } else if (response.empty()) {
                gf_logError("buffer traffic: empty content");
            } else {
                nlohmann::json reply = nlohmann::json::parse(response);
                if (!reply.is_object()) throw std::runtime_error("reply is not a JSON object");
                const std::int32_t status = lf_statusOf(reply);
                if (status == 200) {
                    rrl = gf_replyInterval(reply, "rrl");
                    bufferedMode.exchange(1);
                    std::uint32_t counter = 0;
                    if (reply.contains("data") && !reply["data"].is_null()) {
                        result = true;
                        for (const char* key : {"buffer_4", "buffer_3", "buffer_2", "buffer_1", "buffer_0"})
                            lf_processBuffer(reply, counter, *this, key);
                    }
                } else {
                    code = status;
                    if (status == 406)
                        gf_logError(fmt::format(" buffer traffic msg {}", gf_replyString(reply, "message")));
                }
            }
        } catch (const std::exception& e) {
            gf_logError(fmt::format("{}: {}", "buffer traffic", e.what()));
            result = false;
        }
    }
    lf_waitMs(*this, rrl.load());
    if (readerStop.load() != 0) code = stopCode;
    return result;
}

void lf_processBuffer(const nlohmann::json& answer, std::uint32_t& counter, TrafficReader& reader, const char* key) {
    const auto data = answer.find("data");
    if (data != answer.end() && data->is_object()) {
        const auto block = data->find(key);
        if (block != data->end() && block->is_object()) {
            for (const auto& [name, value] : block->items()) {
                (void)name;
                if (!value.is_array() || value.size() != 48) continue;
                reader.currentLine = value;
                processLine(reader);
            }
        }
    }
    lf_handOver(reader, 6 * counter);
    ++counter;
}

bool TrafficReader::receive(std::int32_t& code) {
    if (guid.empty()) return false;
    if (!buffer(code) && readerStop.load() == 0) gf_logError(fmt::format("buffer failed {}", code));

    while (readerStop.load() == 0) {
        response.clear();
        bool handOver = false;
        std::int32_t endCode = 0;
        {
            FormPost post("traffic", response, &readerStop);
            if (!post) {
                lf_waitMs(*this, rrl.load());
                continue;
            }
            try {
                const std::string body = lf_liveBody(*this);
                const CURLcode rc = post.perform(body);
                if (rc != CURLE_OK) {
                    if (readerStop.load() == 0)
                        gf_logError(fmt::format("{} curl traffic code_t: {}", utcText(), curl_easy_strerror(rc)));
                } else if (response.empty()) {
                    gf_logError("traffic receive: empty content");
                } else {
                    nlohmann::json reply = nlohmann::json::parse(response);
                    if (!reply.is_object() || !reply.contains("status") || !reply["status"].is_number())
                        throw std::runtime_error("reply without a numeric \"status\"");
                    const std::int32_t status = lf_statusOf(reply);
                    if (status == 200) {
                        rrl = gf_replyInterval(reply, "rrl");
                        auto& data = reply["data"];
                        if (!data.is_null() && !data.is_object()) throw std::runtime_error("\"data\" is not an object");
                        if (!data.is_null()) lf_parseAircraftObject(*this, data);
                        handOver = true;
                    } else if (status == 406) {
                        gf_logError(fmt::format("curl traffic msg {}", gf_replyString(reply, "message")));
                    } else {
                        endCode = readerStop.load() != 0 ? stopCode : status;
                    }
                }
            } catch (const std::exception& e) {
                // A malformed answer costs one interval, not the run.
                gf_logError(fmt::format("{}: {}", "traffic receive", e.what()));
                records.clear();
            }
        }
        if (endCode != 0) {
            code = endCode;
            records.clear();
            return false;
        }
        if (handOver) {
            liveCount = static_cast<std::int64_t>(records.size());
            lf_handOver(*this, 30);
        }
        lf_waitMs(*this, rrl.load());
    }
    code = stopCode;
    return false;
}

namespace {

template <typename Reader>
void lf_readerThread(Reader& own, RtApiConnection& other, std::atomic<std::uint32_t>& lamp, const char* threadName,
                     const char* shortName, const char* functionName) {
    std::int32_t code = 0;
    try {
        gf_logContinuation(fmt::format("{} connected", threadName));
        lamp = 1;
        lf_repaintStatusPanel();
        if (!own.receive(code)) {
            lamp = 3;
            lf_repaintStatusPanel();
            switch (code) {
            case stopCode: break;
            case 401: gf_logError(fmt::format("re-authentication to RT API is needed, restart {}", "Vexa")); break;
            case 400: gf_logError(fmt::format("{} RT API: parameter fault", shortName)); break;
            case 403: gf_logError(fmt::format("{} RT API: No data for this license type", shortName)); break;
            default: gf_logError(fmt::format("{} RT API error: {}", shortName, code)); break;
            }
        }
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}", functionName, e.what()));
        gf_readerStopped(threadName, false);
    }
    if (code != stopCode) {
        other.readerStop = 1;
        gf_readerStopped(threadName, code == 401);
    }
    // The last action: closing down waits for this flag and a restart then resets both readers for the next
    // run, so nothing of this thread may follow it.
    own.readerStopped = 1;
}

}  // namespace

void gf_weatherReader() {
    lf_readerThread(weatherReader, trafficReader, mainWindow.weatherLampState, "Weather Reader", "Weather",
                    "gf_weatherReader");
}

void gf_trafficReader() {
    lf_readerThread(trafficReader, weatherReader, mainWindow.trafficLampState, "Traffic Reader", "Traffic",
                    "gf_trafficReader");
}

void gf_startWeatherReaderThread() { std::thread(gf_weatherReader).detach(); }

void gf_startTrafficReaderThread() { std::thread(gf_trafficReader).detach(); }

void gf_takeBufferedHistory() {
    auto& reader = trafficReader;
    reader.bufferedMode.exchange(0);
    std::lock_guard lock(reader.bufferedMutex);
    engineBufferedCallsigns = reader.bufferedCallsigns;
    engineBufferedAddresses = reader.bufferedAddresses;
    reader.bufferedCallsigns.clear();
    reader.bufferedAddresses.clear();
}

GeoBox gf_queryBoxAround(LatLon position, double rangeNm) {
    const double d = rangeNm * 1.852 / 111.2;
    GeoBox box;
    box.top = position.latitude + d;
    box.bottom = position.latitude - d;
    const double feet = rangeNm * 6076.11549;
    box.left = gf_destinationPoint(position, -geo::pi / 2.0, feet).longitude;
    box.right = gf_destinationPoint(position, geo::pi / 2.0, feet).longitude;
    return box;
}

void gf_setQueryBox(const LatLon& userPosition) {
    auto& reader = trafficReader;
    const LatLon position = userPosition;
    if (!gf_positionIsSet(position)) return;
    const double range = feedvalues::lateralRangeNm();
    if (std::fabs(position.latitude - reader.boxCentre.latitude) < 0.00015 &&
        std::fabs(position.longitude - reader.boxCentre.longitude) < 0.00015 && range == reader.lastRange)
        return;
    reader.lastRange = range;
    reader.boxCentre = position;
    reader.setLiveBox(gf_queryBoxAround(position, range));
}

void gf_setStatusLights() {
    if (!mainWindow.feedLoggedIn.load()) return;
    auto& w = weatherReader;
    if (w.weatherOk.load() == 0) {
        if (w.lightShown == 1) {
            mainWindow.weatherLampState = 2;
            lf_repaintStatusPanel();
        }
        w.lightShown = 0;
    } else if (w.lightShown == 0) {
        w.lightShown = 1;
        mainWindow.weatherLampState = 1;
        lf_repaintStatusPanel();
    }
    auto& t = trafficReader;
    if (t.liveCount.load() < 1) {
        if (t.lightShown == 1) {
            mainWindow.trafficLampState = 2;
            lf_repaintStatusPanel();
        }
        t.lightShown = 0;
    } else if (t.lightShown == 0) {
        t.lightShown = 1;
        mainWindow.trafficLampState = 1;
        lf_repaintStatusPanel();
    }
}

void gf_resetFeed() {
    gf_resetReader(weatherReader);
    gf_resetReader(trafficReader);
    auto& w = weatherReader;
    w.rrl = 2000;
    w.wrrl = 2000;
    w.lightShown = 0;
    w.metarIcao.clear();
    w.weatherOk = 0;
    auto& t = trafficReader;
    t.rrl = 2000;
    t.wrrl = 2000;
    t.lightShown = 0;
    t.parkedRecords.clear();
    t.parkedBox = GeoBox{52.44, 52.17, 4.54, 4.98};
    t.parkedResponse.clear();
    t.parkedLine = nullptr;
    t.records.clear();
    {
        std::lock_guard lock(t.bufferedMutex);
        t.bufferedCallsigns.clear();
        t.bufferedAddresses.clear();
    }
    t.setOwnPosition(LatLon{}, 0.0);
    t.setLiveBox(GeoBox{52.44, 52.17, 4.54, 4.98});
    t.boxCentre = LatLon{};
    t.lastFeedTimestamp = 0.0;
    t.lastRange = -1.0;
    t.liveCount = 0;
    t.bufferedMode = 0;
    t.blockNoticeArmed = 1;
    qnhHpa = 1013;
    engineBufferedCallsigns.clear();
    engineBufferedAddresses.clear();
    gf_resetRecordParser();
    rtCredential.clear();
    professionalAccount = false;
}
