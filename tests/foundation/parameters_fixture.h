#pragma once
// A temporary AppData folder with an open log for the tests of the settings file.

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>
#include <utility>
#include <vector>

#include "foundation/disk_file.h"
#include "foundation/parameters_file.h"
#include "foundation/settings.h"
#include "tests/foundation/foundation_test_support.h"

class ParametersFile : public ::testing::Test {
protected:
    void SetUp() override {
        gf_resetSettings();
        gf_setSettingsControlHooks({});
        gf_resetReadOnlyReports();
    }
    void TearDown() override {
        gf_setSettingsControlHooks({});
        gf_resetSettings();
        gf_resetReadOnlyReports();
    }

    static void loadAll() { gf_readParameters(gf_buildSettingsRegistry()); }

    fs::path file() const { return gf_parametersPath(); }

    void writeParameters(const std::string& body) const {
        fs::create_directories(file().parent_path());
        writeWholeFile(file(), "<?xml version=\"1.0\"?>\n<parameters>\n" + body + "</parameters>\n");
    }

    // name and value of every "parameter" element of the first top-level "parameters" element.
    std::vector<std::pair<std::string, std::string>> elements() const {
        pugi::xml_document document;
        EXPECT_TRUE(document.load_file(file().c_str()));
        std::vector<std::pair<std::string, std::string>> result;
        for (pugi::xml_node node : document.child("parameters").children("parameter"))
            result.emplace_back(node.attribute("name").value(), node.attribute("value").value());
        return result;
    }

    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        std::string text = log.text();
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find('\n', start);
            lines.push_back(text.substr(start, end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        return lines;
    }

    bool logged(const std::string& line) const {
        for (const std::string& l : logLines())
            if (l == line) return true;
        return false;
    }

    TempFolder appData;
    ScopedEnv env{"VEXA_APPDATA", appData.path().string()};
    CapturedLog log;
};
