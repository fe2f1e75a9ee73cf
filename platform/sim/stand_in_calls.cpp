// The simulator API calls, served by the installed stand-in.
#include "platform/sim/stand_in_detail.h"

namespace vsim {

namespace {

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
            if (impl.conns.size() == 1 && impl.now == 0) {
                impl.realStart = std::chrono::steady_clock::now();
                // The trace's time 0 on the UTC clock, so that a reader can place the program's log beside it.
                const auto utcMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count();
                impl.traceLine({{"ev", "clock"}, {"utcMs", utcMs}});
            }
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
            const auto real =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - impl.realStart)
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
    const VarInfo* vi = findVar(name);
    std::optional<double> factor;
    if (vi) factor = unitFactor(vi->kind, unit);
    const bool textVar = vi && vi->kind == Kind::Text;
    const bool textType = type == DataType::String32 || type == DataType::StringV;
    if (!vi || !factor || textVar != textType || type == DataType::Invalid) {
        def.valid = false;
        sim.refuse(handle, ExceptionNameUnrecognized, static_cast<std::uint32_t>(def.fields.size()));
        return kOk;
    }
    def.fields.push_back(
        Field{std::string(datumName), std::string(unitsName), type, vi->var, vi->kind, *factor, vi->writable});
    return kOk;
}

SimResult requestDataOnSimObject(SimHandle handle, std::uint32_t requestId, std::uint32_t defineId,
                                 std::uint32_t objectId, Period period, std::uint32_t flags, std::uint32_t origin,
                                 std::uint32_t interval, std::uint32_t limit) {
    CallGuard g(handle, "requestDataOnSimObject");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("requestDataOnSimObject {} {} {} {}", requestId, defineId, objectId, static_cast<int>(period)));
    auto& per = handle->periodic;
    per.erase(std::remove_if(per.begin(), per.end(), [&](const Periodic& p) { return p.requestId == requestId; }),
              per.end());
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
    sim.log(fmt::format("requestDataOnSimObjectType {} {} {} {}", requestId, defineId, radiusMetres,
                        static_cast<int>(type)));
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
        case DataType::Int32: {
            std::int32_t x;
            std::memcpy(&x, bytes + at, 4);
            v = x;
            break;
        }
        case DataType::Int64: {
            std::int64_t x;
            std::memcpy(&x, bytes + at, 8);
            v = static_cast<double>(x);
            break;
        }
        case DataType::Float32: {
            float x;
            std::memcpy(&x, bytes + at, 4);
            v = x;
            break;
        }
        default: std::memcpy(&v, bytes + at, 8); break;
        }
        at += fieldSize(f.type);
        if (!f.writable) continue;
        v /= f.factor;
        auto& p = o->info.position;
        switch (f.var) {
        case Var::Lat:
            p.latitude = v;
            moved = true;
            break;
        case Var::Lon:
            p.longitude = v;
            moved = true;
            break;
        case Var::Pitch: p.pitch = v; break;
        case Var::Bank: p.bank = v; break;
        case Var::Heading: p.heading = v; break;
        case Var::Alt:
            p.altitude = v;
            moved = true;
            break;
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

SimResult addClientEventToNotificationGroup(SimHandle handle, std::uint32_t groupId, std::uint32_t eventId,
                                            bool maskable) {
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
        if (data)
            o->lights |= bit;
        else
            o->lights &= ~bit;
    };
    if (name == "freeze_latitude_longitude_set")
        o->info.frozenLatLon = data != 0;
    else if (name == "freeze_altitude_set")
        o->info.frozenAltitude = data != 0;
    else if (name == "freeze_attitude_set")
        o->info.frozenAttitude = data != 0;
    else if (name == "nav_lights_set")
        light(0x1);
    else if (name == "beacon_lights_set")
        light(0x2);
    else if (name == "landing_lights_set")
        light(0x4);
    else if (name == "taxi_lights_set")
        light(0x8);
    else if (name == "strobes_set")
        light(0x10);
    else if (name == "logo_lights_set")
        light(0x100);
    else if (name == "cabin_lights_set")
        light(0x200);
    else if (name == "all_lights_toggle")
        o->lights = o->lights ? 0 : 0x3FF;
    sim.traceLine({{"ev", "event"}, {"id", o->info.id}, {"event", ev->second}, {"data", data}});
    return kOk;
}

SimResult subscribeToSystemEvent(SimHandle handle, std::uint32_t eventId, std::string_view systemEventName) {
    CallGuard g(handle, "subscribeToSystemEvent");
    if (!g) return kFail;
    auto& sim = g.sim();
    sim.log(fmt::format("subscribeToSystemEvent {} {}", eventId, systemEventName));
    const std::string name = lower(systemEventName);
    if (name != "sim" && name != "objectadded" && name != "objectremoved" && name != "flightloaded" &&
        name != "frame") {
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
    sim.traceLine({{"ev", "create"},
                   {"id", id},
                   {"title", o.info.title},
                   {"atcId", o.info.atcId},
                   {"lat", p.latitude},
                   {"lon", p.longitude},
                   {"altFt", p.altitude},
                   {"onGround", position.onGround}});
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
