// The stand-in configured from a scenario file (VEXA_SIM_SCENARIO) or the environment.
#include "platform/sim/stand_in_detail.h"

namespace vsim {

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
            for (std::size_t i = 0; i < 4 && i < j["version"].size(); ++i)
                c.version[i] = j["version"][i].get<std::uint32_t>();
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

}  // namespace vsim
