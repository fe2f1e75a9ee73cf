// The stand-in simulator: its time, frames, objects and user aircraft, and the StandIn controls that
// tests and the demo use.
#include "platform/sim/stand_in_detail.h"

namespace vsim {

std::mutex g_mutex;
std::shared_ptr<StandIn> g_current;
std::vector<std::unique_ptr<Connection>> g_connections;  // handles stay valid for the process

StandIn::Impl::Impl(StandInConfig c) : cfg(std::move(c)) {
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

const TitleInfo* StandIn::Impl::titleInfo(std::string_view title) const {
    for (const auto& t : cfg.titles)
        if (equalNoCase(t.title, title)) return &t;
    return nullptr;
}

void StandIn::Impl::log(std::string line) {
    if (cfg.realTime || callLog.size() >= kCallLogLimit) return;
    callLog.push_back(std::move(line));
}

bool StandIn::Impl::shouldFail(const std::string& call) {
    auto it = failCalls.find(call);
    if (it == failCalls.end() || it->second <= 0) return false;
    --it->second;
    return true;
}

void StandIn::Impl::refreshUser() {
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

void StandIn::Impl::refreshGround(Obj& o) {
    if (o.info.isUser) return;
    o.info.altitudeAboveGroundFt = std::max(0.0, o.info.position.altitude - cfg.fieldElevationFt);
    o.info.onGround = o.info.altitudeAboveGroundFt <= o.info.cgHeightFt + 1.0;
}

void StandIn::Impl::sendSystemEvent(const char* name, std::uint32_t data) {
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

void StandIn::Impl::sendAddRemove(const char* name, const Obj& o) {
    for (auto* c : conns) {
        auto it = c->systemEvents.find(name);
        if (it == c->systemEvents.end()) continue;
        RecvEventObjectAddRemoveMsg e{};
        e.event.groupId = kUnused;
        e.event.eventId = it->second;
        e.event.data = o.info.id;
        e.objectType =
            static_cast<std::uint32_t>(o.info.helicopter ? SimObjectType::Helicopter : SimObjectType::Aircraft);
        send(c, makeMsg(e, RecvEventObjectAddRemove));
    }
}

void StandIn::Impl::refuse(Connection* c, std::uint32_t code, std::uint32_t index) {
    RecvExceptionMsg e{};
    e.exception = code;
    e.sendId = c->packetId;
    e.index = index;
    send(c, makeMsg(e, RecvException));
}

void StandIn::Impl::sendData(Connection* c, std::uint32_t recvId, std::uint32_t requestId, std::uint32_t defineId,
                             const Obj& o, std::uint32_t entry, std::uint32_t outOf) {
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
void StandIn::Impl::stepTo(std::int64_t target) {
    while (!quitted && nextFrame <= static_cast<double>(target)) {
        now = static_cast<std::int64_t>(nextFrame);
        frame();
        nextFrame += frameSpan();
    }
    now = std::max(now, target);
    if (quitted) nextFrame = static_cast<double>(now) + frameSpan();
}

void StandIn::Impl::frame() {
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
    traceFrame();
}

void StandIn::Impl::setFlight(bool flight) {
    if (flight == inFlight) return;
    inFlight = flight;
    if (flight) pathStartMs = now;
    refreshUser();
    sendSystemEvent("sim", flight ? 1 : 0);
}

std::uint32_t StandIn::Impl::addForeign(const ForeignAircraft& f) {
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

void StandIn::Impl::place(Obj& o, const InitPosition& ip) {
    auto& p = o.info.position;
    p.latitude = ip.latitude;
    p.longitude = ip.longitude;
    // A creation on the ground, or below it, puts the object on its wheels, as the simulator does.
    const double onWheels = cfg.fieldElevationFt + o.info.cgHeightFt;
    p.altitude = ip.onGround || ip.altitude < onWheels ? onWheels : ip.altitude;
    p.pitch = ip.pitch * kDegToRad;
    p.bank = ip.bank * kDegToRad;
    p.heading = ip.heading * kDegToRad;
    p.airspeed = ip.airspeed;
    refreshGround(o);
}

Obj* StandIn::Impl::find(std::uint32_t id, bool allowUser) {
    if (id == kObjectIdUser) id = kUserId;
    auto it = objects.find(id);
    if (it == objects.end() || it->second.info.removed) return nullptr;
    if (!allowUser && it->second.info.isUser) return nullptr;
    return &it->second;
}

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
    impl_->traceLine(
        {{"ev", "create"}, {"id", id}, {"title", aircraft.title}, {"atcId", aircraft.atcId}, {"foreign", true}});
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

}  // namespace vsim
