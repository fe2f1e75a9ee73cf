// Temporary bodies until the stand-in simulator lands: every call fails.
#include "platform/sim/sim_api.h"

namespace vsim {
SimResult open(SimHandle* handle, std::string_view, std::uint32_t) { if (handle) *handle = nullptr; return kFail; }
SimResult close(SimHandle) { return kFail; }
SimResult callDispatch(SimHandle, DispatchProc, void*) { return kFail; }
SimResult addToDataDefinition(SimHandle, std::uint32_t, std::string_view, std::string_view, DataType, float, std::uint32_t) { return kFail; }
SimResult requestDataOnSimObject(SimHandle, std::uint32_t, std::uint32_t, std::uint32_t, Period, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) { return kFail; }
SimResult requestDataOnSimObjectType(SimHandle, std::uint32_t, std::uint32_t, std::uint32_t, SimObjectType) { return kFail; }
SimResult setDataOnSimObject(SimHandle, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, const void*) { return kFail; }
SimResult mapClientEventToSimEvent(SimHandle, std::uint32_t, std::string_view) { return kFail; }
SimResult addClientEventToNotificationGroup(SimHandle, std::uint32_t, std::uint32_t, bool) { return kFail; }
SimResult setNotificationGroupPriority(SimHandle, std::uint32_t, std::uint32_t) { return kFail; }
SimResult transmitClientEvent(SimHandle, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) { return kFail; }
SimResult subscribeToSystemEvent(SimHandle, std::uint32_t, std::string_view) { return kFail; }
SimResult aiCreateNonAtcAircraft(SimHandle, std::string_view, std::string_view, const InitPosition&, std::uint32_t) { return kFail; }
SimResult aiRemoveObject(SimHandle, std::uint32_t, std::uint32_t) { return kFail; }
SimResult aiReleaseControl(SimHandle, std::uint32_t, std::uint32_t) { return kFail; }
SimResult aiSetAircraftFlightPlan(SimHandle, std::uint32_t, std::string_view, std::uint32_t) { return kFail; }
SimResult getLastSentPacketId(SimHandle, std::uint32_t* packetId) { if (packetId) *packetId = 0; return kFail; }
}  // namespace vsim
