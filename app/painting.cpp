// The paint handler of the main window: five panels painted from the display fields.
#include <fmt/format.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "airports/airports.h"
#include "airports/current_airport.h"
#include "airports/parking.h"
#include "app/main_window.h"
#include "app/window_proc.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text_utils.h"
#include "foundation/version.h"
#include "platform/os/os.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "shell/status_line.h"

namespace {

// A text that failed to convert is logged once, not at every repaint, even when several bad texts
// are on the screen at the same time. The memory is bounded: a window that keeps producing new
// bad texts starts over and logs them again.
std::mutex badTextMutex;
std::set<std::string, std::less<>> loggedBadTexts;
constexpr std::size_t kBadTextMemory = 64;

void logBadText(std::string_view text, const std::string& line) {
    {
        std::lock_guard lock(badTextMutex);
        if (loggedBadTexts.contains(text)) return;
        if (loggedBadTexts.size() >= kBadTextMemory) loggedBadTexts.clear();
        loggedBadTexts.emplace(text);
    }
    gf_log(line);
}

// Only valid UTF-8 reaches the screen; the strict converter tells. A bad text is logged (once) instead.
bool drawable(std::string_view text) {
    try {
        (void)win32::Utf8ToUtf16(text);
    } catch (const win32::Utf8ConversionException& e) {
        logBadText(text, fmt::format("{} conversion exception {}, error code: {}", text, e.what(), e.errorCode()));
        return false;
    } catch (const std::overflow_error& e) {
        logBadText(text, fmt::format("{} {}", text, e.what()));
        return false;
    }
    return true;
}

// Room left between a text cut off at its field's end and the next text.
constexpr std::int32_t kFieldGap = 4;

// head + name + tail within `width` pixels as the painter measures them. When the whole does not fit, the name is
// cut at a character boundary, as little as needed, and "…" marks the cut: head and tail always show whole. A
// blank left before the cut goes. When not even head, "…" and tail fit, that is the text (its field clips it).
std::string lf_fitName(std::string_view head, std::string_view name, std::string_view tail, std::int32_t width) {
    constexpr std::string_view kEllipsis = "…";
    auto joined = [&](std::string_view middle, std::string_view mark) {
        std::string text;
        text.reserve(head.size() + middle.size() + mark.size() + tail.size());
        text.append(head).append(middle).append(mark).append(tail);
        return text;
    };
    auto fits = [&](const std::string& text) { return windowPaint.painter->textWidth(text) <= width; };
    std::string text = joined(name, {});
    if (windowPaint.painter == nullptr || fits(text)) return text;
    for (std::size_t cut = name.size(); cut > 0;) {
        do {
            --cut;
        } while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80);
        std::string_view kept = name.substr(0, cut);
        while (!kept.empty() && kept.back() == ' ') kept.remove_suffix(1);
        text = joined(kept, kEllipsis);
        if (fits(text)) return text;
    }
    return text;
}

// One row of texts, each kept to its own field: from its x to the next text of the row (less the gap), the
// last one to the given right edge. A long title is cut off there instead of running into the figure beside
// it; a text with a name in it shortens the name instead, so that what stands around the name shows.
class FieldRow {
public:
    FieldRow(std::int32_t y, std::int32_t right) : y_(y), right_(right) {}
    void add(std::int32_t x, std::string text, ui::Color colour) {
        texts_.push_back({x, std::move(text), colour, {}, {}, false});
    }
    void addWithName(std::int32_t x, std::string head, std::string name, std::string tail, ui::Color colour) {
        texts_.push_back({x, std::move(head), colour, std::move(name), std::move(tail), true});
    }
    void paint() const {
        std::vector<Entry> sorted = texts_;
        std::stable_sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) { return a.x < b.x; });
        for (std::size_t i = 0; i < sorted.size(); ++i) {
            const Entry& e = sorted[i];
            const std::int32_t end = i + 1 < sorted.size() ? sorted[i + 1].x - kFieldGap : right_;
            gf_drawFieldText(e.x, y_, end, e.hasName ? lf_fitName(e.text, e.name, e.tail, end - e.x) : e.text,
                             e.colour);
        }
    }

private:
    struct Entry {
        std::int32_t x;
        std::string text;  // with a name: the text before it
        ui::Color colour;
        std::string name;
        std::string tail;  // the text after the name
        bool hasName = false;
    };
    std::int32_t y_, right_;
    std::vector<Entry> texts_;
};

std::int32_t rowOf(const ParameterControl& c) { return static_cast<std::int32_t>(c.rowY); }

void paintStatusPanel() {
    const bool connected = mainWindow.simConnected.load();
    const std::string userAircraft = mainWindow.userAircraftText.get();
    ui::Color lamp = colour::red;
    if (connected) lamp = mainWindow.flightRunning.load() && !userAircraft.empty() ? colour::limeGreen : colour::yellow;
    windowPaint.painter->fillRect(ui::Rect{397, 30, 425, 112}, lamp);
    gf_drawText(398, 63, "Sim", colour::black);

    if (connected) {
        // A long title is cut off before the lamps.
        const std::int32_t beforeLamps = 397 - kFieldGap;
        std::string line = mainWindow.simulatorText.get();
        const std::string stand = mainWindow.userStandText.get();
        if (!stand.empty()) line += ", user stand " + stand;
        gf_drawFieldText(5, 35, beforeLamps, line, lamp);
        gf_drawFieldText(5, 63, beforeLamps, userAircraft, mainWindow.userModelKnown.load() ? lamp : colour::yellow);
    } else {
        gf_drawText(5, 35, fmt::format("MSFS 20{} mode", MSFS_2020.value.load() ? "20" : "24"), colour::limeGreen);
    }

    const std::uint64_t liveries = mainWindow.liveryCount.load();
    if (liveries == 0)
        gf_drawText(5, 91, "# liveries: ...", colour::red);
    else
        gf_drawText(5, 91, fmt::format("# liveries: {}", liveries), colour::limeGreen);

    const std::uint64_t simaddon = mainWindow.simaddonAirportCount.load();
    if (simaddon == 0)
        gf_drawText(141, 91, std::string("# ") + "simaddon" + ": ...", colour::yellow);
    else
        gf_drawText(141, 91, fmt::format("# {}: {}", "simaddon", simaddon),
                    mainWindow.simaddonCurrent.load() ? colour::limeGreen : colour::yellow);

    const std::uint64_t thirdp = mainWindow.thirdpAirportCount.load();
    if (thirdp == 0)
        gf_drawText(278, 91, "# thirdp: ...", colour::yellow);
    else
        gf_drawText(278, 91, fmt::format("# thirdp: {}", thirdp), colour::limeGreen);

    const bool loggedIn = mainWindow.feedLoggedIn.load();
    ui::Color feedLamp = mainWindow.feedLampOff.load() ? colour::black : (loggedIn ? colour::limeGreen : colour::red);
    windowPaint.painter->fillRect(ui::Rect{425, 30, 453, 112}, feedLamp);
    gf_drawText(430, 63, "RT", colour::black);

    if (loggedIn) {
        gf_drawText(458, 35, mainWindow.feedText.get(), colour::limeGreen);
        const std::uint32_t weather = mainWindow.weatherLampState.load();
        if (weather != 3) gf_drawText(458, 63, "Weather", weather == 1 ? colour::limeGreen : colour::yellow);
        const std::uint32_t traffic = mainWindow.trafficLampState.load();
        if (traffic != 3) gf_drawText(458, 91, "Traffic", traffic == 1 ? colour::limeGreen : colour::yellow);
    }
    windowPaint.painter->line(425, 29, 425, 112, windowPaint.blackPen);
}

void paintQnh() {
    const std::uint32_t weather = mainWindow.weatherLampState.load();
    const std::int32_t qnh = mainWindow.qnh.load();
    if (mainWindow.feedLoggedIn.load() && (weather == 1 || weather == 2) && qnh >= 1)
        gf_drawText(642, 63, fmt::format("qnh: {:4}", qnh), colour::limeGreen);
}

void paintSettingsLabels() {
    const bool timeShift = mainWindow.timeShiftEnabled.load();
    const bool ptOnly = RT_PARKTRAFFIC_ONLY.value.load();
    const ui::Color black = colour::black;
    const ui::Color yellow = colour::yellow;
    const ui::Color grey = colour::grey;

    gf_drawText(25, rowOf(ALL_INSTALL_PATH), "Install path:", black);

    const std::int32_t r147 = rowOf(LIG_AUTOMATIC);
    gf_drawText(25, r147, "Scan for liveries", SCAN_LIVERIES.value.load() ? yellow : black);
    gf_drawText(237, r147, "Automatic, selector:", black);
    gf_drawText(450, rowOf(LIG_PRIORITIZE), "Prioritize", black);
    gf_drawText(556, rowOf(SUPPRESS_STUB), "Stub", black);
    gf_drawText(672, rowOf(LOG), "Log", black);
    gf_drawText(768, rowOf(ALWAYS_ON_TOP), "Stay on top", ALWAYS_ON_TOP.value.load() ? yellow : black);

    const std::int32_t r175 = rowOf(SCAN_AIRPORTS);
    gf_drawText(25, r175, "Scan for addon airports", SCAN_AIRPORTS.value.load() ? yellow : black);
    if (addonAirportsFound > 0)
        gf_drawText(217, r175,
                    gf_formatAirportCount("{} airport{} in {} folder", static_cast<std::uint64_t>(addonAirportsFound)),
                    yellow);
    gf_drawText(672, rowOf(NAV_LIGHTS_WHILE_PARKED), "Nav lights", black);
    gf_drawText(768, rowOf(LEARN_SOFT), "Learn Soft", black);

    gf_drawText(5, rowOf(MATCHING_DEPTH), "Max aircraft matching depth", black);
    gf_drawText(253, rowOf(LIGHT_AIRCRAFT), "Optional:", black);
    gf_drawLabel(343, rowOf(LIGHT_AIRCRAFT), "Light aircraft", gf_controlEnabled(LIGHT_AIRCRAFT.controlId));
    gf_drawLabel(450, rowOf(HELICOPTERS), "Helicopters", gf_controlEnabled(HELICOPTERS.controlId));
    gf_drawLabel(556, rowOf(HIGH_PERF_AIRCRAFT), "FighterJets", gf_controlEnabled(HIGH_PERF_AIRCRAFT.controlId));
    gf_drawLabel(672, rowOf(CALLSIGN_OBJECTIDS), "objectids", MSFS_2020.value.load());
    gf_drawText(768, rowOf(GUID_CHANGES), "GUID changes", GUID_CHANGES.value.load() ? black : yellow);

    const std::int32_t r231 = rowOf(LATERAL_RANGE);
    gf_drawText(5, r231, "Traffic injection", black);
    gf_drawText(167, r231, "radius:", black);
    gf_drawText(260, r231, "nm,  or", black);
    gf_drawText(343, rowOf(AUTO_RANGE), "auto range", black);
    const bool autoRange = AUTO_RANGE.value.load();
    gf_drawLabel(430, rowOf(AUTO_RANGE_ABOVE_HEIGHT), "ah:", autoRange);
    gf_drawLabel(510, rowOf(AUTO_RANGE_ABOVE_HEIGHT), "ft", autoRange);
    gf_drawLabel(672, rowOf(TIME_SHIFT_HOURS), "Sim Time", timeShift);
    gf_drawLabel(788, rowOf(TIME_SHIFT_HOURS), fmt::format("hour{}", gf_pluralLetter(TIME_SHIFT_HOURS.value.load())),
                 timeShift);

    const std::int32_t r259 = rowOf(BLOCK_CALLSIGN);
    gf_drawText(5, r259, "Callsigns", black);
    gf_drawText(172, r259, "block:", black);
    gf_drawText(430, rowOf(CALLSIGN_2_OBJECTID), "oid:", black);
    const std::string objectId = mainWindow.objectIdText.get();
    if (!CALLSIGN_2_OBJECTID.value().empty() && !objectId.empty())
        gf_drawText(561, rowOf(CALLSIGN_2_OBJECTID), objectId, black);
    gf_drawLabel(652, rowOf(TIME_SHIFT_DAYS), "Time shift:", timeShift);
    gf_drawLabel(788, rowOf(TIME_SHIFT_DAYS), fmt::format("day{}", gf_pluralLetter(TIME_SHIFT_DAYS.value.load())),
                 timeShift);

    const std::int32_t r287 = rowOf(COLLISION_USER_GND);
    gf_drawText(5, r287, "Collision avoidance", black);
    gf_drawText(237, r287, "User ground", black);
    gf_drawText(343, rowOf(COLLISION_USER_AIR), "User air", black);
    gf_drawText(450, rowOf(COLLISION_LIVE_PARKED_GND), "Live X parked", black);
    gf_drawLabel(672, rowOf(KEEP_SIM_TIME_PAR), "Save", timeShift);
    gf_drawLabel(788, rowOf(TIME_SHIFT_MINS), fmt::format("minute{}", gf_pluralLetter(TIME_SHIFT_MINS.value.load())),
                 timeShift);

    const std::int32_t r315 = rowOf(CUSTOM_MAX_PARK);
    const bool busy = uiBusy.load() != 0;
    gf_drawText(5, r315, fmt::format("Airport parking{}", busy ? " active" : ""), busy ? yellow : black);
    gf_drawText(217, r315, "generic max park:", CUSTOM_MAX_PARK.isDefault() ? grey : yellow);
    gf_drawText(536, rowOf(MAX_LIVE), "max live:", MAX_LIVE.isDefault() ? grey : yellow);
    gf_drawLabel(672, rowOf(STRAIGHT_PBS_ONLY), "Straight push backs only", STRAIGHT_PBS_ONLY.value.load());

    const std::int32_t r343 = rowOf(DESTINATION);
    gf_drawText(139, r343, "destination:", black);
    gf_drawText(303, rowOf(AIRPORT_RANGE), "range:", black);
    gf_drawText(393, rowOf(AIRPORT_RANGE), "nm", black);
    gf_drawText(440, rowOf(AIRPORT_HEIGHT), "height above gnd:", black);
    gf_drawText(621, rowOf(AIRPORT_HEIGHT), "ft", black);
    const std::int32_t minutes = mainWindow.minutesToRenewal.load();
    if (parkingActive.load() != 0 && !busy && (!INITIAL_LOAD_ONLY.value.load() || ptOnly) && minutes >= 1 &&
        minutes <= 19)
        gf_drawText(5, rowOf(AIRPORT_RANGE), fmt::format("(next in {} min)", minutes), black);

    const std::int32_t r371 = rowOf(PARK_FAKE);
    gf_drawLabel(25, r371, "Fake", !ptOnly);
    gf_drawLabel(91, rowOf(WEEK), "Week", !ptOnly);
    gf_drawLabel(171, rowOf(PARK_SOFT), "Soft", !ptOnly);
    gf_drawLabel(264, rowOf(parking_percentage), "wanted: ", !ptOnly);
    gf_drawLabel(363, rowOf(parking_percentage), "%", !ptOnly);
    gf_drawText(450, rowOf(INITIAL_LOAD_ONLY), "ILO",
                ptOnly ? grey : (INITIAL_LOAD_ONLY.value.load() ? yellow : black));
    gf_drawLabel(506, rowOf(MAX_FIT_FL), "Max fit:", !ptOnly);
    gf_drawText(662, rowOf(RT_PARKTRAFFIC_ONLY), "PT only", black);
}

void paintStatisticsPanel() {
    // The run thread replaces the current airport while the window paints: read a copy.
    const CurrentAirport airport = gf_currentAirportCopy();
    if (airport.icao.empty()) return;
    const std::int32_t right = panel::statistics.right;
    FieldRow row1(mainWindow.statisticsRow.load(), right);
    FieldRow row2(mainWindow.statisticsRow.load() + 28, right);
    const ui::Color green = colour::limeGreen;
    const bool ready = mainWindow.airportReady.load();
    row1.add(5, gf_parkAirportText(airport), ready ? green : colour::yellow);
    if (!ready) {
        row1.paint();
        return;
    }

    // " <publisher>, <airport name>[ (h)], wk=N": a long name is shortened, the publisher, mark and week show.
    row1.addWithName(
        85, fmt::format(" {}, ", mainWindow.airportSourceText.get()), mainWindow.airportFileText.get(),
        fmt::format("{}, wk={}", mainWindow.airportFileMark.load() ? " (h)" : "", mainWindow.trafficWeek.load()),
        green);
    if (mainWindow.staticPlanningMark.load()) row1.add(370, "*S*", green);
    const bool ptOnly = RT_PARKTRAFFIC_ONLY.value.load();
    if (!ptOnly) row1.add(430, fmt::format("qf: {}", mainWindow.qualityText.get()), green);
    if (!airport.reservedStand.empty())
        row1.add(571, fmt::format("reserved stand: {}", airport.reservedStand),
                 mainWindow.reservedStandValid.load() ? green : colour::red);
    row1.add(748, fmt::format("# updates: {:4}", mainWindow.updateCount.load()), green);

    row2.add(5, fmt::format("# stands: {:3}", mainWindow.standCount.load()), green);
    row2.add(111, fmt::format("parked live: {:3}", mainWindow.parkedLiveCount.load()), green);
    const float liveFigure = mainWindow.liveParkFigure.load();
    if (liveFigure > 0.0f) row2.add(249, fmt::format("average fit: {}", gf_floatText(liveFigure)), green);
    const std::int32_t wanted = mainWindow.wantedParkedCount.load();
    if (wanted > 0) {
        row2.add(430, fmt::format("parked static: {:3}", mainWindow.parkedStaticCount.load()), green);
        const float staticFigure = mainWindow.staticParkFigure.load();
        if (!WEEK.value.load() && staticFigure > 0.0f)
            row2.add(571, fmt::format("average fit: {}", gf_floatText(staticFigure)), green);
    }
    if (!ptOnly) {
        if (wanted != 0)
            row2.add(708, fmt::format("max park: {:3} (={} %)", wanted, mainWindow.parkingPercentageShown.load()),
                     green);
        else
            row2.add(708, "no max park live", green);
    }
    row1.paint();
    row2.paint();
}

void paintMessageLine() {
    // A copy taken under the lock: painting never holds up a writer of the status line.
    StatusLineSnapshot s = gf_statusSnapshot();
    if (!s.heldErrorText.empty()) {
        windowPaint.painter->fillRect(panel::message, windowPaint.redBrush);
        gf_drawText(3, 455, s.heldErrorText, colour::yellow);
    } else {
        windowPaint.painter->fillRect(panel::message, windowPaint.greenBrush);
        if (!s.statusText.empty()) gf_drawText(3, 455, s.statusText, colour::yellow);
    }
}

}  // namespace

void gf_drawText(std::int32_t x, std::int32_t y, std::string_view text, ui::Color colour) {
    if (windowPaint.painter == nullptr || !drawable(text)) return;
    windowPaint.painter->text(x, y, text, colour);
}

void gf_drawFieldText(std::int32_t x, std::int32_t y, std::int32_t right, std::string_view text, ui::Color colour) {
    if (windowPaint.painter == nullptr || !drawable(text)) return;
    windowPaint.painter->clippedText(x, y, text, colour, right);
}

void gf_drawLabel(std::int32_t x, std::int32_t y, std::string_view text, bool enabled) {
    gf_drawText(x, y, text, enabled ? colour::black : colour::grey);
}

std::string gf_formatAirportCount(std::string_view format, std::uint64_t count) {
    const auto n = static_cast<std::int32_t>(count > 0x7fffffffu ? 0x7fffffffu : count);
    return fmt::format(fmt::runtime(format), count, gf_pluralLetter(n), kGeneratedAirportsFolder);
}

void lf_paintMainWindow(ui::Painter& painter) {
    windowPaint.painter = &painter;
    painter.fillRect(panel::title, windowPaint.blackBrush);
    painter.fillRect(panel::status, windowPaint.blackBrush);
    painter.fillRect(panel::settings, windowPaint.panelBrush);
    painter.fillRect(panel::statistics, windowPaint.blackBrush);

    painter.line(0, 28, 880, 28, windowPaint.whitePen);
    painter.line(0, 113, 880, 113, windowPaint.whitePen);
    painter.line(0, 449, 880, 449, windowPaint.whitePen);
    painter.line(0, 392, 880, 392, windowPaint.whitePen);

    gf_drawText(3, 7, fmt::format("Version {}", gf_versionString(programVersion)), colour::limeGreen);
    gf_drawText(390, 7, programShortName, colour::limeGreen);

    for (const LineSegment& s : windowPaint.separatorLines) painter.line(s.x1, s.y1, s.x2, s.y2, windowPaint.blackPen);
    painter.line(642, 140, 642, 308, windowPaint.blackPen);

    paintStatusPanel();
    paintQnh();
    const std::uint32_t traffic = mainWindow.trafficLampState.load();
    if (mainWindow.feedLoggedIn.load() && (traffic == 1 || traffic == 2))
        gf_drawText(642, 91, fmt::format("live: {:3}", mainWindow.liveCount.load()), colour::limeGreen);
    paintSettingsLabels();
    paintStatisticsPanel();
    paintMessageLine();
    windowPaint.painter = nullptr;
}
