#include "platform/sim/stand_in.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace vsim {

namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;
constexpr std::uint32_t kUserId = 1;
constexpr std::uint32_t kFirstAiId = 100;
constexpr std::size_t kCallLogLimit = 200000;

using Msg = std::vector<std::uint64_t>;

std::string lower(std::string_view s) {
    std::string r(s);
    for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

bool equalNoCase(std::string_view a, std::string_view b) { return lower(a) == lower(b); }

const char* typeName(DataType t) {
    switch (t) {
        case DataType::Int32: return "Int32";
        case DataType::Int64: return "Int64";
        case DataType::Float32: return "Float32";
        case DataType::Float64: return "Float64";
        case DataType::String32: return "String32";
        case DataType::StringV: return "StringV";
        default: return "Invalid";
    }
}

template <class T>
Msg makeMsg(T record, std::uint32_t id, const void* extra = nullptr, std::size_t extraSize = 0) {
    const std::size_t total = sizeof(T) + extraSize;
    Msg m((total + 7) / 8, 0);
    auto* header = reinterpret_cast<RecvHeader*>(&record);
    header->size = static_cast<std::uint32_t>(total);
    header->version = 1;
    header->id = id;
    std::memcpy(m.data(), &record, sizeof(T));
    if (extraSize) std::memcpy(reinterpret_cast<char*>(m.data()) + sizeof(T), extra, extraSize);
    return m;
}

void copyText(char* dst, std::size_t cap, std::string_view src) {
    const std::size_t n = std::min(cap - 1, src.size());
    std::memcpy(dst, src.data(), n);
    dst[n] = 0;
}

// Great-circle distance in metres (sphere of 10800/pi nm).
double distanceMetres(double lat1, double lon1, double lat2, double lon2) {
    const double p1 = lat1 * kDegToRad, p2 = lat2 * kDegToRad;
    const double dp = p2 - p1, dl = (lon2 - lon1) * kDegToRad;
    const double h = std::sin(dp / 2) * std::sin(dp / 2) + std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
    return 6875.493541569878 * std::atan2(std::sqrt(h), std::sqrt(1 - h)) * 1852.0;
}

// Unix seconds -> year, day of year (from 1), seconds of the day.
void zuluFields(std::int64_t unix, std::int64_t& year, std::int64_t& dayOfYear, std::int64_t& secondsOfDay) {
    std::int64_t days = unix / 86400;
    secondsOfDay = unix % 86400;
    if (secondsOfDay < 0) {
        secondsOfDay += 86400;
        --days;
    }
    // civil from days
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t y = yoe + era * 400;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
    year = y;
    // day of year from 1 Jan of y
    auto daysFromCivil = [](std::int64_t yy, std::int64_t mm, std::int64_t dd) {
        yy -= mm <= 2;
        const std::int64_t e = (yy >= 0 ? yy : yy - 399) / 400;
        const std::int64_t yoe2 = yy - e * 400;
        const std::int64_t doy2 = (153 * (mm + (mm > 2 ? -3 : 9)) + 2) / 5 + dd - 1;
        const std::int64_t doe2 = yoe2 * 365 + yoe2 / 4 - yoe2 / 100 + doy2;
        return e * 146097 + doe2 - 719468;
    };
    dayOfYear = days - daysFromCivil(y, 1, 1) + 1;
}

// ---- simulation variables ----
enum class Var {
    Lat, Lon, Pitch, Bank, Heading, Alt, VerticalSpeed, Airspeed, Agl, GroundAlt, OnGround, GroundSpeed,
    ZuluTime, ZuluDay, ZuluYear, LightStates, LightOnStates, StaticCg, StaticPitch, Spoilers, Throttle1,
    Throttle2, Title, AtcModel, AtcId
};
enum class Kind { AngleDeg, AngleRad, Feet, Knots, Fps, Bool, Number, Seconds, Mask, Percent, Text };

struct VarInfo {
    const char* name;
    Var var;
    Kind kind;
    bool writable;
};

const VarInfo kVars[] = {
    {"plane latitude", Var::Lat, Kind::AngleDeg, true},
    {"plane longitude", Var::Lon, Kind::AngleDeg, true},
    {"plane pitch degrees", Var::Pitch, Kind::AngleRad, true},
    {"plane bank degrees", Var::Bank, Kind::AngleRad, true},
    {"plane heading degrees true", Var::Heading, Kind::AngleRad, true},
    {"plane altitude", Var::Alt, Kind::Feet, true},
    {"vertical speed", Var::VerticalSpeed, Kind::Fps, true},
    {"airspeed true", Var::Airspeed, Kind::Knots, true},
    {"plane alt above ground", Var::Agl, Kind::Feet, false},
    {"ground altitude", Var::GroundAlt, Kind::Feet, false},
    {"sim on ground", Var::OnGround, Kind::Bool, false},
    {"ground velocity", Var::GroundSpeed, Kind::Knots, false},
    {"zulu time", Var::ZuluTime, Kind::Seconds, false},
    {"zulu day of year", Var::ZuluDay, Kind::Number, false},
    {"zulu year", Var::ZuluYear, Kind::Number, false},
    {"light states", Var::LightStates, Kind::Mask, false},
    {"light on states", Var::LightOnStates, Kind::Mask, false},
    {"static cg to ground", Var::StaticCg, Kind::Feet, false},
    {"static pitch", Var::StaticPitch, Kind::AngleRad, false},
    {"spoilers handle position", Var::Spoilers, Kind::Percent, true},
    {"general eng throttle lever position:1", Var::Throttle1, Kind::Percent, true},
    {"general eng throttle lever position:2", Var::Throttle2, Kind::Percent, true},
    {"title", Var::Title, Kind::Text, false},
    {"atc model", Var::AtcModel, Kind::Text, false},
    {"atc id", Var::AtcId, Kind::Text, false},
};

// Factor from the stored value to the requested unit; nullopt when the unit does not fit.
std::optional<double> unitFactor(Kind kind, const std::string& unit) {
    switch (kind) {
        case Kind::AngleDeg:
            if (unit == "degree" || unit == "degrees") return 1.0;
            if (unit == "radian" || unit == "radians") return kDegToRad;
            return std::nullopt;
        case Kind::AngleRad:
            if (unit == "radian" || unit == "radians") return 1.0;
            if (unit == "degree" || unit == "degrees") return kRadToDeg;
            return std::nullopt;
        case Kind::Feet:
            if (unit == "feet" || unit == "foot") return 1.0;
            if (unit == "meter" || unit == "meters") return 0.3048;
            return std::nullopt;
        case Kind::Knots:
            if (unit == "knots" || unit == "knot") return 1.0;
            return std::nullopt;
        case Kind::Fps:
            if (unit == "feet per second") return 1.0;
            if (unit == "feet per minute") return 60.0;
            return std::nullopt;
        case Kind::Bool: return unit == "bool" ? std::optional<double>(1.0) : std::nullopt;
        case Kind::Number: return unit == "number" ? std::optional<double>(1.0) : std::nullopt;
        case Kind::Seconds: return (unit == "seconds" || unit == "second") ? std::optional<double>(1.0) : std::nullopt;
        case Kind::Mask: return unit == "mask" ? std::optional<double>(1.0) : std::nullopt;
        case Kind::Percent: return unit == "percent" ? std::optional<double>(1.0) : std::nullopt;
        case Kind::Text: return (unit.empty() || unit == "none") ? std::optional<double>(1.0) : std::nullopt;
    }
    return std::nullopt;
}

struct Field {
    std::string name, unit;
    DataType type;
    Var var;
    Kind kind;
    double factor;
    bool writable;
};

std::size_t fieldSize(DataType t) {
    switch (t) {
        case DataType::Int32:
        case DataType::Float32: return 4;
        case DataType::Int64:
        case DataType::Float64: return 8;
        case DataType::String32: return 32;
        default: return 0;  // StringV: variable
    }
}

struct Definition {
    std::vector<Field> fields;
    bool valid = true;
};

struct Periodic {
    std::uint32_t requestId, defineId, objectId;
    Period period;
    std::int64_t lastMs;
    bool sentOnce;
};

struct Obj {
    ObjectInfo info;
    std::uint32_t framesLeft = 0;
    std::int64_t lights = 0;
    double staticPitch = 0;
};

}  // namespace

struct Connection {
    std::shared_ptr<StandIn::Impl> sim;
    bool closed = false;
    std::string name;
    std::uint32_t packetId = 0;
    std::deque<Msg> queue;
    std::map<std::uint32_t, Definition> definitions;
    std::map<std::uint32_t, std::string> eventMap;           // client event id -> sim event name
    std::map<std::string, std::uint32_t> systemEvents;        // lower-case name -> client event id
    std::map<std::uint32_t, std::vector<std::uint32_t>> groups;
    std::vector<Periodic> periodic;
};

struct StandIn::Impl {
    mutable std::mutex m;
    StandInConfig cfg;
    std::int64_t now = 0;
    double nextFrame = 0;
    std::chrono::steady_clock::time_point realStart = std::chrono::steady_clock::now();
    std::map<std::uint32_t, Obj> objects;
    std::vector<std::uint32_t> pendingRemoved;
    std::uint32_t nextId = kFirstAiId;
    std::vector<Connection*> conns;
    bool running = true;
    bool quitted = false;
    int failOpens = 0;
    std::map<std::string, int> failCalls;
    bool inFlight = true;
    std::int64_t flightStartMs = -1;   // pending start after the menu (real-time scenarios)
    std::int64_t pathStartMs = 0;
    std::vector<UserWaypoint> path;
    std::string userTitle, userModel;
    std::int64_t zuluBase = 0, zuluSetMs = 0;
    std::vector<std::string> callLog;
    std::ofstream trace;
    std::int64_t lastSample = -1;

    explicit Impl(StandInConfig c) : cfg(std::move(c)) {
        inFlight = cfg.user.inFlight;
        if (!inFlight && cfg.user.menuSeconds > 0) flightStartMs = static_cast<std::int64_t>(cfg.user.menuSeconds * 1000);
        path = cfg.user.path;
        userTitle = cfg.user.title;
        userModel = cfg.user.atcModel;
        zuluBase = cfg.user.zuluStartUnix;
        Obj user;
        user.info.id = kUserId;
        user.info.isUser = true;
        user.info.visible = true;
        user.info.title = userTitle;
        user.lights = cfg.user.lightStates;
        user.info.cgHeightFt = titleInfo(userTitle) ? titleInfo(userTitle)->cgHeightFt : 5.0;
        objects.emplace(kUserId, std::move(user));
        if (!cfg.tracePath.empty()) trace.open(cfg.tracePath, std::ios::out | std::ios::trunc);
        for (const auto& f : cfg.traffic) addForeign(f);
        nextFrame = frameSpan();
        refreshUser();
    }

    double frameSpan() const { return 1000.0 / (cfg.frameRate > 0 ? cfg.frameRate : 30.0); }

    const TitleInfo* titleInfo(std::string_view title) const {
        for (const auto& t : cfg.titles)
            if (equalNoCase(t.title, title)) return &t;
        return nullptr;
    }

    void log(std::string line) {
        if (cfg.realTime || callLog.size() >= kCallLogLimit) return;
        callLog.push_back(std::move(line));
    }

    void traceLine(nlohmann::json j) {
        if (!trace.is_open()) return;
        nlohmann::json out{{"t", now}};
        out.update(j);
        trace << out.dump() << '\n';
        trace.flush();
    }

    bool shouldFail(const std::string& call) {
        auto it = failCalls.find(call);
        if (it == failCalls.end() || it->second <= 0) return false;
        --it->second;
        return true;
    }

    // ---- user aircraft ----
    Obj& user() { return objects.at(kUserId); }

    void refreshUser() {
        Obj& u = user();
        auto& p = u.info.position;
        u.info.title = userTitle;
        if (!inFlight || path.empty()) {
            p = PositionBlock{};
            u.info.groundSpeedKt = 0;
            u.info.altitudeAboveGroundFt = 0;
            u.info.onGround = true;
            return;
        }
        const double t = static_cast<double>(now - pathStartMs) / 1000.0;
        UserWaypoint w = path.back();
        if (t <= path.front().t) {
            w = path.front();
        } else {
            for (std::size_t i = 0; i + 1 < path.size(); ++i) {
                const auto& a = path[i];
                const auto& b = path[i + 1];
                if (t >= a.t && t <= b.t) {
                    const double f = b.t > a.t ? (t - a.t) / (b.t - a.t) : 1.0;
                    auto mix = [f](double x, double y) { return x + (y - x) * f; };
                    double dh = std::remainder(b.headingDeg - a.headingDeg, 360.0);
                    w.latitude = mix(a.latitude, b.latitude);
                    w.longitude = mix(a.longitude, b.longitude);
                    w.altitudeFt = mix(a.altitudeFt, b.altitudeFt);
                    w.aglFt = (a.aglFt >= 0 && b.aglFt >= 0) ? mix(a.aglFt, b.aglFt) : -1;
                    w.headingDeg = std::fmod(a.headingDeg + dh * f + 360.0, 360.0);
                    w.groundSpeedKt = mix(a.groundSpeedKt, b.groundSpeedKt);
                    break;
                }
            }
        }
        p.latitude = w.latitude;
        p.longitude = w.longitude;
        p.altitude = w.altitudeFt;
        p.heading = w.headingDeg * kDegToRad;
        p.pitch = 0;
        p.bank = 0;
        p.airspeed = w.groundSpeedKt;
        u.info.groundSpeedKt = w.groundSpeedKt;
        u.info.altitudeAboveGroundFt = w.aglFt >= 0 ? w.aglFt : std::max(0.0, w.altitudeFt - cfg.fieldElevationFt);
        u.info.onGround = u.info.altitudeAboveGroundFt <= u.info.cgHeightFt + 1.0;
    }

    void refreshGround(Obj& o) {
        if (o.info.isUser) return;
        o.info.altitudeAboveGroundFt = std::max(0.0, o.info.position.altitude - cfg.fieldElevationFt);
        o.info.onGround = o.info.altitudeAboveGroundFt <= o.info.cgHeightFt + 1.0;
    }

    std::int64_t zuluNow() const { return zuluBase + (now - zuluSetMs) / 1000; }

    // ---- messages ----
    void send(Connection* c, Msg msg) { c->queue.push_back(std::move(msg)); }

    void sendSystemEvent(const char* name, std::uint32_t data) {
        for (auto* c : conns) {
            auto it = c->systemEvents.find(name);
            if (it == c->systemEvents.end()) continue;
            RecvEventMsg e{};
            e.groupId = kUnused;
            e.eventId = it->second;
            e.data = data;
            send(c, makeMsg(e, RecvEventId));
        }
    }

    void sendAddRemove(const char* name, const Obj& o) {
        for (auto* c : conns) {
            auto it = c->systemEvents.find(name);
            if (it == c->systemEvents.end()) continue;
            RecvEventObjectAddRemoveMsg e{};
            e.event.groupId = kUnused;
            e.event.eventId = it->second;
            e.event.data = o.info.id;
            e.objectType = static_cast<std::uint32_t>(o.info.helicopter ? SimObjectType::Helicopter : SimObjectType::Aircraft);
            send(c, makeMsg(e, RecvEventObjectAddRemove));
        }
    }

    void refuse(Connection* c, std::uint32_t code, std::uint32_t index = kUnused) {
        RecvExceptionMsg e{};
        e.exception = code;
        e.sendId = c->packetId;
        e.index = index;
        send(c, makeMsg(e, RecvException));
    }

    // Value of a numeric variable of an object, in its stored unit.
    double number(const Obj& o, Var v) const {
        const auto& p = o.info.position;
        std::int64_t y = 0, d = 0, s = 0;
        switch (v) {
            case Var::Lat: return p.latitude;
            case Var::Lon: return p.longitude;
            case Var::Pitch: return p.pitch;
            case Var::Bank: return p.bank;
            case Var::Heading: return p.heading;
            case Var::Alt: return p.altitude;
            case Var::VerticalSpeed: return p.verticalSpeed;
            case Var::Airspeed: return p.airspeed;
            case Var::Agl: return o.info.altitudeAboveGroundFt;
            case Var::GroundAlt: return cfg.fieldElevationFt;
            case Var::OnGround: return o.info.onGround ? 1.0 : 0.0;
            case Var::GroundSpeed: return o.info.isUser ? o.info.groundSpeedKt : p.airspeed;
            case Var::ZuluTime: zuluFields(zuluNow(), y, d, s); return static_cast<double>(s);
            case Var::ZuluDay: zuluFields(zuluNow(), y, d, s); return static_cast<double>(d);
            case Var::ZuluYear: zuluFields(zuluNow(), y, d, s); return static_cast<double>(y);
            case Var::LightStates:
            case Var::LightOnStates: return static_cast<double>(o.lights);
            case Var::StaticCg: return o.info.cgHeightFt;
            case Var::StaticPitch: return o.staticPitch;
            case Var::Spoilers: return o.info.spoilers;
            case Var::Throttle1: return o.info.throttle1;
            case Var::Throttle2: return o.info.throttle2;
            default: return 0;
        }
    }

    std::string text(const Obj& o, Var v) const {
        switch (v) {
            case Var::Title: return o.info.title;
            case Var::AtcModel: return o.info.isUser ? userModel : std::string();
            case Var::AtcId: return o.info.atcId;
            default: return {};
        }
    }

    std::vector<std::byte> block(const Obj& o, const Definition& def) const {
        std::vector<std::byte> out;
        for (const auto& f : def.fields) {
            const std::size_t at = out.size();
            if (f.kind == Kind::Text) {
                const std::string t = text(o, f.var);
                if (f.type == DataType::String32) {
                    out.resize(at + 32);
                    copyText(reinterpret_cast<char*>(out.data() + at), 32, t);
                } else {
                    const std::size_t n = (t.size() + 1 + 7) / 8 * 8;
                    out.resize(at + n);
                    std::memcpy(out.data() + at, t.data(), t.size());
                }
                continue;
            }
            const double v = number(o, f.var) * f.factor;
            out.resize(at + fieldSize(f.type));
            switch (f.type) {
                case DataType::Int32: {
                    auto x = static_cast<std::int32_t>(v);
                    std::memcpy(out.data() + at, &x, 4);
                    break;
                }
                case DataType::Int64: {
                    auto x = static_cast<std::int64_t>(v);
                    std::memcpy(out.data() + at, &x, 8);
                    break;
                }
                case DataType::Float32: {
                    auto x = static_cast<float>(v);
                    std::memcpy(out.data() + at, &x, 4);
                    break;
                }
                default: std::memcpy(out.data() + at, &v, 8); break;
            }
        }
        return out;
    }

    void sendData(Connection* c, std::uint32_t recvId, std::uint32_t requestId, std::uint32_t defineId, const Obj& o,
                  std::uint32_t entry, std::uint32_t outOf) {
        const Definition& def = c->definitions.at(defineId);
        const auto data = block(o, def);
        RecvSimObjectDataMsg d{};
        d.requestId = requestId;
        d.objectId = o.info.id;
        d.defineId = defineId;
        d.entryNumber = entry;
        d.outOf = outOf;
        d.defineCount = static_cast<std::uint32_t>(def.fields.size());
        send(c, makeMsg(d, recvId, data.data(), data.size()));
    }

    // ---- time ----
    void stepTo(std::int64_t target) {
        while (!quitted && nextFrame <= static_cast<double>(target)) {
            now = static_cast<std::int64_t>(nextFrame);
            frame();
            nextFrame += frameSpan();
        }
        now = std::max(now, target);
        if (quitted) nextFrame = static_cast<double>(now) + frameSpan();
    }

    void frame() {
        if (flightStartMs >= 0 && now >= flightStartMs) {
            flightStartMs = -1;
            setFlight(true);
        }
        for (auto& [id, o] : objects) {
            if (o.info.isUser || o.info.visible || o.info.removed) continue;
            if (o.framesLeft > 0) --o.framesLeft;
            if (o.framesLeft == 0) {
                o.info.visible = true;
                traceLine({{"ev", "added"}, {"id", id}, {"atcId", o.info.atcId}, {"title", o.info.title}});
                sendAddRemove("objectadded", o);
            }
        }
        for (auto id : pendingRemoved) {
            auto it = objects.find(id);
            if (it == objects.end()) continue;
            traceLine({{"ev", "removed"}, {"id", id}, {"atcId", it->second.info.atcId}});
            if (it->second.info.visible) sendAddRemove("objectremoved", it->second);
            objects.erase(it);
        }
        pendingRemoved.clear();
        refreshUser();
        for (auto* c : conns) {
            for (auto& p : c->periodic) {
                bool due = false;
                if (p.period == Period::SimFrame || p.period == Period::VisualFrame) due = true;
                if (p.period == Period::Second) due = !p.sentOnce || now - p.lastMs >= 1000;
                if (!due) continue;
                auto it = objects.find(p.objectId);
                if (it == objects.end() || !c->definitions.count(p.defineId) || !c->definitions[p.defineId].valid) continue;
                p.sentOnce = true;
                p.lastMs = now;
                sendData(c, RecvSimObjectData, p.requestId, p.defineId, it->second, 0, 0);
            }
        }
        for (auto* c : conns) {
            auto it = c->systemEvents.find("frame");
            if (it == c->systemEvents.end()) continue;
            RecvEventFrameMsg f{};
            f.event.groupId = kUnused;
            f.event.eventId = it->second;
            f.frameRate = static_cast<float>(cfg.frameRate);
            f.simSpeed = 1.0f;
            send(c, makeMsg(f, RecvEventFrame));
        }
        if (trace.is_open() && (lastSample < 0 || now - lastSample >= cfg.traceSampleMs)) {
            lastSample = now;
            for (const auto& [id, o] : objects) {
                if (!o.info.visible || o.info.removed) continue;
                if (o.info.isUser && !inFlight) continue;
                const auto& p = o.info.position;
                traceLine({{"ev", "position"}, {"id", id}, {"user", o.info.isUser}, {"lat", p.latitude},
                           {"lon", p.longitude}, {"altFt", p.altitude}, {"headingDeg", p.heading * kRadToDeg},
                           {"aglFt", o.info.altitudeAboveGroundFt}, {"onGround", o.info.onGround}});
            }
        }
    }

    void setFlight(bool flight) {
        if (flight == inFlight) return;
        inFlight = flight;
        if (flight) pathStartMs = now;
        refreshUser();
        sendSystemEvent("sim", flight ? 1 : 0);
    }

    std::uint32_t addForeign(const ForeignAircraft& f) {
        Obj o;
        o.info.id = nextId++;
        o.info.title = f.title;
        o.info.atcId = f.atcId.substr(0, 31);
        const TitleInfo* t = titleInfo(f.title);
        o.info.cgHeightFt = t ? t->cgHeightFt : 8.0;
        o.staticPitch = t ? t->staticPitchRad : 0.0;
        o.info.helicopter = t && t->helicopter;
        place(o, f.position);
        o.framesLeft = 0;
        const auto id = o.info.id;
        objects.emplace(id, std::move(o));
        return id;
    }

    void place(Obj& o, const InitPosition& ip) {
        auto& p = o.info.position;
        p.latitude = ip.latitude;
        p.longitude = ip.longitude;
        p.altitude = ip.onGround ? cfg.fieldElevationFt + o.info.cgHeightFt : ip.altitude;
        p.pitch = ip.pitch * kDegToRad;
        p.bank = ip.bank * kDegToRad;
        p.heading = ip.heading * kDegToRad;
        p.airspeed = ip.airspeed;
        refreshGround(o);
    }

    Obj* find(std::uint32_t id, bool allowUser) {
        if (id == kObjectIdUser) id = kUserId;
        auto it = objects.find(id);
        if (it == objects.end() || it->second.info.removed) return nullptr;
        if (!allowUser && it->second.info.isUser) return nullptr;
        return &it->second;
    }
};

namespace {

std::mutex g_mutex;
std::shared_ptr<StandIn> g_current;
std::vector<std::unique_ptr<Connection>> g_connections;  // handles stay valid for the process

// Locks the connection's simulator; fails for a null or closed handle, after quit (unless
// `afterQuit`) and for a call told to fail. On success counts the packet.
class CallGuard {
public:
    CallGuard(SimHandle h, const char* call, bool afterQuit = false) {
        if (!h || !h->sim) return;
        sim_ = h->sim.get();
        lock_ = std::unique_lock(sim_->m);
        if (h->closed || (sim_->quitted && !afterQuit) || sim_->shouldFail(call)) return;
        ok_ = true;
        ++h->packetId;
    }
    explicit operator bool() const { return ok_; }
    StandIn::Impl& sim() { return *sim_; }

private:
    StandIn::Impl* sim_ = nullptr;
    std::unique_lock<std::mutex> lock_;
    bool ok_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// StandIn
// ---------------------------------------------------------------------------------------------

StandIn::StandIn(StandInConfig config) : impl_(std::make_shared<Impl>(std::move(config))) {}
StandIn::~StandIn() = default;

std::shared_ptr<StandIn> StandIn::install(StandInConfig config) {
    auto s = std::make_shared<StandIn>(std::move(config));
    std::lock_guard lock(g_mutex);
    g_current = s;
    return s;
}

void StandIn::uninstall() {
    std::lock_guard lock(g_mutex);
    g_current.reset();
}

std::shared_ptr<StandIn> StandIn::current() {
    std::lock_guard lock(g_mutex);
    return g_current;
}

StandInConfig StandIn::configFromScenario(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error(fmt::format("simulator scenario \"{}\" cannot be opened", path));
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(in);
    } catch (const std::exception& e) {
        throw std::runtime_error(fmt::format("simulator scenario \"{}\" is no valid JSON: {}", path, e.what()));
    }
    StandInConfig c;
    c.realTime = true;
    try {
        c.applicationName = j.value("simulator", c.applicationName);
        if (j.contains("version")) {
            for (std::size_t i = 0; i < 4 && i < j["version"].size(); ++i) c.version[i] = j["version"][i].get<std::uint32_t>();
        }
        c.frameRate = j.value("frameRate", c.frameRate);
        c.framesToAdd = j.value("framesToAdd", c.framesToAdd);
        c.fieldElevationFt = j.value("fieldElevationFt", c.fieldElevationFt);
        c.maxObjects = j.value("maxObjects", c.maxObjects);
        c.traceSampleMs = j.value("traceSampleMs", c.traceSampleMs);
        for (const auto& t : j.value("titles", nlohmann::json::array())) {
            TitleInfo ti;
            ti.title = t.at("title").get<std::string>();
            ti.cgHeightFt = t.value("cgFt", ti.cgHeightFt);
            ti.staticPitchRad = t.value("pitchDeg", 0.0) * kDegToRad;
            ti.helicopter = t.value("helicopter", false);
            c.titles.push_back(ti);
        }
        if (j.contains("user")) {
            const auto& u = j["user"];
            c.user.title = u.value("title", c.user.title);
            c.user.atcModel = u.value("atcModel", c.user.atcModel);
            c.user.inFlight = u.value("inFlight", true);
            c.user.menuSeconds = u.value("menuSeconds", 0.0);
            if (c.user.menuSeconds > 0) c.user.inFlight = false;
            c.user.zuluStartUnix = u.value("zuluUnix", c.user.zuluStartUnix);
            c.user.lightStates = u.value("lights", c.user.lightStates);
            if (u.contains("path")) {
                c.user.path.clear();
                for (const auto& w : u["path"]) {
                    UserWaypoint p;
                    p.t = w.value("t", 0.0);
                    p.latitude = w.at("lat").get<double>();
                    p.longitude = w.at("lon").get<double>();
                    p.altitudeFt = w.value("altFt", 0.0);
                    p.aglFt = w.value("aglFt", -1.0);
                    p.headingDeg = w.value("headingDeg", 0.0);
                    p.groundSpeedKt = w.value("speedKt", 0.0);
                    c.user.path.push_back(p);
                }
            }
        }
        for (const auto& t : j.value("traffic", nlohmann::json::array())) {
            ForeignAircraft f;
            f.title = t.at("title").get<std::string>();
            f.atcId = t.value("atcId", std::string());
            f.position.latitude = t.at("lat").get<double>();
            f.position.longitude = t.at("lon").get<double>();
            f.position.altitude = t.value("altFt", 0.0);
            f.position.heading = t.value("headingDeg", 0.0);
            f.position.onGround = t.value("onGround", true) ? 1 : 0;
            c.traffic.push_back(f);
        }
    } catch (const std::exception& e) {
        throw std::runtime_error(fmt::format("simulator scenario \"{}\": {}", path, e.what()));
    }
    return c;
}

StandInConfig StandIn::configFromEnvironment() {
    StandInConfig c;
    if (const char* s = std::getenv("VEXA_SIM_SCENARIO"); s && *s) c = configFromScenario(s);
    c.realTime = true;
    if (const char* t = std::getenv("VEXA_SIM_TRACE"); t && *t) c.tracePath = t;
    return c;
}

void StandIn::advance(std::chrono::milliseconds span) {
    std::lock_guard lock(impl_->m);
    if (impl_->cfg.realTime) return;
    impl_->stepTo(impl_->now + span.count());
}

std::int64_t StandIn::nowMs() const {
    std::lock_guard lock(impl_->m);
    return impl_->now;
}

void StandIn::setRunning(bool running) {
    std::lock_guard lock(impl_->m);
    impl_->running = running;
    if (running) impl_->quitted = false;
}

void StandIn::failOpens(int count) {
    std::lock_guard lock(impl_->m);
    impl_->failOpens = count;
}

void StandIn::failCalls(const std::string& callName, int count) {
    std::lock_guard lock(impl_->m);
    impl_->failCalls[callName] = count;
}

void StandIn::quit() {
    std::lock_guard lock(impl_->m);
    if (impl_->quitted) return;
    for (auto* c : impl_->conns) impl_->send(c, makeMsg(RecvQuitMsg{}, RecvQuit));
    impl_->quitted = true;
    impl_->running = false;
    impl_->traceLine({{"ev", "quit"}});
}

void StandIn::loadFlight(const std::string& fileName) {
    std::lock_guard lock(impl_->m);
    for (auto* c : impl_->conns) {
        auto it = c->systemEvents.find("flightloaded");
        if (it == c->systemEvents.end()) continue;
        RecvEventFilenameMsg e{};
        e.event.groupId = kUnused;
        e.event.eventId = it->second;
        copyText(e.fileName, sizeof e.fileName, fileName);
        impl_->send(c, makeMsg(e, RecvEventFilename));
    }
    impl_->traceLine({{"ev", "flightloaded"}, {"file", fileName}});
}

void StandIn::setInFlight(bool inFlight) {
    std::lock_guard lock(impl_->m);
    impl_->flightStartMs = -1;
    impl_->setFlight(inFlight);
}

void StandIn::setUserPath(std::vector<UserWaypoint> path) {
    std::lock_guard lock(impl_->m);
    impl_->path = std::move(path);
    impl_->pathStartMs = impl_->now;
    impl_->refreshUser();
}

void StandIn::placeUser(const UserWaypoint& point) { setUserPath({point}); }

void StandIn::setUserTitle(const std::string& title) {
    std::lock_guard lock(impl_->m);
    impl_->userTitle = title;
    impl_->refreshUser();
}

void StandIn::setUserModel(const std::string& atcModel) {
    std::lock_guard lock(impl_->m);
    impl_->userModel = atcModel;
}

void StandIn::setUserLights(std::int64_t mask) {
    std::lock_guard lock(impl_->m);
    impl_->user().lights = mask;
}

void StandIn::setZulu(std::int64_t unixSeconds) {
    std::lock_guard lock(impl_->m);
    impl_->zuluBase = unixSeconds;
    impl_->zuluSetMs = impl_->now;
}

void StandIn::setFieldElevation(double feet) {
    std::lock_guard lock(impl_->m);
    impl_->cfg.fieldElevationFt = feet;
    for (auto& [id, o] : impl_->objects) impl_->refreshGround(o);
    impl_->refreshUser();
}

void StandIn::setFrameRate(double fps) {
    std::lock_guard lock(impl_->m);
    impl_->cfg.frameRate = fps;
}

void StandIn::installTitle(const TitleInfo& title) {
    std::lock_guard lock(impl_->m);
    impl_->cfg.titles.push_back(title);
}

std::uint32_t StandIn::addForeignAircraft(const ForeignAircraft& aircraft) {
    std::lock_guard lock(impl_->m);
    auto id = impl_->addForeign(aircraft);
    impl_->traceLine({{"ev", "create"}, {"id", id}, {"title", aircraft.title}, {"atcId", aircraft.atcId}, {"foreign", true}});
    return id;
}

void StandIn::removeObject(std::uint32_t objectId) {
    std::lock_guard lock(impl_->m);
    Obj* o = impl_->find(objectId, false);
    if (!o) return;
    o->info.removed = true;
    impl_->pendingRemoved.push_back(o->info.id);
    impl_->traceLine({{"ev", "remove"}, {"id", o->info.id}});
}

void StandIn::injectException(std::uint32_t code, std::uint32_t sendId, std::uint32_t index) {
    std::lock_guard lock(impl_->m);
    for (auto* c : impl_->conns) {
        RecvExceptionMsg e{};
        e.exception = code;
        e.sendId = sendId;
        e.index = index;
        impl_->send(c, makeMsg(e, RecvException));
    }
}

std::vector<ObjectInfo> StandIn::objects() const {
    std::lock_guard lock(impl_->m);
    std::vector<ObjectInfo> out;
    for (const auto& [id, o] : impl_->objects) out.push_back(o.info);
    return out;
}

std::optional<ObjectInfo> StandIn::object(std::uint32_t objectId) const {
    std::lock_guard lock(impl_->m);
    auto it = impl_->objects.find(objectId);
    if (it == impl_->objects.end()) return std::nullopt;
    return it->second.info;
}

std::optional<ObjectInfo> StandIn::objectByAtcId(const std::string& atcId) const {
    std::lock_guard lock(impl_->m);
    for (const auto& [id, o] : impl_->objects)
        if (!o.info.isUser && o.info.atcId == atcId) return o.info;
    return std::nullopt;
}

std::uint32_t StandIn::userObjectId() const { return kUserId; }

std::vector<std::string> StandIn::callLog() const {
    std::lock_guard lock(impl_->m);
    return impl_->callLog;
}

int StandIn::openConnections() const {
    std::lock_guard lock(impl_->m);
    return static_cast<int>(impl_->conns.size());
}

// ---------------------------------------------------------------------------------------------
// The client API
// ---------------------------------------------------------------------------------------------

SimResult open(SimHandle* handle, std::string_view clientName, std::uint32_t configIndex) {
    if (!handle) return kFail;
    *handle = nullptr;
    std::shared_ptr<StandIn> sim;
    {
        std::lock_guard lock(g_mutex);
        if (!g_current) {
            try {
                g_current = std::make_shared<StandIn>(StandIn::configFromEnvironment());
            } catch (const std::exception& e) {
                // An unreadable scenario: no simulator to talk to. Said once, the client retries.
                static std::once_flag said;
                std::call_once(said, [&] { std::fprintf(stderr, "stand-in simulator: %s\n", e.what()); });
                return kFail;
            }
        }
        sim = g_current;
    }
    auto& impl = sim->impl();
    auto conn = std::make_unique<Connection>();
    {
        std::lock_guard lock(impl.m);
        if (!impl.running || impl.quitted) return kFail;
        if (impl.failOpens > 0) {
            --impl.failOpens;
            return kFail;
        }
        if (impl.shouldFail("open")) return kFail;
        impl.log(fmt::format("open {} {}", clientName, configIndex));
        conn->sim = std::shared_ptr<StandIn::Impl>(sim, &impl);
        conn->name = std::string(clientName);
        RecvOpenMsg o{};
        copyText(o.applicationName, sizeof o.applicationName, impl.cfg.applicationName);
        o.applicationVersionMajor = impl.cfg.version[0];
        o.applicationVersionMinor = impl.cfg.version[1];
        o.applicationBuildMajor = impl.cfg.version[2];
        o.applicationBuildMinor = impl.cfg.version[3];
        o.simConnectVersionMajor = impl.cfg.version[0];
        o.simConnectVersionMinor = impl.cfg.version[1];
        o.simConnectBuildMajor = impl.cfg.version[2];
        o.simConnectBuildMinor = impl.cfg.version[3];
        conn->queue.push_back(makeMsg(o, RecvOpen));
        impl.conns.push_back(conn.get());
        if (impl.cfg.realTime) {
            // a real-time simulator counts from its first client
            if (impl.conns.size() == 1 && impl.now == 0) impl.realStart = std::chrono::steady_clock::now();
        }
    }
    std::lock_guard lock(g_mutex);
    *handle = conn.get();
    g_connections.push_back(std::move(conn));
    return kOk;
}

SimResult close(SimHandle handle) {
    if (!handle || !handle->sim) return kFail;
    std::lock_guard lock(handle->sim->m);
    if (handle->closed) return kFail;
    handle->closed = true;
    auto& conns = handle->sim->conns;
    conns.erase(std::remove(conns.begin(), conns.end(), handle), conns.end());
    handle->queue.clear();
    handle->sim->log("close");
    return kOk;
}

SimResult callDispatch(SimHandle handle, DispatchProc proc, void* context) {
    std::deque<Msg> batch;
    {
        if (!handle || !handle->sim) return kFail;
        auto& impl = *handle->sim;
        std::lock_guard lock(impl.m);
        if (handle->closed || impl.shouldFail("callDispatch")) return kFail;
        if (impl.cfg.realTime && !impl.quitted) {
            const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - impl.realStart)
                                  .count();
            if (real - impl.now > 2000) {
                impl.now = real - 2000;
                impl.nextFrame = std::max(impl.nextFrame, static_cast<double>(impl.now));
            }
            impl.stepTo(real);
        }
        batch.swap(handle->queue);
    }
    while (!batch.empty()) {
        Msg msg = std::move(batch.front());
        batch.pop_front();
        const auto* header = reinterpret_cast<const RecvHeader*>(msg.data());
        try {
            if (proc) proc(header, header->size, context);
        } catch (...) {
            if (handle->sim) {
                std::lock_guard lock(handle->sim->m);
                if (!handle->closed)
                    for (auto it = batch.rbegin(); it != batch.rend(); ++it) handle->queue.push_front(std::move(*it));
            }
            throw;
        }
    }
    return kOk;
}

SimResult addToDataDefinition(SimHandle handle, std::uint32_t defineId, std::string_view datumName,
                              std::string_view unitsName, DataType type, float epsilon, std::uint32_t datumId) {
    CallGuard g(handle, "addToDataDefinition");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("addToDataDefinition {} {}|{}|{}", defineId, datumName, unitsName, typeName(type)));
    Definition& def = handle->definitions[defineId];
    const std::string name = lower(datumName);
    const std::string unit = lower(unitsName);
    const VarInfo* vi = nullptr;
    for (const auto& v : kVars)
        if (name == v.name) vi = &v;
    std::optional<double> factor;
    if (vi) factor = unitFactor(vi->kind, unit);
    const bool textVar = vi && vi->kind == Kind::Text;
    const bool textType = type == DataType::String32 || type == DataType::StringV;
    if (!vi || !factor || textVar != textType || type == DataType::Invalid) {
        def.valid = false;
        sim.refuse(handle, ExceptionNameUnrecognized, static_cast<std::uint32_t>(def.fields.size()));
        return kOk;
    }
    def.fields.push_back(Field{std::string(datumName), std::string(unitsName), type, vi->var, vi->kind, *factor, vi->writable});
    return kOk;
}

SimResult requestDataOnSimObject(SimHandle handle, std::uint32_t requestId, std::uint32_t defineId, std::uint32_t objectId,
                                 Period period, std::uint32_t flags, std::uint32_t origin, std::uint32_t interval,
                                 std::uint32_t limit) {
    CallGuard g(handle, "requestDataOnSimObject");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("requestDataOnSimObject {} {} {} {}", requestId, defineId, objectId, static_cast<int>(period)));
    auto& per = handle->periodic;
    per.erase(std::remove_if(per.begin(), per.end(), [&](const Periodic& p) { return p.requestId == requestId; }), per.end());
    if (period == Period::Never) return kOk;
    auto def = handle->definitions.find(defineId);
    Obj* o = sim.find(objectId, true);
    if (def == handle->definitions.end() || !o) {
        sim.refuse(handle, ExceptionUnrecognizedId);
        return kOk;
    }
    if (!def->second.valid) return kOk;  // refused when its fields were declared
    if (period == Period::Once) {
        if (o->info.isUser) sim.refreshUser();
        sim.sendData(handle, RecvSimObjectData, requestId, defineId, *o, 0, 0);
        return kOk;
    }
    per.push_back(Periodic{requestId, defineId, o->info.id, period, sim.now, false});
    return kOk;
}

SimResult requestDataOnSimObjectType(SimHandle handle, std::uint32_t requestId, std::uint32_t defineId,
                                     std::uint32_t radiusMetres, SimObjectType type) {
    CallGuard g(handle, "requestDataOnSimObjectType");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("requestDataOnSimObjectType {} {} {} {}", requestId, defineId, radiusMetres, static_cast<int>(type)));
    auto def = handle->definitions.find(defineId);
    if (def == handle->definitions.end()) {
        sim.refuse(handle, ExceptionUnrecognizedId);
        return kOk;
    }
    if (!def->second.valid) return kOk;
    sim.refreshUser();
    const auto& u = sim.user().info.position;
    std::vector<const Obj*> found;
    for (const auto& [id, o] : sim.objects) {
        if (!o.info.visible || o.info.removed) continue;
        bool typeOk = false;
        switch (type) {
            case SimObjectType::User: typeOk = o.info.isUser; break;
            case SimObjectType::All:
            case SimObjectType::Aircraft: typeOk = true; break;
            case SimObjectType::Helicopter: typeOk = o.info.helicopter; break;
            default: typeOk = false;
        }
        if (!typeOk) continue;
        const auto& p = o.info.position;
        if (distanceMetres(u.latitude, u.longitude, p.latitude, p.longitude) > radiusMetres) continue;
        found.push_back(&o);
    }
    for (std::size_t i = 0; i < found.size(); ++i)
        sim.sendData(handle, RecvSimObjectDataByType, requestId, defineId, *found[i], static_cast<std::uint32_t>(i + 1),
                     static_cast<std::uint32_t>(found.size()));
    return kOk;
}

SimResult setDataOnSimObject(SimHandle handle, std::uint32_t defineId, std::uint32_t objectId, std::uint32_t flags,
                             std::uint32_t arrayCount, std::uint32_t unitSize, const void* data) {
    CallGuard g(handle, "setDataOnSimObject");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("setDataOnSimObject {} {} {}", defineId, objectId, unitSize));
    auto def = handle->definitions.find(defineId);
    Obj* o = sim.find(objectId, true);
    if (def == handle->definitions.end() || !o) {
        sim.refuse(handle, ExceptionUnrecognizedId);
        return kOk;
    }
    std::size_t size = 0;
    bool fixed = true;
    for (const auto& f : def->second.fields) {
        size += fieldSize(f.type);
        fixed = fixed && fieldSize(f.type) > 0;
    }
    if (!fixed || unitSize != size || arrayCount > 1 || !data) {
        sim.refuse(handle, ExceptionInvalidDataSize);
        return kOk;
    }
    if (o->info.isUser) return kOk;  // the user flies the user aircraft
    const auto* bytes = static_cast<const std::byte*>(data);
    std::size_t at = 0;
    bool moved = false;
    for (const auto& f : def->second.fields) {
        double v = 0;
        switch (f.type) {
            case DataType::Int32: { std::int32_t x; std::memcpy(&x, bytes + at, 4); v = x; break; }
            case DataType::Int64: { std::int64_t x; std::memcpy(&x, bytes + at, 8); v = static_cast<double>(x); break; }
            case DataType::Float32: { float x; std::memcpy(&x, bytes + at, 4); v = x; break; }
            default: std::memcpy(&v, bytes + at, 8); break;
        }
        at += fieldSize(f.type);
        if (!f.writable) continue;
        v /= f.factor;
        auto& p = o->info.position;
        switch (f.var) {
            case Var::Lat: p.latitude = v; moved = true; break;
            case Var::Lon: p.longitude = v; moved = true; break;
            case Var::Pitch: p.pitch = v; break;
            case Var::Bank: p.bank = v; break;
            case Var::Heading: p.heading = v; break;
            case Var::Alt: p.altitude = v; moved = true; break;
            case Var::VerticalSpeed: p.verticalSpeed = v; break;
            case Var::Airspeed: p.airspeed = v; break;
            case Var::Spoilers: o->info.spoilers = v; break;
            case Var::Throttle1: o->info.throttle1 = v; break;
            case Var::Throttle2: o->info.throttle2 = v; break;
            default: break;
        }
    }
    if (moved) ++o->info.positionWrites;
    sim.refreshGround(*o);
    return kOk;
}

SimResult mapClientEventToSimEvent(SimHandle handle, std::uint32_t eventId, std::string_view eventName) {
    CallGuard g(handle, "mapClientEventToSimEvent");
    if (!g) return kFail;
    g.sim().log(fmt::format("mapClientEventToSimEvent {} {}", eventId, eventName));
    handle->eventMap[eventId] = std::string(eventName);
    return kOk;
}

SimResult addClientEventToNotificationGroup(SimHandle handle, std::uint32_t groupId, std::uint32_t eventId, bool maskable) {
    CallGuard g(handle, "addClientEventToNotificationGroup");
    if (!g) return kFail;
    g.sim().log(fmt::format("addClientEventToNotificationGroup {} {} {}", groupId, eventId, maskable ? 1 : 0));
    handle->groups[groupId].push_back(eventId);
    return kOk;
}

SimResult setNotificationGroupPriority(SimHandle handle, std::uint32_t groupId, std::uint32_t priority) {
    CallGuard g(handle, "setNotificationGroupPriority");
    if (!g) return kFail;
    g.sim().log(fmt::format("setNotificationGroupPriority {} {}", groupId, priority));
    return kOk;
}

SimResult transmitClientEvent(SimHandle handle, std::uint32_t objectId, std::uint32_t eventId, std::uint32_t data,
                              std::uint32_t groupId, std::uint32_t flags) {
    CallGuard g(handle, "transmitClientEvent");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("transmitClientEvent {} {} {} {} {}", objectId, eventId, data, groupId, flags));
    auto ev = handle->eventMap.find(eventId);
    Obj* o = sim.find(objectId, true);
    if (ev == handle->eventMap.end() || !o) {
        sim.refuse(handle, ExceptionUnrecognizedId);
        return kOk;
    }
    const std::string name = lower(ev->second);
    o->info.events.emplace_back(ev->second, data);
    auto light = [&](std::int64_t bit) {
        if (data) o->lights |= bit;
        else o->lights &= ~bit;
    };
    if (name == "freeze_latitude_longitude_set") o->info.frozenLatLon = data != 0;
    else if (name == "freeze_altitude_set") o->info.frozenAltitude = data != 0;
    else if (name == "freeze_attitude_set") o->info.frozenAttitude = data != 0;
    else if (name == "nav_lights_set") light(0x1);
    else if (name == "beacon_lights_set") light(0x2);
    else if (name == "landing_lights_set") light(0x4);
    else if (name == "taxi_lights_set") light(0x8);
    else if (name == "strobes_set") light(0x10);
    else if (name == "logo_lights_set") light(0x100);
    else if (name == "cabin_lights_set") light(0x200);
    else if (name == "all_lights_toggle") o->lights = o->lights ? 0 : 0x3FF;
    sim.traceLine({{"ev", "event"}, {"id", o->info.id}, {"event", ev->second}, {"data", data}});
    return kOk;
}

SimResult subscribeToSystemEvent(SimHandle handle, std::uint32_t eventId, std::string_view systemEventName) {
    CallGuard g(handle, "subscribeToSystemEvent");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("subscribeToSystemEvent {} {}", eventId, systemEventName));
    const std::string name = lower(systemEventName);
    if (name != "sim" && name != "objectadded" && name != "objectremoved" && name != "flightloaded" && name != "frame") {
        sim.refuse(handle, ExceptionNameUnrecognized);
        return kOk;
    }
    handle->systemEvents[name] = eventId;
    if (name == "sim") {
        RecvEventMsg e{};
        e.groupId = kUnused;
        e.eventId = eventId;
        e.data = sim.inFlight ? 1 : 0;
        sim.send(handle, makeMsg(e, RecvEventId));
    }
    return kOk;
}

SimResult aiCreateNonAtcAircraft(SimHandle handle, std::string_view containerTitle, std::string_view tailNumber,
                                 const InitPosition& position, std::uint32_t requestId) {
    CallGuard g(handle, "aiCreateNonAtcAircraft");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("aiCreateNonAtcAircraft {}|{} {}", containerTitle, tailNumber, requestId));
    const TitleInfo* t = sim.titleInfo(containerTitle);
    if (!t) {
        sim.traceLine({{"ev", "refused"}, {"title", std::string(containerTitle)}, {"atcId", std::string(tailNumber)}});
        sim.refuse(handle, ExceptionCreateObjectFailed);
        return kOk;
    }
    std::uint32_t count = 0;
    for (const auto& [id, o] : sim.objects)
        if (!o.info.isUser && !o.info.removed) ++count;
    if (count >= sim.cfg.maxObjects) {
        sim.refuse(handle, ExceptionTooManyObjects);
        return kOk;
    }
    Obj o;
    o.info.id = sim.nextId++;
    o.info.title = t->title;
    o.info.atcId = std::string(tailNumber.substr(0, 31));
    o.info.cgHeightFt = t->cgHeightFt;
    o.info.helicopter = t->helicopter;
    o.staticPitch = t->staticPitchRad;
    sim.place(o, position);
    o.framesLeft = sim.cfg.framesToAdd;
    const auto id = o.info.id;
    const auto& p = o.info.position;
    sim.traceLine({{"ev", "create"}, {"id", id}, {"title", o.info.title}, {"atcId", o.info.atcId}, {"lat", p.latitude},
                   {"lon", p.longitude}, {"altFt", p.altitude}, {"onGround", position.onGround}});
    sim.objects.emplace(id, std::move(o));
    RecvAssignedObjectIdMsg a{};
    a.requestId = requestId;
    a.objectId = id;
    sim.send(handle, makeMsg(a, RecvAssignedObjectId));
    return kOk;
}

SimResult aiRemoveObject(SimHandle handle, std::uint32_t objectId, std::uint32_t requestId) {
    CallGuard g(handle, "aiRemoveObject");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("aiRemoveObject {} {}", objectId, requestId));
    Obj* o = sim.find(objectId, false);
    if (!o || objectId == kObjectIdUser) {
        sim.refuse(handle, ExceptionUnrecognizedId);
        return kOk;
    }
    o->info.removed = true;
    sim.pendingRemoved.push_back(o->info.id);
    sim.traceLine({{"ev", "remove"}, {"id", o->info.id}});
    return kOk;
}

SimResult aiReleaseControl(SimHandle handle, std::uint32_t objectId, std::uint32_t requestId) {
    CallGuard g(handle, "aiReleaseControl");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("aiReleaseControl {} {}", objectId, requestId));
    Obj* o = sim.find(objectId, false);
    if (!o || objectId == kObjectIdUser) {
        sim.refuse(handle, ExceptionUnrecognizedId);
        return kOk;
    }
    o->info.released = true;
    sim.traceLine({{"ev", "release"}, {"id", o->info.id}});
    return kOk;
}

SimResult aiSetAircraftFlightPlan(SimHandle handle, std::uint32_t objectId, std::string_view flightPlanPath,
                                  std::uint32_t requestId) {
    CallGuard g(handle, "aiSetAircraftFlightPlan");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("aiSetAircraftFlightPlan {} {} {}", objectId, flightPlanPath, requestId));
    Obj* o = sim.find(objectId, false);
    if (!o || objectId == kObjectIdUser) {
        sim.refuse(handle, ExceptionUnrecognizedId);
        return kOk;
    }
    std::error_code ec;
    std::string file(flightPlanPath);
    if (file.size() < 4 || lower(file.substr(file.size() - 4)) != ".pln") file += ".pln";
    if (!std::filesystem::exists(file, ec)) {
        sim.refuse(handle, ExceptionLoadFlightplanFailed);
        return kOk;
    }
    o->info.flightPlan = std::string(flightPlanPath);
    sim.traceLine({{"ev", "flightplan"}, {"id", o->info.id}, {"file", std::string(flightPlanPath)}});
    return kOk;
}

SimResult getLastSentPacketId(SimHandle handle, std::uint32_t* packetId) {
    if (packetId) *packetId = 0;
    if (!handle || !handle->sim || !packetId) return kFail;
    std::lock_guard lock(handle->sim->m);
    if (handle->closed || handle->sim->shouldFail("getLastSentPacketId")) return kFail;
    *packetId = handle->packetId;
    return kOk;
}

}  // namespace vsim
