#include "tools/rtstub/rt_stub.h"

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <fmt/format.h>
#include <httplib.h>

namespace rtstub {

namespace {

struct TrackPoint {
    double t = 0, lat = 0, lon = 0, alt = 0, gs = 0, track = 0, vs = 0, heading = -1, ias = -1, roll = 0;
};

struct Track {
    std::string hex, callsign, type, registration, origin, destination, category, source;
    std::vector<TrackPoint> points;
};

struct Station {
    std::string icao;
    double lat = 0, lon = 0;
    nlohmann::json qnh = 1013;
    std::string metar;
};

struct License {
    std::string license;
    int type = 1;
    double expiryDays = 365;
};

struct Session {
    std::string license;
    int type = 1;
};

double num(const nlohmann::json& j, const char* key, double fallback) {
    auto it = j.find(key);
    return (it != j.end() && it->is_number()) ? it->get<double>() : fallback;
}

std::string str(const nlohmann::json& j, const char* key, const std::string& fallback = {}) {
    auto it = j.find(key);
    return (it != j.end() && it->is_string()) ? it->get<std::string>() : fallback;
}

double angleLerp(double a, double b, double f) {
    double d = std::fmod(b - a + 540.0, 360.0) - 180.0;
    double r = std::fmod(a + d * f + 360.0, 360.0);
    return r;
}

std::optional<double> formNumber(const std::map<std::string, std::string>& form, const char* key) {
    auto it = form.find(key);
    if (it == form.end()) return std::nullopt;
    try {
        std::size_t used = 0;
        double v = std::stod(it->second, &used);
        if (used != it->second.size()) return std::nullopt;
        return v;
    } catch (...) {
        return std::nullopt;
    }
}

nlohmann::json failure(int status, const std::string& message) { return {{"status", status}, {"message", message}}; }

}  // namespace

struct Server::Impl {
    mutable std::mutex mutex;
    // scenario
    std::string serverName = "rtstub";
    int rrl = 2000;
    int wrrl = 2000;
    bool loop = true;
    bool singleSession = false;
    std::vector<License> licenses;
    std::vector<Station> stations;
    std::vector<Track> tracks;
    nlohmann::json parked = nlohmann::json::array();
    double duration = 0;
    // sessions and scripting
    std::map<std::string, Session> sessions;
    std::map<std::string, std::deque<ScriptedReply>> scripts;
    std::vector<ReceivedRequest> received;
    std::optional<double> pinnedPlay;
    std::optional<double> pinnedUnix;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::mt19937_64 random{12345};
    // server
    httplib::Server http;
    std::thread thread;
    std::atomic<bool> stopping{false};

    double playTime() const {
        if (pinnedPlay) return *pinnedPlay;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }
    double unixTime() const {
        if (pinnedUnix) return *pinnedUnix;
        return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    }

    std::optional<TrackPoint> sample(const Track& track, double t) const {
        if (track.points.empty()) return std::nullopt;
        if (loop && duration > 0) t = std::fmod(t, duration);
        if (t < track.points.front().t || t > track.points.back().t) return std::nullopt;
        for (std::size_t i = 0; i + 1 < track.points.size(); ++i) {
            const auto& a = track.points[i];
            const auto& b = track.points[i + 1];
            if (t >= a.t && t <= b.t) {
                double f = (b.t > a.t) ? (t - a.t) / (b.t - a.t) : 0.0;
                TrackPoint p = a;
                p.t = t;
                p.lat = a.lat + (b.lat - a.lat) * f;
                p.lon = a.lon + (b.lon - a.lon) * f;
                p.alt = a.alt + (b.alt - a.alt) * f;
                p.gs = a.gs + (b.gs - a.gs) * f;
                p.vs = a.vs + (b.vs - a.vs) * f;
                p.track = angleLerp(a.track, b.track, f);
                if (a.heading >= 0 && b.heading >= 0) p.heading = angleLerp(a.heading, b.heading, f);
                if (a.ias >= 0 && b.ias >= 0) p.ias = a.ias + (b.ias - a.ias) * f;
                p.roll = a.roll + (b.roll - a.roll) * f;
                return p;
            }
        }
        return track.points.back();
    }

    // The 48-element array of one aircraft.
    static nlohmann::json aircraftArray(const Track& tr, const TrackPoint& p, double stamp) {
        nlohmann::json a = nlohmann::json::array();
        for (int i = 0; i < 48; ++i) a.push_back(nullptr);
        a[0] = tr.hex;
        a[1] = p.lat;
        a[2] = p.lon;
        a[3] = p.track;
        a[4] = std::round(p.alt);
        a[5] = p.gs;
        a[6] = "1000";
        a[7] = "RTSTUB";
        a[8] = tr.type.empty() ? nlohmann::json("ZZZZ") : nlohmann::json(tr.type);
        a[9] = tr.registration.empty() ? nlohmann::json("null") : nlohmann::json(tr.registration);
        a[10] = stamp;
        a[11] = tr.origin.empty() ? nlohmann::json("null") : nlohmann::json(tr.origin);
        a[12] = tr.destination.empty() ? nlohmann::json("null") : nlohmann::json(tr.destination);
        a[13] = tr.callsign.empty() ? nlohmann::json("null") : nlohmann::json(tr.callsign);
        a[14] = (p.alt <= 0 || p.gs < 40) ? 1 : 0;
        a[15] = p.vs;
        a[16] = tr.callsign;
        a[17] = tr.source.empty() ? nlohmann::json("adsb_icao") : nlohmann::json(tr.source);
        a[18] = std::round(p.alt);
        a[20] = p.ias >= 0 ? nlohmann::json(p.ias) : nlohmann::json(-1);
        a[21] = p.gs;
        a[23] = p.roll;
        a[25] = p.heading >= 0 ? nlohmann::json(p.heading) : nlohmann::json(p.track);
        a[26] = p.heading >= 0 ? nlohmann::json(p.heading) : nlohmann::json(p.track);
        a[28] = tr.category.empty() ? nlohmann::json("null") : nlohmann::json(tr.category);
        return a;
    }

    nlohmann::json snapshot(double t, double stamp, double top, double bottom, double left, double right) const {
        nlohmann::json data = nlohmann::json::object();
        for (const auto& tr : tracks) {
            auto p = sample(tr, t);
            if (!p || p->lat > top || p->lat < bottom || p->lon < left || p->lon > right) continue;
            data[tr.hex] = aircraftArray(tr, *p, stamp);
        }
        return data;
    }

    const Station* nearestStation(double lat, double lon) const {
        const Station* best = nullptr;
        double bestD = 1e300;
        for (const auto& s : stations) {
            double dlat = s.lat - lat;
            double dlon = (s.lon - lon) * std::cos(lat * M_PI / 180.0);
            double d = dlat * dlat + dlon * dlon;
            if (d < bestD) {
                bestD = d;
                best = &s;
            }
        }
        return best;
    }

    std::string newGuid() {
        std::uniform_int_distribution<std::uint64_t> dist;
        return fmt::format("{:016x}-{:08x}", dist(random), static_cast<std::uint32_t>(dist(random)));
    }
};

Server::Server() : impl_(std::make_unique<Impl>()) {}

Server::~Server() { stop(); }

void Server::loadScenario(const nlohmann::json& s) {
    if (!s.is_object()) throw std::runtime_error("scenario: not a JSON object");
    std::lock_guard lock(impl_->mutex);
    auto& im = *impl_;
    im.serverName = str(s, "server", "rtstub");
    im.rrl = static_cast<int>(num(s, "rrl", 2000));
    im.wrrl = static_cast<int>(num(s, "wrrl", 2000));
    im.loop = s.value("loop", true);
    im.singleSession = s.value("singleSession", false);
    im.licenses.clear();
    for (const auto& l : s.value("licenses", nlohmann::json::array()))
        im.licenses.push_back({str(l, "license"), static_cast<int>(num(l, "type", 1)), num(l, "expiryDays", 365)});
    im.stations.clear();
    for (const auto& st : s.value("stations", nlohmann::json::array()))
        im.stations.push_back({str(st, "icao"), num(st, "lat", 0), num(st, "lon", 0),
                               st.contains("qnh") ? st["qnh"] : nlohmann::json(1013), str(st, "metar")});
    im.tracks.clear();
    im.duration = 0;
    for (const auto& t : s.value("tracks", nlohmann::json::array())) {
        Track tr;
        tr.hex = str(t, "hex");
        if (tr.hex.empty()) throw std::runtime_error("scenario: a track without \"hex\"");
        tr.callsign = str(t, "callsign");
        tr.type = str(t, "type");
        tr.registration = str(t, "registration");
        tr.origin = str(t, "origin");
        tr.destination = str(t, "destination");
        tr.category = str(t, "category");
        tr.source = str(t, "source", "adsb_icao");
        for (const auto& p : t.value("points", nlohmann::json::array())) {
            TrackPoint tp;
            tp.t = num(p, "t", 0);
            tp.lat = num(p, "lat", 0);
            tp.lon = num(p, "lon", 0);
            tp.alt = num(p, "alt", 0);
            tp.gs = num(p, "gs", 0);
            tp.track = num(p, "track", 0);
            tp.vs = num(p, "vs", 0);
            tp.heading = num(p, "heading", -1);
            tp.ias = num(p, "ias", -1);
            tp.roll = num(p, "roll", 0);
            if (!tr.points.empty() && tp.t < tr.points.back().t)
                throw std::runtime_error("scenario: track " + tr.hex + " has points out of time order");
            tr.points.push_back(tp);
        }
        if (!tr.points.empty()) im.duration = std::max(im.duration, tr.points.back().t);
        im.tracks.push_back(std::move(tr));
    }
    im.parked = s.value("parked", nlohmann::json::array());
    // A longer replay period leaves a quiet stretch after the last track; a shorter one never cuts a track.
    im.duration = std::max(im.duration, num(s, "loopSec", 0));
}

void Server::loadScenarioFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("scenario: cannot open " + path);
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(in);
    } catch (const std::exception& e) {
        throw std::runtime_error("scenario: " + path + ": " + e.what());
    }
    loadScenario(j);
}

nlohmann::json Server::answer(const std::string& endpoint, const std::map<std::string, std::string>& form) {
    std::lock_guard lock(impl_->mutex);
    auto& im = *impl_;
    auto get = [&](const char* k) -> std::string {
        auto it = form.find(k);
        return it == form.end() ? std::string() : it->second;
    };
    const double offsetSec = formNumber(form, "toffset").value_or(0.0) * 60.0;

    if (endpoint == "auth") {
        std::string license = get("license");
        if (license.empty() || get("software").empty()) return failure(400, "missing license or software");
        License found{license, 1, 365};
        if (!im.licenses.empty()) {
            auto it = std::find_if(im.licenses.begin(), im.licenses.end(),
                                   [&](const License& l) { return l.license == license; });
            if (it == im.licenses.end()) return failure(404, "license not recognised");
            found = *it;
        }
        if (found.expiryDays < 0) return failure(402, "license expired");
        if (im.singleSession && !im.sessions.empty()) return failure(405, "more than one session");
        std::string guid = im.newGuid();
        im.sessions[guid] = {license, found.type};
        return {{"status", 200},
                {"wrrl", im.wrrl},
                {"server", im.serverName},
                {"type", found.type},
                {"GUID", guid},
                {"expiry", static_cast<std::int64_t>(im.unixTime() + found.expiryDays * 86400.0)}};
    }

    const std::string guid = get("GUID");
    if (guid.empty()) return failure(400, "missing GUID");
    if (im.sessions.find(guid) == im.sessions.end()) return failure(401, "session not valid");

    if (endpoint == "deauth") {
        im.sessions.erase(guid);
        return {{"status", 200}, {"message", "Logged out from"}, {"server", im.serverName}};
    }

    if (endpoint == "nearestmetar" || endpoint == "weather") {
        auto lat = formNumber(form, "lat");
        auto lon = formNumber(form, "lon");
        if (!lat || !lon) return failure(400, "missing lat or lon");
        if (endpoint == "weather" && get("querytype") != "locwx") return failure(400, "unknown querytype");
        const Station* st = nullptr;
        if (endpoint == "weather") {
            std::string wanted = get("airports");
            for (const auto& s : im.stations)
                if (s.icao == wanted) st = &s;
        }
        if (st == nullptr) st = im.nearestStation(*lat, *lon);
        if (endpoint == "nearestmetar") {
            if (st == nullptr) return {{"status", 200}, {"data", nullptr}};
            return {{"status", 200},
                    {"data", {{"ICAO", st->icao}, {"METAR", st->metar}, {"Lat", st->lat}, {"Lon", st->lon}}}};
        }
        nlohmann::json data = nlohmann::json::object();
        data["QNH"] = st ? st->qnh : nlohmann::json(1013);
        data["METAR"] = st ? st->metar : std::string();
        data["locWX"] = {{"SLP", data["QNH"]}, {"alt", formNumber(form, "alt").value_or(0.0)}};
        return {{"status", 200}, {"wrrl", im.wrrl}, {"data", data}};
    }

    if (endpoint == "traffic") {
        auto top = formNumber(form, "top");
        auto bottom = formNumber(form, "bottom");
        auto left = formNumber(form, "left");
        auto right = formNumber(form, "right");
        if (!top || !bottom || !left || !right) return failure(400, "missing query box");
        const std::string type = get("querytype");
        // A shifted request is answered from the scenario moved into the shifted time: the same aircraft
        // play at the same places, their time stamps lie the shift in the past.
        const double now = im.unixTime() - offsetSec;
        const double t = im.playTime();
        if (type == "parkedtraffic") {
            nlohmann::json data = nlohmann::json::object();
            for (const auto& p : im.parked) {
                double lat = num(p, "lat", 0), lon = num(p, "lon", 0);
                if (lat > *top || lat < *bottom || lon < *left || lon > *right) continue;
                // An aircraft that has left its stand is no longer reported parked; the loop of the
                // tracks does not bring it back.
                if (p.contains("leftAtSec") && t >= num(p, "leftAtSec", 0)) continue;
                data[str(p, "hex")] = nlohmann::json::array(
                    {lat, lon, str(p, "stand"), str(p, "type"), str(p, "registration", "null"),
                     static_cast<std::int64_t>(now - num(p, "seenAgoSec", 0)), str(p, "callsign", "null")});
            }
            return {{"status", 200}, {"data", data}};
        }
        if (type != "locationtraffic") return failure(400, "unknown querytype");
        auto count = formNumber(form, "buffercount");
        if (count) {
            int n = std::clamp(static_cast<int>(*count), 1, 30);
            double step = formNumber(form, "buffertime").value_or(10.0);
            nlohmann::json data = nlohmann::json::object();
            for (int k = 0; k < n; ++k)
                data[fmt::format("buffer_{}", k)] =
                    im.snapshot(t - k * step, now - k * step, *top, *bottom, *left, *right);
            return {{"status", 200}, {"rrl", im.rrl}, {"data", data}};
        }
        return {{"status", 200}, {"rrl", im.rrl}, {"data", im.snapshot(t, now, *top, *bottom, *left, *right)}};
    }
    return failure(400, "unknown endpoint");
}

int Server::start(int port) {
    auto& im = *impl_;
    im.stopping = false;
    im.started = std::chrono::steady_clock::now();
    im.http.Post(R"(/v4/(\w+))", [this](const httplib::Request& req, httplib::Response& res) {
        auto& im = *impl_;
        const std::string endpoint = req.matches[1];
        ReceivedRequest rec{endpoint, {}, req.get_header_value("Accept-Encoding")};
        for (const auto& [k, v] : req.params) rec.form[k] = v;
        std::optional<ScriptedReply> scripted;
        {
            std::lock_guard lock(im.mutex);
            im.received.push_back(rec);
            auto it = im.scripts.find(endpoint);
            if (it != im.scripts.end() && !it->second.empty()) {
                scripted = it->second.front();
                auto& front = it->second.front();
                if (front.times > 0 && --front.times == 0) it->second.pop_front();
            }
        }
        if (scripted && scripted->delayMs > 0) {
            auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(scripted->delayMs);
            while (!im.stopping && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (scripted && scripted->dropConnection) {
            res.set_content_provider(1000, "application/json",
                                     [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
            return;
        }
        std::string body;
        if (scripted && scripted->body) {
            body = *scripted->body;
        } else {
            nlohmann::json reply = answer(endpoint, rec.form);
            if (scripted && scripted->status) {
                if (*scripted->status == 200)
                    reply["status"] = 200;
                else
                    reply = failure(*scripted->status, fmt::format("scripted status {}", *scripted->status));
            }
            body = reply.dump();
        }
        res.set_content(body, "application/json");
    });
    im.http.Post("/control/script", [this](const httplib::Request& req, httplib::Response& res) {
        try {
            auto j = nlohmann::json::parse(req.body);
            ScriptedReply r;
            if (j.contains("status")) r.status = j["status"].get<int>();
            if (j.contains("body")) r.body = j["body"].get<std::string>();
            r.delayMs = j.value("delayMs", 0);
            r.dropConnection = j.value("drop", false);
            r.times = j.value("times", 1);
            script(j.at("endpoint").get<std::string>(), r);
            res.set_content("{\"ok\":true}", "application/json");
        } catch (const std::exception& e) {
            res.status = 400;
            res.set_content(nlohmann::json{{"error", e.what()}}.dump(), "application/json");
        }
    });
    im.http.Post("/control/clear", [this](const httplib::Request&, httplib::Response& res) {
        clearScripts();
        res.set_content("{\"ok\":true}", "application/json");
    });
    im.http.Get("/control/requests", [this](const httplib::Request&, httplib::Response& res) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& r : requests()) list.push_back({{"endpoint", r.endpoint}, {"form", r.form}});
        res.set_content(list.dump(), "application/json");
    });

    if (port == 0)
        port_ = im.http.bind_to_any_port("127.0.0.1");
    else
        port_ = im.http.bind_to_port("127.0.0.1", port) ? port : -1;
    if (port_ <= 0) throw std::runtime_error("rtstub: cannot listen on 127.0.0.1");
    im.thread = std::thread([this] { impl_->http.listen_after_bind(); });
    // The server only honours stop() once its accept loop runs: wait for it, also on a busy machine.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!im.http.is_running() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!im.http.is_running()) {
        stop();
        throw std::runtime_error("rtstub: the server did not start");
    }
    return port_;
}

void Server::stop() {
    if (!impl_) return;
    impl_->stopping = true;
    if (!impl_->thread.joinable()) return;
    // A stop() before the accept loop runs is lost and the join would wait for ever.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!impl_->http.is_running() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    impl_->http.stop();
    impl_->thread.join();
}

std::string Server::baseUrl() const { return fmt::format("http://127.0.0.1:{}", port_); }

void Server::script(const std::string& endpoint, ScriptedReply reply) {
    std::lock_guard lock(impl_->mutex);
    impl_->scripts[endpoint].push_back(std::move(reply));
}

void Server::clearScripts() {
    std::lock_guard lock(impl_->mutex);
    impl_->scripts.clear();
}

void Server::clearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->received.clear();
}

std::vector<ReceivedRequest> Server::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->received;
}

std::size_t Server::requestCount(const std::string& endpoint) const {
    std::lock_guard lock(impl_->mutex);
    return static_cast<std::size_t>(std::count_if(impl_->received.begin(), impl_->received.end(),
                                                  [&](const ReceivedRequest& r) { return r.endpoint == endpoint; }));
}

void Server::setPlayTime(double seconds) {
    std::lock_guard lock(impl_->mutex);
    impl_->pinnedPlay = seconds;
}

double Server::playTime() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->playTime();
}

void Server::setUnixTime(double unixSeconds) {
    std::lock_guard lock(impl_->mutex);
    impl_->pinnedUnix = unixSeconds;
}

double Server::unixTime() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->unixTime();
}

nlohmann::json syntheticScenario(int count, double latitude, double longitude) {
    nlohmann::json tracks = nlohmann::json::array();
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> offset(-0.4, 0.4);
    std::uniform_real_distribution<double> course(0.0, 360.0);
    std::uniform_real_distribution<double> altitude(3000.0, 38000.0);
    static const char* types[] = {"B738", "A320", "A21N", "B77W", "E190", "A359", "B789", "C172"};
    for (int i = 0; i < count; ++i) {
        double lat = latitude + offset(rng);
        double lon = longitude + offset(rng);
        double crs = course(rng);
        double alt = altitude(rng);
        double gs = 250 + (i % 200);
        double dist = gs / 3600.0 * 600.0 / 60.0;  // degrees in 10 minutes
        nlohmann::json points = nlohmann::json::array();
        points.push_back(
            {{"t", 0}, {"lat", lat}, {"lon", lon}, {"alt", alt}, {"gs", gs}, {"track", crs}, {"heading", crs}});
        points.push_back({{"t", 600},
                          {"lat", lat + dist * std::cos(crs * M_PI / 180.0)},
                          {"lon", lon + dist * std::sin(crs * M_PI / 180.0) / std::cos(lat * M_PI / 180.0)},
                          {"alt", alt},
                          {"gs", gs},
                          {"track", crs},
                          {"heading", crs}});
        tracks.push_back({{"hex", fmt::format("{:06x}", 0x400000 + i)},
                          {"callsign", fmt::format("TST{}", 100 + i)},
                          {"type", types[i % 8]},
                          {"registration", fmt::format("PH-{:03d}", i)},
                          {"origin", "EHAM"},
                          {"destination", "EGLL"},
                          {"category", i % 8 == 7 ? "A1" : "A3"},
                          {"points", points}});
    }
    return {{"tracks", tracks},
            {"stations", nlohmann::json::array({{{"icao", "EHAM"}, {"lat", 52.31}, {"lon", 4.76}, {"qnh", 1013}}})}};
}

}  // namespace rtstub
