// A main window on the headless backend, with settings, flags and display fields at their start
// values and the AppData folder in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "airports/parking.h"
#include "app/main_window.h"
#include "app/window_proc.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "platform/ui/ui.h"
#include "shell/display.h"
#include "shell/run_flags.h"
#include "tests/common/sandbox.h"

class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.emplace(Sandbox::Options{.openLog = false, .resetSettings = false});
        folder = sandbox->program();
        resetAll();
        openWindow();
    }
    // The headless main window; a fixture for the real window opens its own.
    virtual void openWindow() {
        ASSERT_TRUE(initInstance("Vexa", ui::Backend::headless));
        window = gf_headlessWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        gf_closeLog();
        gf_destroyMainWindow();
        resetAll();
        sandbox.reset();
    }
    static void resetAll() {
        gf_destroyMainWindow();
        gf_resetSettings();
        gf_resetRunFlags();
        gf_resetWindowProc();
        mainWindow.resetRunFields();
        currentAirport = CurrentAirport{};
        parkingActive.store(0);
        airportFileChanged = 0;
        parkAirports.clear();
    }
    void openLog() { sandbox->openLog(); }
    std::string logText() {
        gf_closeLog();
        std::ifstream in(folder / "Log.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::vector<ui::PaintOp> paint() { return window->paint(); }
    static std::vector<ui::PaintOp> textsIn(const std::vector<ui::PaintOp>& ops, const ui::Rect& r) {
        std::vector<ui::PaintOp> out;
        for (const auto& op : ops)
            if (op.kind == ui::PaintOp::Kind::text && r.contains(op.x(), op.y())) out.push_back(op);
        return out;
    }
    static std::optional<ui::PaintOp> findText(const std::vector<ui::PaintOp>& ops, const std::string& text) {
        for (const auto& op : ops)
            if (op.kind == ui::PaintOp::Kind::text && op.text == text) return op;
        return std::nullopt;
    }
    static std::optional<ui::PaintOp> findTextStarting(const std::vector<ui::PaintOp>& ops, const std::string& head) {
        for (const auto& op : ops)
            if (op.kind == ui::PaintOp::Kind::text && op.text.rfind(head, 0) == 0) return op;
        return std::nullopt;
    }
    static std::optional<ui::PaintOp> findFill(const std::vector<ui::PaintOp>& ops, const ui::Rect& r) {
        std::optional<ui::PaintOp> last;
        for (const auto& op : ops)
            if (op.kind == ui::PaintOp::Kind::fill && op.rect == r) last = op;
        return last;
    }

    std::optional<Sandbox> sandbox;
    std::filesystem::path folder;
    ui::HeadlessWindow* window = nullptr;
};
