// The main window with the engine's lists, the command area and the window's requests empty, and
// helpers to drive the controls and read back what a command or an edit field left behind.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "airports/airports.h"
#include "app/main_loop.h"
#include "app/window_requests.h"
#include "engine/engine_state.h"
#include "feed/web_api.h"
#include "foundation/parameters_file.h"
#include "foundation/time_text.h"
#include "shell/command_flags.h"
#include "shell/fields.h"
#include "shell/range.h"
#include "shell/status_line.h"
#include "simlink/commands.h"
#include "tests/app/window_fixture.h"

class CommandsFixture : public WindowFixture {
protected:
    void SetUp() override {
        resetShared();
        WindowFixture::SetUp();
        openLog();
    }
    void TearDown() override {
        WindowFixture::TearDown();
        resetShared();
    }
    static void resetShared() {
        gf_resetEngineState();
        gf_resetSimLink();
        gf_resetWindowRequests();
        gf_resetMainLoopState();
        matchListClearRequested.store(0);
        airportList.clear();
        generalMaxLive.store(0);
        timeShifted.store(0);
        weatherReader.toffset.store(0);
        trafficReader.toffset.store(0);
    }

    // The value stored in parameters.xml for the key; none when the key was never saved.
    static std::optional<std::string> saved(const std::string& key) {
        pugi::xml_document doc;
        if (!doc.load_file(gf_parametersPath().c_str())) return std::nullopt;
        const pugi::xml_node node = doc.select_node(gf_parameterXPath(key).c_str()).node();
        if (!node) return std::nullopt;
        return std::string(node.attribute("value").as_string());
    }
    static void forgetSavedSettings() {
        std::error_code ignored;
        std::filesystem::remove(gf_parametersPath(), ignored);
    }
    static std::string status() { return gf_statusSnapshot().statusText; }
    // A text in the message line, so that a command that clears it shows.
    static void markStatus() {
        gf_clearHeldError();
        gf_showStatus("(earlier note)", false);
    }
    // Types the text into the field (enabled first, as the run start does) and presses Enter.
    void enter(int controlId, const std::string& text) {
        gf_enableControl(controlId, true);
        ASSERT_TRUE(window->type(controlId, text));
        ASSERT_TRUE(window->pressEnter(controlId));
    }
    void click(int controlId) {
        gf_enableControl(controlId, true);
        ASSERT_TRUE(window->click(controlId));
    }

    static std::vector<ClientEventCommand> queuedEvents() {
        std::lock_guard lock(simQueueMutex);
        return eventQueue;
    }

    static SimAircraft staticAircraft(std::uint32_t id, SimState state, std::uint32_t objectId) {
        SimAircraft ac;
        ac.id = id;
        ac.identity.callsign = "S" + std::to_string(id) + "*";
        ac.simState = state;
        ac.objectId = objectId;
        return ac;
    }
    static LiveAircraft liveAircraft(std::uint32_t id, SimState state, std::uint32_t objectId, MovementPhase phase) {
        LiveAircraft ac;
        ac.id = id;
        ac.identity.callsign = "L" + std::to_string(id);
        ac.simState = state;
        ac.objectId = objectId;
        ac.phase = phase;
        return ac;
    }
};
