#pragma once
// Writing aircraft.cfg files for the livery scan tests: a small text builder, the encodings a user's
// files come in, and a package tree below the test's program folder.
#include <string>
#include <vector>

#include "catalogue/aircraft_cfg.h"
#include "catalogue/livery_scan.h"
#include "catalogue/scan_reports.h"
#include "catalogue_fixture.h"
#include "foundation/tasks.h"

namespace cattest {

// An aircraft.cfg: a [GENERAL] section with the given line (the type key), then one [FLTSIM.n] section
// per entry, each entry the section's lines.
inline std::string cfgText(const std::string& typeLine, const std::vector<std::vector<std::string>>& sections) {
    std::string text = "[VERSION]\nmajor = 1\n\n[GENERAL]\n" + typeLine + "\n";
    for (std::size_t i = 0; i < sections.size(); ++i) {
        text += "\n[FLTSIM." + std::to_string(i) + "]\n";
        for (const auto& line : sections[i]) text += line + "\n";
    }
    return text;
}

// One livery section with the usual keys.
inline std::vector<std::string> livery(const std::string& title, const std::string& airline,
                                       const std::string& atcId = "", const std::string& parking = "") {
    std::vector<std::string> lines{"title = " + title, "icao_airline = " + airline};
    if (!atcId.empty()) lines.push_back("atc_id = " + atcId);
    if (!parking.empty()) lines.push_back("atc_parking_types = " + parking);
    lines.push_back("ui_variation = \"" + title + "\"");
    return lines;
}

// Views of the lines, as the reader hands them on.
inline std::vector<std::string_view> views(const std::vector<std::string>& lines) {
    return {lines.begin(), lines.end()};
}

inline std::string withCrlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// UTF-8 (of characters below U+0800) to UTF-16 with its byte-order mark.
inline std::string toUtf16(const std::string& utf8, bool bigEndian) {
    std::string out = bigEndian ? std::string("\xFE\xFF", 2) : std::string("\xFF\xFE", 2);
    for (std::size_t i = 0; i < utf8.size();) {
        auto c = static_cast<unsigned char>(utf8[i]);
        unsigned cp = c;
        if (c >= 0xC0) {
            cp = ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
            i += 2;
        } else {
            i += 1;
        }
        const char hi = static_cast<char>(cp >> 8), lo = static_cast<char>(cp & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

// UTF-8 of Latin-1 characters to code page 1252.
inline std::string toCp1252(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0xC0) {
            out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

class ScanTest : public CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        loadDatabase();
        SCAN_LIVERIES.value = true;
        LIG_AUTOMATIC.value = false;
        LIG_PRIORITIZE.value = false;
        SUPPRESS_STUB.value = true;
        AI_PACKAGE_ORDER.value = 1;
        for (auto* folder : lfolders) folder->set("");
        hwConcurrency = 4;
        taskCount = 0;
        gf_setCommunityFolderSource({});
    }
    void TearDown() override {
        for (auto* folder : lfolders) folder->set("");
        SCAN_LIVERIES.value = SCAN_LIVERIES.defaultValue;
        LIG_AUTOMATIC.value = LIG_AUTOMATIC.defaultValue;
        LIG_PRIORITIZE.value = LIG_PRIORITIZE.defaultValue;
        SUPPRESS_STUB.value = SUPPRESS_STUB.defaultValue;
        AI_PACKAGE_ORDER.value = AI_PACKAGE_ORDER.defaultValue;
        MSFS_2020.value = MSFS_2020.defaultValue;
        hwConcurrency = gf_hardwareThreads();
        taskCount = 0;
        gf_setCommunityFolderSource({});
        dbaseConversions.clear();
        CatalogueTest::TearDown();
    }
    // Writes an aircraft.cfg (bytes as given) below the test folder; returns its path.
    fs::path writeCfg(const fs::path& relative, const std::string& bytes) {
        const auto path = dir / relative;
        writeText(path, bytes);
        return path;
    }
    // The records a file gives with a fresh title register.
    static std::vector<LiveryRecord> readCfg(const fs::path& path) {
        {
            std::lock_guard lock(liveryTitlesMutex);
            liveryTitles.clear();
        }
        auto records = lf_searchLiveriesinFile(1, path);
        return {records.begin(), records.end()};
    }
    static std::vector<std::string> copy(const std::list<std::string>& l) { return {l.begin(), l.end()}; }
    // The "liv" lines of the scan cache.
    std::vector<std::string> cacheLines() const {
        std::vector<std::string> out;
        for (const auto& line : readLines(gf_liveryCachePath()))
            if (line.find("<liv ") != std::string::npos) out.push_back(line);
        return out;
    }
    void useManualRoots(const std::vector<fs::path>& roots) {
        for (std::size_t i = 0; i < roots.size(); ++i) lfolders[i]->set(roots[i].string());
    }
};

}  // namespace cattest
