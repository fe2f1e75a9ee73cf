#include "simlink/sim_client.h"

#include <cctype>
#include <chrono>
#include <fmt/format.h>

#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/version.h"
#include "platform/os/os.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"
#include "simlink/commands.h"
#include "simlink/user_aircraft.h"

using namespace std::chrono_literals;

std::int32_t frameCounter = 0;

namespace {

struct DataField {
    std::uint32_t definition;
    const char* variable;
    const char* unit;
    vsim::DataType type;
};

// The order of declaration is part of the contract: it fixes each block's layout.
constexpr DataField kDataFields[] = {
    {vsim::kDefTitle, "TITLE", "", vsim::DataType::StringV},
    {vsim::kDefAtcModel, "ATC MODEL", "", vsim::DataType::String32},
    {vsim::kDefOnGround, "SIM ON GROUND", "Bool", vsim::DataType::Int64},
    {vsim::kDefPosition, "Plane Latitude", "degree", vsim::DataType::Float64},
    {vsim::kDefPosition, "Plane Longitude", "degree", vsim::DataType::Float64},
    {vsim::kDefPosition, "Plane Pitch degrees", "radians", vsim::DataType::Float64},
    {vsim::kDefPosition, "Plane Bank degrees", "radians", vsim::DataType::Float64},
    {vsim::kDefPosition, "Plane Heading degrees true", "radians", vsim::DataType::Float64},
    {vsim::kDefPosition, "Plane Altitude", "feet", vsim::DataType::Float64},
    {vsim::kDefPosition, "Vertical Speed", "feet per second", vsim::DataType::Float64},
    {vsim::kDefPosition, "Airspeed True", "knots", vsim::DataType::Float64},
    {vsim::kDefUserState, "Plane Latitude", "degree", vsim::DataType::Float64},
    {vsim::kDefUserState, "Plane Longitude", "degree", vsim::DataType::Float64},
    {vsim::kDefUserState, "Plane Pitch degrees", "radians", vsim::DataType::Float64},
    {vsim::kDefUserState, "Plane Bank degrees", "radians", vsim::DataType::Float64},
    {vsim::kDefUserState, "Plane Heading degrees true", "radians", vsim::DataType::Float64},
    {vsim::kDefUserState, "Plane Altitude", "feet", vsim::DataType::Float64},
    {vsim::kDefUserState, "Plane Alt Above Ground", "feet", vsim::DataType::Float64},
    {vsim::kDefUserState, "Ground Velocity", "knots", vsim::DataType::Float64},
    {vsim::kDefUserState, "ZULU TIME", "Seconds", vsim::DataType::Int64},
    {vsim::kDefUserState, "ZULU DAY OF YEAR", "Number", vsim::DataType::Int64},
    {vsim::kDefUserState, "ZULU YEAR", "Number", vsim::DataType::Int64},
    {vsim::kDefUserState, "LIGHT STATES", "Mask", vsim::DataType::Int64},
    {vsim::kDefStaticCg, "Static CG to Ground", "feet", vsim::DataType::Float64},
    {vsim::kDefStaticCg, "Static Pitch", "radians", vsim::DataType::Float64},
    {vsim::kDefLightOn, "Light On States", "Mask", vsim::DataType::Int64},
    {vsim::kDefGround, "Plane Alt Above Ground", "feet", vsim::DataType::Float64},
    {vsim::kDefGround, "Ground Altitude", "feet", vsim::DataType::Float64},
    {vsim::kDefGround, "SIM ON GROUND", "Bool", vsim::DataType::Int64},
    {vsim::kDefGround, "ATC ID", "", vsim::DataType::String32},
    {vsim::kDefThrottleSpoiler, "SPOILERS HANDLE POSITION", "percent", vsim::DataType::Float64},
    {vsim::kDefThrottleSpoiler, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", vsim::DataType::Float64},
    {vsim::kDefThrottleSpoiler, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", vsim::DataType::Float64},
};

struct SystemEvent {
    std::uint32_t id;
    const char* name;
};
constexpr SystemEvent kSystemEvents[] = {
    {vsim::kEventSim, "Sim"},
    {vsim::kEventObjectAdded, "ObjectAdded"},
    {vsim::kEventObjectRemoved, "ObjectRemoved"},
    {vsim::kEventFlightLoaded, "FlightLoaded"},
    {vsim::kEventFrame, "Frame"},
};

constexpr SystemEvent kClientEvents[] = {
    {vsim::kEvGearSet, "GEAR_SET"},
    {vsim::kEvEngineAutoStart, "ENGINE_AUTO_START"},
    {vsim::kEvEngineAutoShutdown, "ENGINE_AUTO_SHUTDOWN"},
    {vsim::kEvThrottleSet, "THROTTLE_SET"},
    {vsim::kEvFlapsSet, "FLAPS_SET"},
    {vsim::kEvSpoilersSet, "SPOILERS_SET"},
    {vsim::kEvNavLightsSet, "NAV_LIGHTS_SET"},
    {vsim::kEvBeaconLightsSet, "BEACON_LIGHTS_SET"},
    {vsim::kEvLandingLightsSet, "LANDING_LIGHTS_SET"},
    {vsim::kEvTaxiLightsSet, "TAXI_LIGHTS_SET"},
    {vsim::kEvStrobesSet, "STROBES_SET"},
    {vsim::kEvLogoLightsSet, "LOGO_LIGHTS_SET"},
    {vsim::kEvCabinLightsSet, "CABIN_LIGHTS_SET"},
    {vsim::kEvAllLightsToggle, "ALL_LIGHTS_TOGGLE"},
    {vsim::kEvFreezeLatLonSet, "FREEZE_LATITUDE_LONGITUDE_SET"},
    {vsim::kEvFreezeAltitudeSet, "FREEZE_ALTITUDE_SET"},
    {vsim::kEvFreezeAttitudeSet, "FREEZE_ATTITUDE_SET"},
};

// ENGINE_AUTO_START is mapped but kept out of the group.
constexpr std::uint32_t kGroupMembers[] = {
    vsim::kEvNavLightsSet, vsim::kEvBeaconLightsSet, vsim::kEvLandingLightsSet,  vsim::kEvTaxiLightsSet,
    vsim::kEvStrobesSet,   vsim::kEvLogoLightsSet,   vsim::kEvCabinLightsSet,    vsim::kEvAllLightsToggle,
    vsim::kEvFlapsSet,     vsim::kEvSpoilersSet,     vsim::kEvGearSet,           vsim::kEvEngineAutoShutdown,
    vsim::kEvThrottleSet,  vsim::kEvFreezeLatLonSet, vsim::kEvFreezeAltitudeSet, vsim::kEvFreezeAttitudeSet,
};

void lf_repaintStatusBand() { mainWindow.invalidate(panel::status); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Declarations
// ---------------------------------------------------------------------------------------------

void gf_addClientEventToGroup(std::uint32_t eventId) {
    (void)vsim::addClientEventToNotificationGroup(gf_simHandle(), vsim::kGroupClientEvents, eventId, true);
}

void lf_defineSimConnectData() {
    const auto h = gf_simHandle();
    for (const auto& e : kSystemEvents) (void)vsim::subscribeToSystemEvent(h, e.id, e.name);
    for (const auto& f : kDataFields)
        (void)vsim::addToDataDefinition(h, f.definition, f.variable, f.unit, f.type, 0.0f, vsim::kUnused);
    for (const auto& e : kClientEvents) (void)vsim::mapClientEventToSimEvent(h, e.id, e.name);
    for (auto id : kGroupMembers) gf_addClientEventToGroup(id);
    (void)vsim::setNotificationGroupPriority(h, vsim::kGroupClientEvents, vsim::kGroupPriorityHighest);
}

// ---------------------------------------------------------------------------------------------
// Handlers
// ---------------------------------------------------------------------------------------------

std::string lf_wrongSimulatorMessage() {
    return fmt::format("MSFS 20{} is running ..., switch Sim or toggle the Install path checkbox of {}",
                       MSFS_2020.value.load() ? "24" : "20", programShortName);
}

void lf_onOpen(const vsim::RecvOpenMsg& message) {
    const std::string name(message.applicationName, strnlen(message.applicationName, sizeof message.applicationName));
    if (name.empty()) {
        gf_log("! Simulator name empty?");
        return;
    }
    mainWindow.simConnected.store(true);
    lf_repaintStatusBand();
    std::string filtered;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80 && (std::isalnum(u) || std::isspace(u))) filtered.push_back(c);
    }
    std::string simText;
    if (filtered == "KittyHawk") {
        if (!MSFS_2020.value.load()) throw ovk::UserErrorException(71, lf_wrongSimulatorMessage());
        simText = "MSFS 2020";
    } else if (filtered == "SunRise") {
        if (MSFS_2020.value.load()) throw ovk::UserErrorException(71, lf_wrongSimulatorMessage());
        simText = "MSFS 2024";
    } else {
        throw ovk::UserErrorException(77,
                                      fmt::format("\"{}\" not being MSFS 2020 or MSFS 2024 connects ... ? ", filtered));
    }
    std::string description = simText;
    if (filtered == "KittyHawk")
        description =
            fmt::format("{} ({}.{}.{}.{})", simText, message.applicationVersionMajor, message.applicationVersionMinor,
                        message.applicationBuildMajor, message.applicationBuildMinor);
    gf_log(fmt::format("{} connected", description));
    mainWindow.simulatorText.set(description);
    lf_repaintStatusBand();
    gf_clearStatus();
}

void lf_onException(const vsim::RecvExceptionMsg& message) {
    switch (message.exception) {
    case vsim::ExceptionUnrecognizedId: {
        const UserState u = gf_linkUserState();
        if (!gf_positionIsSet(LatLon{u.latitude, u.longitude}) || stopRequested.load() || userClosed.load()) return;
        gf_logError("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID");
        return;
    }
    case vsim::ExceptionVersionMismatch:
        throw ovk::UserErrorException(95, fmt::format("Simconnect Version Mismatch, dwindex: {} ", message.index));
    case vsim::ExceptionTooManyObjects:
        gf_showStatus("SimConnect: too many objects (max 1000)", true);
        lf_onCreateDropped(message.sendId);
        return;
    case vsim::ExceptionInvalidDataSize: gf_log("SIMCON EXCEP 19"); return;
    case vsim::ExceptionCreateObjectFailed: lf_onCreateRefused(message.sendId); return;
    case vsim::ExceptionLoadFlightplanFailed: gf_logError("Simconnect exception: load flight plan failed"); return;
    case vsim::ExceptionOperationInvalidForObjectType: gf_log("SIMCON EXCEP 24"); return;
    default: gf_logError(fmt::format("SIMCON EXCEP {}", message.exception));
    }
}

namespace {
void lf_newFlight() {
    lf_checkUserStand();
    gf_requestStop(EXIT_NEW_FLIGHT, 45);
}
}  // namespace

void lf_onSystemEvent(const vsim::RecvEventMsg& message) {
    switch (message.eventId) {
    case vsim::kEventSim: {
        const bool running = message.data == 1;
        simRunning.exchange(running ? 1 : 0);
        mainWindow.flightRunning.store(running);
        lf_repaintStatusBand();
        break;
    }
    case vsim::kEventFlightLoaded:
        gf_log("Simconnect: flight loaded event");
        lf_newFlight();
        break;
    default: break;
    }
}

void gf_dispatchProc(const vsim::RecvHeader* message, std::uint32_t size, void*) {
    if (!message) return;
    switch (message->id) {
    case vsim::RecvException: lf_onException(*reinterpret_cast<const vsim::RecvExceptionMsg*>(message)); break;
    case vsim::RecvOpen: lf_onOpen(*reinterpret_cast<const vsim::RecvOpenMsg*>(message)); break;
    case vsim::RecvQuit: simRunning.exchange(0); break;
    case vsim::RecvEventId: lf_onSystemEvent(*reinterpret_cast<const vsim::RecvEventMsg*>(message)); break;
    case vsim::RecvEventObjectAddRemove:
        lf_onObjectAddRemove(*reinterpret_cast<const vsim::RecvEventObjectAddRemoveMsg*>(message));
        break;
    case vsim::RecvEventFilename:
        gf_logError("SimConnect: New file event");
        lf_newFlight();
        break;
    case vsim::RecvEventFrame: {
        lf_onFrameFlushQueues();
        if (++frameCounter > 29) {
            frameCounter = 0;
            frameRate.store(reinterpret_cast<const vsim::RecvEventFrameMsg*>(message)->frameRate);
        }
        break;
    }
    case vsim::RecvSimObjectData:
        lf_onSimObjectData(*reinterpret_cast<const vsim::RecvSimObjectDataMsg*>(message));
        break;
    case vsim::RecvSimObjectDataByType:
        lf_onSimObjectDataByType(*reinterpret_cast<const vsim::RecvSimObjectDataMsg*>(message));
        break;
    case vsim::RecvAssignedObjectId:
        lf_onAssignedObjectId(*reinterpret_cast<const vsim::RecvAssignedObjectIdMsg*>(message));
        break;
    case 16:
    case 27: break;
    default: gf_log(fmt::format("! Unknown Dispatch dwID {}", message->id));
    }
}

// ---------------------------------------------------------------------------------------------
// The thread
// ---------------------------------------------------------------------------------------------

bool lf_openSimConnect() {
    vsim::SimHandle h = nullptr;
    if (vsim::failed(vsim::open(&h, programShortName, 0)) || !h) return false;
    {
        std::lock_guard lock(simQueueMutex);
        simHandle.store(h);
    }
    simNotYetOpened.exchange(0);
    lf_defineSimConnectData();
    return true;
}

void lf_dispatchOnce() { (void)vsim::callDispatch(gf_simHandle(), gf_dispatchProc, nullptr); }

void lf_onSimClientException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const ovk::UserErrorException& e) {
        gf_showError(e.what());  // held; the run goes on without a connection
    } catch (const std::exception& e) {
        gf_showError(e.what());
        simRunning.exchange(0);
        gf_simDisconnected();
    } catch (...) {
        gf_showError(fmt::format("Exception in {}", "SimClient"));
        simRunning.exchange(0);
        gf_simDisconnected();
    }
}

void lf_endSimClient() {
    lf_checkUserStand();
    mainWindow.simConnected.store(false);
    lf_repaintStatusBand();
    vsim::SimHandle h = nullptr;
    {
        std::lock_guard lock(simQueueMutex);
        h = simHandle.exchange(nullptr);
    }
    if (!h) return;
    if (vsim::failed(vsim::close(h)))
        gf_logError("Closing SimConnect failed?!");
    else
        gf_log("SimConnect closed ok");
}

void SimClient(std::stop_token stopToken) {
    bool timerRaised = false;
    try {
        bool first = true;
        while (!stopRequested.load() && !userClosed.load() && !stopToken.stop_requested()) {
            if (first) {
                first = false;
                gf_showStatus(fmt::format("Waiting for MSFS 20{} ...", MSFS_2020.value.load() ? "20" : "24"), true);
                mainWindow.invalidate(panel::message);
            }
            if (!lf_openSimConnect()) {
                gf_sleepUntil(gf_steadyNow() + 1s);
                continue;
            }
            os::timeBeginPeriod(1);
            timerRaised = true;
            while (!stopToken.stop_requested()) {
                lf_dispatchOnce();
                gf_sleepUntil(gf_steadyNow() + 1ms);
            }
            os::timeEndPeriod(1);
            timerRaised = false;
        }
    } catch (...) {
        if (timerRaised) os::timeEndPeriod(1);
        lf_onSimClientException(std::current_exception());
    }
    lf_endSimClient();
}
