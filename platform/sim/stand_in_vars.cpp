// The stand-in's simulation variables: their names, units and values as data definitions read them.
#include "platform/sim/stand_in_detail.h"

namespace vsim {

namespace {

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

}  // namespace

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

const VarInfo* findVar(std::string_view name) {
    const VarInfo* found = nullptr;
    for (const auto& v : kVars)
        if (name == v.name) found = &v;
    return found;
}

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

// Value of a numeric variable of an object, in its stored unit.
double StandIn::Impl::number(const Obj& o, Var v) const {
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

std::string StandIn::Impl::text(const Obj& o, Var v) const {
    switch (v) {
    case Var::Title: return o.info.title;
    case Var::AtcModel: return o.info.isUser ? userModel : std::string();
    case Var::AtcId: return o.info.atcId;
    default: return {};
    }
}

std::vector<std::byte> StandIn::Impl::block(const Obj& o, const Definition& def) const {
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

}  // namespace vsim
