#include "simlink/user_aircraft.h"

#include <cstring>
#include <fmt/format.h>
#include <mutex>

#include "airports/current_airport.h"
#include "airports/park_list.h"
#include "airports/parking.h"
#include "catalogue/reference_db.h"
#include "foundation/aircraft_category.h"
#include "foundation/feed_time.h"
#include "foundation/log.h"
#include "shell/display.h"
#include "shell/engine_inbox.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"
#include "simlink/sim_client.h"

UserState userState{};
std::atomic<double> userHalfWingSpanNm{0.0};
std::atomic<std::uint32_t> userCategory{0};
std::atomic<std::uint8_t> userModelKnown{0};
std::atomic<std::int64_t> simUtcEpoch{0};
LatLon previousPosition{};
std::atomic<std::uint8_t> userDataReceived{0};

namespace {

UserState linkUserState{};  // guarded by simQueueMutex
std::mutex textMutex;       // the two texts below (written on SimClient, read anywhere)
std::string userStandName;
std::string userTitle;

constexpr std::size_t kTitleLimit = 48;

void lf_repaintStatusBand() { mainWindow.invalidate(panel::status); }

// Unix time of a UTC date given as year, day of year (from 1) and seconds of the day.
std::int64_t unixFromZulu(std::int64_t year, std::int64_t dayOfYear, std::int64_t seconds) {
    std::int64_t y = year - 1;  // days before 1 January of `year`, counted from 1970-01-01
    auto daysBefore = [](std::int64_t yy) { return yy * 365 + yy / 4 - yy / 100 + yy / 400; };
    const std::int64_t days = daysBefore(y) - daysBefore(1969) + (dayOfYear - 1);
    return days * 86400 + seconds;
}

std::string textOf(const vsim::RecvSimObjectDataMsg& message) {
    const auto* p = reinterpret_cast<const char*>(vsim::blockOf(&message));
    return std::string(p, strnlen(p, vsim::blockSizeOf(&message)));
}

// The first `limit` bytes, without cutting a UTF-8 sequence in two.
std::string cutUtf8(std::string s, std::size_t limit) {
    if (s.size() <= limit) return s;
    std::size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    s.resize(n);
    return s;
}

void lf_onUserState(const vsim::RecvSimObjectDataMsg& message) {
    if (vsim::blockSizeOf(&message) < sizeof(UserState)) return;
    UserState s;
    std::memcpy(&s, vsim::blockOf(&message), sizeof s);
    if (s.altitude < 0) s.altitude = 0;
    {
        std::lock_guard lock(simQueueMutex);
        linkUserState = s;
    }
    userDataReceived.store(1);
    const LatLon now{s.latitude, s.longitude};
    if (gf_positionIsSet(previousPosition) && gf_distanceNm(previousPosition, now) > 10.0) {
        gf_log("Teleport");
        gf_requestStop(EXIT_NEW_FLIGHT, 45);
    }
    previousPosition = now;
    const std::string stand = gf_standNameAt(now.latitude, now.longitude);
    bool changed = false;
    {
        std::lock_guard lock(textMutex);
        changed = stand != userStandName;
        userStandName = stand;
    }
    if (changed) {
        mainWindow.userStandText.set(stand);
        lf_repaintStatusBand();
    }
    if (professionalAccount.load()) simUtcEpoch.store(unixFromZulu(s.zuluYear, s.zuluDayOfYear, s.zuluTime));
    userObjectId.store(message.objectId);
}

void lf_onUserOnGround(const vsim::RecvSimObjectDataMsg& message) {
    if (vsim::blockSizeOf(&message) < sizeof(std::int64_t)) return;
    std::int64_t value = 0;
    std::memcpy(&value, vsim::blockOf(&message), sizeof value);
    const UserState s = gf_linkUserState();
    if (gf_positionIsSet(LatLon{s.latitude, s.longitude})) {
        userOnGround.store(value != 0 ? 1 : 0);
        userOnGroundValid.store(1);
    }
    secondTick.store(1);
}

void lf_onStaticCg(const vsim::RecvSimObjectDataMsg& message) {
    if (vsim::blockSizeOf(&message) < sizeof(vsim::StaticCgBlock)) return;
    vsim::StaticCgBlock cg;
    std::memcpy(&cg, vsim::blockOf(&message), sizeof cg);
    gf_postEngineNotice(makeNotice(message.objectId, 0, NoticeKind::StaticCg, cg.cgToGround, cg.staticPitch));
}

bool startsWith(const std::string& s, std::string_view p) {
    return s.size() >= p.size() && s.compare(0, p.size(), p) == 0;
}

void lf_deduce(const std::string& raw) {
    if (raw.empty()) {
        mainWindow.userAircraftText.set("Unknown (encrypted?) aircraft");
        lf_repaintStatusBand();
        gf_showStatus("171: No model info from your user aircraft received in SimConnect, CRJ7 is taken instead", true);
        double span = gf_wingspan("CRJ7");
        if (span == 0) span = largestHalfSpanNm;
        userHalfWingSpanNm.store(span);
        userModelKnown.store(1);
        return;
    }
    gf_logContinuation(fmt::format("model raw: {} ", raw));
    const std::string title = gf_userTitle();
    std::string model = lf_modelFromAtcModel(raw, title);
    std::string report = fmt::format("SimConnect: User aircraft model: {}", model);

    if (model.find("camerapod") != std::string::npos || model.find("Crew Vessel") != std::string::npos) {
        mainWindow.userModelKnown.store(true);
        lf_repaintStatusBand();
        userHalfWingSpanNm.store(gf_wingspan("E190"));
        userModelKnown.store(1);
        userCategory.store(0);
        return;
    }

    // A type's own span, or its category's average; the largest of the database when the model is
    // no ICAO type or the database gives nothing for it.
    double span = model.size() < 5 ? gf_wingspan(model) : 0.0;
    const bool found = span != 0.0;
    if (!found) span = largestHalfSpanNm;
    userModelKnown.store(1);
    bool spanKnown = found;
    if (!found) {
        static constexpr std::pair<std::string_view, std::string_view> kTitleRules[] = {
            {"Aerosoft A319", "A319"}, {"Aerosoft A320", "A320"}, {"Aerosoft A321", "A321"}};
        for (const auto& [prefix, type] : kTitleRules) {
            if (title.size() >= 13 && startsWith(title, prefix)) {
                model = std::string(type);
                report = fmt::format("SimConnect: User aircraft model deduced from title: {}", model);
                const double s = gf_wingspan(model);
                span = s != 0 ? s : largestHalfSpanNm;
                spanKnown = s != 0;
                break;
            }
        }
        if (!spanKnown) {
            mainWindow.userModelKnown.store(false);
            lf_repaintStatusBand();
            gf_showStatus("User aircraft wing span unknown, max is taken instead, please report in my Forum!", true);
        }
    }
    userHalfWingSpanNm.store(span);
    // The "model unknown" mark shown with its warning stays until a span is found.
    if (spanKnown) {
        mainWindow.userModelKnown.store(true);
        lf_repaintStatusBand();
    }
    report += fmt::format(", half wing span: {:.1F} meter", span * 1852.0);
    const auto category = gf_aircraftCategory(model);
    userCategory.store(categoryIndex(category));
    report += fmt::format(", category: {}", categoryName(category));
    gf_logContinuation(report);
}

}  // namespace

UserState gf_linkUserState() {
    std::lock_guard lock(simQueueMutex);
    return linkUserState;
}

std::string gf_userTitle() {
    std::lock_guard lock(textMutex);
    return userTitle;
}

std::string gf_userStandName() {
    std::lock_guard lock(textMutex);
    return userStandName;
}

UserState gf_requestUserPosition() {
    std::lock_guard lock(simQueueMutex);
    if (!simConnectError.load()) {
        if (vsim::failed(vsim::requestDataOnSimObject(gf_simHandle(), vsim::kReqUserState, vsim::kDefUserState,
                                                      vsim::kObjectIdUser, vsim::Period::Once))) {
            gf_logError("SimConnect request user ac position fails");
            gf_logSimConnectRequestError();
        }
    }
    return linkUserState;
}

void gf_requestUserTitleAndModel() {
    std::lock_guard lock(simQueueMutex);
    const auto h = gf_simHandle();
    if (vsim::failed(vsim::requestDataOnSimObject(h, vsim::kReqUserTitle, vsim::kDefTitle, vsim::kObjectIdUser,
                                                  vsim::Period::Once))) {
        gf_logError("SimConnect request user ac title fails");
        gf_logSimConnectRequestError();
    }
    if (vsim::failed(vsim::requestDataOnSimObject(h, vsim::kReqUserModel, vsim::kDefAtcModel, vsim::kObjectIdUser,
                                                  vsim::Period::Once))) {
        gf_logError("SimConnect reques user ac model fails");
        gf_logSimConnectRequestError();
    }
}

void gf_requestUserOnGround() {
    std::lock_guard lock(simQueueMutex);
    if (vsim::failed(vsim::requestDataOnSimObject(gf_simHandle(), vsim::kReqUserOnGround, vsim::kDefOnGround,
                                                  vsim::kObjectIdUser, vsim::Period::Second))) {
        gf_logError("SimConnect request ac gnd/air fails");
        gf_logSimConnectRequestError();
    }
}

std::string gf_standAtUserPosition() {
    const UserState s = gf_linkUserState();
    return gf_standNameAt(s.latitude, s.longitude);
}

void lf_onSimObjectData(const vsim::RecvSimObjectDataMsg& message) {
    switch (message.requestId) {
    case vsim::kReqStaticCg: lf_onStaticCg(message); break;
    case vsim::kReqUserTitle: lf_onUserTitle(message); break;
    case vsim::kReqUserModel: lf_deduceUserModel(message); break;
    case vsim::kReqUserOnGround: lf_onUserOnGround(message); break;
    case vsim::kReqUserState: lf_onUserState(message); break;
    default: break;
    }
}

void lf_onUserTitle(const vsim::RecvSimObjectDataMsg& message) {
    std::string title = textOf(message);
    if (title.empty()) {
        gf_log("! title of your ac is empty?");
        return;
    }
    title = cutUtf8(std::move(title), kTitleLimit);
    {
        std::lock_guard lock(textMutex);
        if (title == userTitle) return;
        userTitle = title;
    }
    mainWindow.userAircraftText.set(title);
    lf_repaintStatusBand();
    gf_logContinuation(fmt::format("SimConnect: User aircraft title: {}", title));
}

std::string lf_modelFromAtcModel(const std::string& raw, const std::string& title) {
    if (raw == "A350-900") return "A359";
    if (raw == "N738B") return "B38M";
    if (raw == "777") return "772";
    if (raw == "A330-200 (RR)") return "A332";
    if (const auto at = raw.find(".0.text"); at != std::string::npos) {
        // A localisation key such as "...B738.0.text": the type stands in front of it. Only the
        // lengths that exist in front are tried.
        for (std::size_t len : {4u, 3u, 2u}) {
            if (at < len) continue;
            std::string candidate = raw.substr(at - len, len);
            if (gf_wingspan(candidate) != 0) return candidate;
        }
        return raw;
    }
    if (startsWith(raw, "$$:") && raw.size() >= 5) return raw.substr(3);
    if (raw == "737") {
        if (title.find("DG 737-800") != std::string::npos) return "B738";
        if (title.find("DG 737-700") != std::string::npos) return "B737";
        if (title.find("DG 737-600") != std::string::npos) return "B736";
        if (title.find("DG 737-900") != std::string::npos) return "B739";
        return "737";
    }
    return raw;
}

void lf_deduceUserModel(const vsim::RecvSimObjectDataMsg& message) {
    const std::string raw = textOf(message);
    try {
        lf_deduce(raw);
    } catch (...) {
        throw ovk::UserErrorException(73, "It looks like you have not selected an aircraft as user vehicle");
    }
}

void lf_checkUserStand() {
    // The link's own copy of the state: the engine's copy belongs to the run thread.
    const UserState s = gf_linkUserState();
    if (!userOnGroundValid.load() || s.groundSpeed > 2.0) return;
    // Runs in the client's end sequence too, outside its exception handlers: a stand that cannot
    // be stored is logged and never takes the thread (and the program) down with it.
    try {
        const std::string stand = gf_standNameAt(s.latitude, s.longitude);
        if (stand.empty()) return;
        const std::string current = gf_currentAirportCopy().icao;
        // Changed and written under the list file's lock: a re-sort of the run thread in between cannot
        // make another airport's entry the one written.
        gf_changeParkAirports([&](std::list<ParkAirportEntry>& list) {
            if (list.empty() || list.front().icao != current || list.front().reservedStand == stand) return false;
            list.front().reservedStand = stand;
            return true;
        });
    } catch (const std::exception& e) {
        gf_logError(fmt::format("Storing your stand failed: {}", e.what()));
    }
}

void lf_resetUserAircraft() {
    {
        std::lock_guard lock(simQueueMutex);
        linkUserState = UserState{};
    }
    userDataReceived.store(0);
    userObjectId.store(0);
    // The window's stand text is emptied with the run's other texts: the next answer shows the stand again.
    std::lock_guard lock(textMutex);
    userStandName.clear();
}
