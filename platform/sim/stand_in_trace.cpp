// The stand-in's trace: one JSON line per object added or removed and, every traceSampleMs, per
// position (VEXA_SIM_TRACE).
#include "platform/sim/stand_in_detail.h"

namespace vsim {

void StandIn::Impl::traceLine(nlohmann::json j) {
    if (!trace.is_open()) return;
    nlohmann::json out{{"t", now}};
    out.update(j);
    trace << out.dump() << '\n';
    trace.flush();
}

void StandIn::Impl::traceFrame() {
    if (trace.is_open() && (lastSample < 0 || now - lastSample >= cfg.traceSampleMs)) {
        lastSample = now;
        for (const auto& [id, o] : objects) {
            if (!o.info.visible || o.info.removed) continue;
            if (o.info.isUser && !inFlight) continue;
            const auto& p = o.info.position;
            traceLine({{"ev", "position"},
                       {"id", id},
                       {"user", o.info.isUser},
                       {"lat", p.latitude},
                       {"lon", p.longitude},
                       {"altFt", p.altitude},
                       {"headingDeg", p.heading * kRadToDeg},
                       {"aglFt", o.info.altitudeAboveGroundFt},
                       {"onGround", o.info.onGround}});
        }
    }
}

}  // namespace vsim
