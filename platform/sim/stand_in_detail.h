#pragma once
// What the stand-in's files share: the helpers, the variable table's types, the records of a
// connection and the stand-in's state (StandIn::Impl). Files: stand_in.cpp (time, frames, objects and
// the user aircraft), stand_in_vars.cpp (variables and units), stand_in_scenario.cpp (the scenario
// file), stand_in_trace.cpp (the trace), stand_in_calls.cpp (the simulator API calls).
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

inline constexpr double kDegToRad = 0.017453292519943295;
inline constexpr double kRadToDeg = 57.29577951308232;
inline constexpr std::uint32_t kUserId = 1;
inline constexpr std::uint32_t kFirstAiId = 100;
inline constexpr std::size_t kCallLogLimit = 200000;

using Msg = std::vector<std::uint64_t>;

inline std::string lower(std::string_view s) {
    std::string r(s);
    for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

inline bool equalNoCase(std::string_view a, std::string_view b) { return lower(a) == lower(b); }

inline const char* typeName(DataType t) {
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

inline void copyText(char* dst, std::size_t cap, std::string_view src) {
    const std::size_t n = std::min(cap - 1, src.size());
    std::memcpy(dst, src.data(), n);
    dst[n] = 0;
}

// Great-circle distance in metres (sphere of 10800/pi nm).
inline double distanceMetres(double lat1, double lon1, double lat2, double lon2) {
    const double p1 = lat1 * kDegToRad, p2 = lat2 * kDegToRad;
    const double dp = p2 - p1, dl = (lon2 - lon1) * kDegToRad;
    const double h =
        std::sin(dp / 2) * std::sin(dp / 2) + std::cos(p1) * std::cos(p2) * std::sin(dl / 2) * std::sin(dl / 2);
    return 6875.493541569878 * std::atan2(std::sqrt(h), std::sqrt(1 - h)) * 1852.0;
}

// Unix seconds -> year, day of year (from 1), seconds of the day.
inline void zuluFields(std::int64_t unix, std::int64_t& year, std::int64_t& dayOfYear, std::int64_t& secondsOfDay) {
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
    Lat,
    Lon,
    Pitch,
    Bank,
    Heading,
    Alt,
    VerticalSpeed,
    Airspeed,
    Agl,
    GroundAlt,
    OnGround,
    GroundSpeed,
    ZuluTime,
    ZuluDay,
    ZuluYear,
    LightStates,
    LightOnStates,
    StaticCg,
    StaticPitch,
    Spoilers,
    Throttle1,
    Throttle2,
    Title,
    AtcModel,
    AtcId
};
enum class Kind {
    AngleDeg,
    AngleRad,
    Feet,
    Knots,
    Fps,
    Bool,
    Number,
    Seconds,
    Mask,
    Percent,
    Text
};

struct VarInfo {
    const char* name;
    Var var;
    Kind kind;
    bool writable;
};

// Factor from the stored value to the requested unit; nullopt when the unit does not fit.
std::optional<double> unitFactor(Kind kind, const std::string& unit);
// The variable of that (lower-case) name; null when the stand-in does not know it.
const VarInfo* findVar(std::string_view name);

struct Field {
    std::string name, unit;
    DataType type;
    Var var;
    Kind kind;
    double factor;
    bool writable;
};

// Bytes of a field of that type; 0 for a string of variable length.
std::size_t fieldSize(DataType t);

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

struct Connection {
    std::shared_ptr<StandIn::Impl> sim;
    bool closed = false;
    std::string name;
    std::uint32_t packetId = 0;
    std::deque<Msg> queue;
    std::map<std::uint32_t, Definition> definitions;
    std::map<std::uint32_t, std::string> eventMap;      // client event id -> sim event name
    std::map<std::string, std::uint32_t> systemEvents;  // lower-case name -> client event id
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
    std::int64_t flightStartMs = -1;  // pending start after the menu (real-time scenarios)
    std::int64_t pathStartMs = 0;
    std::vector<UserWaypoint> path;
    std::string userTitle, userModel;
    std::int64_t zuluBase = 0, zuluSetMs = 0;
    std::vector<std::string> callLog;
    std::ofstream trace;
    std::int64_t lastSample = -1;

    explicit Impl(StandInConfig c);
    double frameSpan() const { return 1000.0 / (cfg.frameRate > 0 ? cfg.frameRate : 30.0); }
    const TitleInfo* titleInfo(std::string_view title) const;
    void log(std::string line);
    bool shouldFail(const std::string& call);

    // ---- trace (stand_in_trace.cpp) ----
    void traceLine(nlohmann::json j);
    // Every traceSampleMs: one position line per visible object (the user only in flight).
    void traceFrame();

    // ---- user aircraft ----
    Obj& user() { return objects.at(kUserId); }
    void refreshUser();
    void refreshGround(Obj& o);
    std::int64_t zuluNow() const { return zuluBase + (now - zuluSetMs) / 1000; }

    // ---- messages ----
    void send(Connection* c, Msg msg) { c->queue.push_back(std::move(msg)); }
    void sendSystemEvent(const char* name, std::uint32_t data);
    void sendAddRemove(const char* name, const Obj& o);
    void refuse(Connection* c, std::uint32_t code, std::uint32_t index = kUnused);
    void sendData(Connection* c, std::uint32_t recvId, std::uint32_t requestId, std::uint32_t defineId, const Obj& o,
                  std::uint32_t entry, std::uint32_t outOf);

    // ---- variables (stand_in_vars.cpp) ----
    // Value of a numeric variable of an object, in its stored unit.
    double number(const Obj& o, Var v) const;
    std::string text(const Obj& o, Var v) const;
    std::vector<std::byte> block(const Obj& o, const Definition& def) const;

    // ---- time and objects ----
    void stepTo(std::int64_t target);
    void frame();
    void setFlight(bool flight);
    std::uint32_t addForeign(const ForeignAircraft& f);
    void place(Obj& o, const InitPosition& ip);
    Obj* find(std::uint32_t id, bool allowUser);
};

// The installed stand-in and every connection opened (handles stay valid for the process).
extern std::mutex g_mutex;
extern std::shared_ptr<StandIn> g_current;
extern std::vector<std::unique_ptr<Connection>> g_connections;

}  // namespace vsim
