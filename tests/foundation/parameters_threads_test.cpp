#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "tests/foundation/parameters_fixture.h"

// Stores come from the GUI thread and the run thread at once; each is a load-edit-save cycle of the whole
// file, so without serialisation one thread's change would be lost by the other's save.
class ParametersThreads : public ParametersFile {};

TEST_F(ParametersThreads, TwoThreadsStoringDifferentSettingsLoseNothing) {
    loadAll();
    constexpr int rounds = 150;
    std::thread gui([] {
        for (int i = 1; i <= rounds; ++i) {
            MAIN_WINDOW_X.save(i);
            LOG.save(i % 2 == 0);
        }
    });
    std::thread run([] {
        for (int i = 1; i <= rounds; ++i) {
            MAIN_WINDOW_Y.save(1000 + i);
            DESTINATION.save("K" + std::to_string(i));
        }
    });
    gui.join();
    run.join();

    EXPECT_FALSE(logged("saving xml did not work?"));
    const auto written = elements();
    auto valueOf = [&](const std::string& key) {
        int count = 0;
        std::string value;
        for (const auto& e : written)
            if (e.first == key) {
                ++count;
                value = e.second;
            }
        EXPECT_EQ(count, 1) << key;
        return value;
    };
    EXPECT_EQ(valueOf("MAIN_WINDOW_X"), std::to_string(rounds));
    EXPECT_EQ(valueOf("LOG"), rounds % 2 == 0 ? "true" : "false");
    EXPECT_EQ(valueOf("MAIN_WINDOW_Y"), std::to_string(1000 + rounds));
    EXPECT_EQ(valueOf("DESTINATION"), "K" + std::to_string(rounds));
    EXPECT_EQ(written.size(), 54u);  // nothing duplicated, nothing lost

    // A fresh load finds what the two threads stored last.
    gf_resetSettings();
    loadAll();
    EXPECT_EQ(MAIN_WINDOW_X.value.load(), rounds);
    EXPECT_EQ(MAIN_WINDOW_Y.value.load(), 1000 + rounds);
    EXPECT_EQ(DESTINATION.value(), "K" + std::to_string(rounds));
}

TEST_F(ParametersThreads, NewKeysStoredFromTwoThreadsAllArrive) {
    // No file yet: both threads append their keys to the same new file.
    std::thread a([] {
        for (int i = 0; i < 10; ++i) lfolders[i]->save("A" + std::to_string(i));
    });
    std::thread b([] {
        for (int i = 0; i < 40; ++i) {
            TIME_SHIFT_MINS.save(i);
            AI_PACKAGE_ORDER.save(1 + i % 6);
        }
    });
    a.join();
    b.join();
    const auto written = elements();
    EXPECT_EQ(written.size(), 12u);
    for (int i = 0; i < 10; ++i) {
        const std::pair<std::string, std::string> expected{"lfolder" + std::to_string(i), "A" + std::to_string(i)};
        EXPECT_NE(std::find(written.begin(), written.end(), expected), written.end()) << expected.first;
    }
}

TEST_F(ParametersThreads, TextSettingsAreReadWhileAnotherThreadWritesThem) {
    std::thread writer([] {
        for (int i = 0; i < 2000; ++i) BLOCK_CALLSIGN.set(i % 2 ? std::string(40, 'x') : std::string("DLH4AB"));
    });
    int whole = 0;
    for (int i = 0; i < 2000; ++i) {
        const std::string v = BLOCK_CALLSIGN.value();
        whole += v.empty() || v == "DLH4AB" || v == std::string(40, 'x');
        (void)MAX_LIVE.value.load();
    }
    writer.join();
    EXPECT_EQ(whole, 2000);  // never a torn text
}

// The GUI thread and the run thread storing into a read-only settings file at once: the refusal is logged once,
// and neither thread writes the file.
TEST_F(ParametersThreads, AReadOnlyFileStoredFromTwoThreadsIsReportedOnce) {
    loadAll();
    const std::string original = readWholeFile(file());
    fs::permissions(file(), fs::perms::owner_read);
    std::thread gui([] {
        for (int i = 1; i <= 50; ++i) MAIN_WINDOW_X.save(i);
    });
    std::thread run([] {
        for (int i = 1; i <= 50; ++i) DESTINATION.save(fmt::format("K{}", i));
    });
    gui.join();
    run.join();
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readWholeFile(file()), original);
    EXPECT_EQ(logLinesWith(log.text(), {"is read-only"}).size(), 1u);
    EXPECT_FALSE(logged("saving xml did not work?"));
}
