#include "catalogue/regcodes.h"

#include <fmt/format.h>

#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "catalogue/cipher.h"
#include "catalogue/livery_db.h"
#include "catalogue/livery_record.h"
#include "foundation/download.h"
#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/text_utils.h"
#include "shell/status_line.h"

TextMap<std::string_view> regcodeTitles;
std::vector<std::string_view> specialTitles;
std::vector<std::string> regcodeMessages;

namespace fs = std::filesystem;

namespace {
constexpr const char* aigArchive = "AIG-regcodes.zip";

bool validRegistration(const std::string& reg) { return reg.size() >= 3 && reg.size() <= 12; }

// Fields of a regcode text line: split at ';' with nothing trimmed.
std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        auto pos = line.find(';', start);
        if (pos == std::string::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, pos - start));
        start = pos + 1;
    }
}

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Titles of the entries without registrations go to the excluded-title list; returns how many.
std::size_t appendExcluded(const std::list<RegcodeEntry>& entries) {
    std::size_t n = 0;
    for (const auto& e : entries) {
        if (e.registrations.empty()) {
            excludedTitles.push_back(e.title);
            ++n;
        }
    }
    return n;
}
}  // namespace

std::string gf_aigRegcodesPath() { return (fs::path("input") / "AIG-regcodes.xml").string(); }
std::string gf_myRegcodesFolder() { return (fs::path("input") / "my_regcodes").string(); }
std::string gf_offlineRegcodesPath() { return (fs::path("output") / "info" / "OfflineRegcodes.txt").string(); }
std::string gf_inlineRegcodesPath() { return (fs::path("output") / "errors" / "InlineRegcodes.txt").string(); }

bool gf_readAigRegcodes(const std::string& path, std::list<RegcodeEntry>& entries) {
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) {
        gf_logError(fmt::format("Failed to load {}", path));
        return false;
    }
    for (auto liv : doc.child("AIG-regcodes").children("livery")) {
        std::string title = liv.attribute("title").value();
        if (title.empty()) continue;
        RegcodeEntry entry;
        entry.title = std::move(title);
        const auto pieces = gf_splitComma(liv.attribute("reg").value());
        for (const auto& piece : pieces) {
            // One damaged registration must not cost the whole file (and with it the start).
            try {
                entry.registrations.push_back(gf_decryptString(piece));
            } catch (const std::exception&) {
                gf_logError(
                    fmt::format("malformed registration \"{}\" of \"{}\" in {} skipped", piece, entry.title, path));
            }
        }
        // An entry whose registrations were all damaged is not a "do not use" entry: drop it.
        if (!pieces.empty() && entry.registrations.empty()) continue;
        entry.special = liv.attribute("special").as_bool(false);
        entries.push_back(std::move(entry));
    }
    gf_backupFile(path, BackupNaming::zeros);
    gf_log(fmt::format("{} liverie{} read from {}", entries.size(),
                       gf_pluralSuffix(static_cast<std::int64_t>(entries.size())), path));
    return true;
}

void lf_processRegcodeLine(const std::string& path, std::list<RegcodeEntry>& entries, bool& failed,
                           const std::string& line) {
    if (line.empty()) return;
    const auto fields = splitFields(line);
    if (fields.size() >= 4) {
        gf_logError(fmt::format("{}: wrong format \"{}\"", path, line));
        failed = true;
        return;
    }
    if (fields.size() == 1) {
        entries.push_back(RegcodeEntry{fields[0], {}, false});
        return;
    }
    const auto regs = gf_splitComma(fields[1]);
    if (regs.empty() || (regs.size() == 1 && regs[0].empty())) return;  // no registration in the field
    if (regs.size() == 1) {
        if (!validRegistration(regs[0])) {
            gf_logError(fmt::format("wrong regcode length \"{}\" in {}", regs[0], path));
            failed = true;
            return;
        }
        entries.push_back(RegcodeEntry{fields[0], regs, true});
        return;
    }
    std::vector<std::string> valid;
    for (const auto& r : regs) {
        if (validRegistration(r)) {
            valid.push_back(r);
        } else {
            gf_logError(fmt::format("wrong regcode length \"{}\" in {}", r, path));
            failed = true;
        }
    }
    if (valid.empty()) {
        gf_logError(fmt::format("{} ; regs empty? ", path));
        return;
    }
    entries.push_back(RegcodeEntry{fields[0], std::move(valid), fields.size() == 3 && fields[2] == "#"});
}

bool gf_readRegcodeFiles(const std::string& folder, std::list<RegcodeEntry>& entries) {
    bool failed = false;
    try {
        for (const auto& dirEntry : fs::directory_iterator(folder)) {
            if (!dirEntry.is_regular_file()) continue;
            if (upper(dirEntry.path().extension().string()) != ".TXT") continue;
            const auto path = dirEntry.path().string();
            gf_log(fmt::format("Processing regcodes file \"{}\"", path));
            if (auto lines = gf_readFile(dirEntry.path(), 256))
                for (const auto& line : *lines) lf_processRegcodeLine(path, entries, failed, line);
        }
    } catch (const fs::filesystem_error& e) {
        gf_logError(fmt::format("Error in reading regcode file {}, what: {}", folder, e.what()));
        failed = true;
    }
    gf_log(
        fmt::format("{} liverie{} read", entries.size(), gf_pluralSuffix(static_cast<std::int64_t>(entries.size()))));
    return !failed;
}

void gf_readExcludedTitles() {
    const auto aigPath = gf_aigRegcodesPath();
    if (!gf_downloadAndUnzip(aigArchive, aigPath)) {
        gf_logError(fmt::format("reading {} failed?", aigPath));
    } else {
        std::list<RegcodeEntry> entries;
        gf_readAigRegcodes(aigPath, entries);
        const auto n = appendExcluded(entries);
        gf_log(fmt::format("{} don't use title{} read", n, gf_pluralSuffix(static_cast<std::int64_t>(n))));
        if (fs::exists(aigPath)) fs::remove(aigPath);
    }
    const auto folder = gf_myRegcodesFolder();
    if (fs::exists(folder)) {
        std::list<RegcodeEntry> entries;
        gf_readRegcodeFiles(folder, entries);
        const auto n = appendExcluded(entries);
        gf_log(fmt::format("{} don't use title{} read from files in {}", n,
                           gf_pluralSuffix(static_cast<std::int64_t>(n)), folder));
    }
}

void lf_checkInlineRegcodes() {
    std::list<std::string> clashes;
    for (const auto& rec : liveryList) {
        if (rec.atcId.empty()) continue;
        const auto title = gf_catalogueTitle(rec.title);
        if (title.empty()) {
            clashes.push_front(fmt::format("==> [{:3} {:4}] {} \"{}\" not available, system error, should not happen?",
                                           rec.airline, rec.type, rec.atcId, rec.title));
            continue;
        }
        auto [it, inserted] = regcodeTitles.try_emplace(rec.atcId, title);
        if (!inserted && it->second != title)
            clashes.push_front(fmt::format("{} \"{}\" => already in use by \"{}\"", rec.atcId, rec.title, it->second));
    }
    if (clashes.empty()) return;
    const auto path = gf_inlineRegcodesPath();
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    gf_writeListToFile(clashes, path);
    gf_log(fmt::format("{} in-line regcode clashes, see \"{}\"", clashes.size(), path));
}

void lf_applyRegcodes(const std::list<RegcodeEntry>& entries) {
    std::int64_t added = 0, replaced = 0, special = 0;
    for (const auto& entry : entries) {
        const auto title = gf_catalogueTitle(entry.title);
        if (title.empty()) continue;
        for (const auto& reg : entry.registrations) {
            auto [it, inserted] = regcodeTitles.try_emplace(reg, title);
            if (inserted) {
                ++added;
            } else if (it->second != title) {
                regcodeMessages.push_back(
                    fmt::format("   regcode {} for \"{}\", instead of the same for \"{}\"", reg, title, it->second));
                it->second = title;
                ++replaced;
            }
        }
        if (entry.special) {
            specialTitles.push_back(title);
            ++special;
        }
    }
    std::string line = fmt::format("{} new regcode{} added", added, gf_pluralSuffix(added));
    if (replaced > 0) line += fmt::format(", {} regcode{} replaced", replaced, gf_pluralSuffix(replaced));
    if (special > 0) line += fmt::format(", {} regcode{} defined as special", special, gf_pluralSuffix(special));
    regcodeMessages.push_back(std::move(line));
}

void lf_loadRegcodes() {
    regcodeMessages.clear();
    const auto aigPath = gf_aigRegcodesPath();
    if (!gf_downloadAndUnzip(aigArchive, aigPath)) {
        gf_logError("reading AIG-regcodes failed?");
    } else {
        regcodeMessages.push_back("Processing file " + aigPath);
        std::list<RegcodeEntry> entries;
        if (!gf_readAigRegcodes(aigPath, entries))
            regcodeMessages.push_back(
                fmt::format("There were errors in processing the AIG-regcode file \"{}\", see the Log.txt", aigPath));
        lf_applyRegcodes(entries);
        if (fs::exists(aigPath)) fs::remove(aigPath);
    }
    const auto folder = gf_myRegcodesFolder();
    if (fs::exists(folder)) {
        regcodeMessages.push_back("Processing files in " + folder);
        std::list<RegcodeEntry> entries;
        if (!gf_readRegcodeFiles(folder, entries))
            gf_showStatus(
                fmt::format("There were errors in processing the regcode files in folder \"{}\", see the Log.txt",
                            folder),
                true);
        lf_applyRegcodes(entries);
    }
    const auto report = gf_offlineRegcodesPath();
    if (fs::exists(report)) fs::remove(report);
    if (regcodeMessages.empty()) return;
    std::error_code ec;
    fs::create_directories(fs::path(report).parent_path(), ec);
    gf_writeLinesToFile(regcodeMessages, report);
    gf_log(fmt::format("Offline regcode files processed, results can be found in \"{}\"", report));
    if (!specialTitles.empty()) gf_log(fmt::format("{} special liveries", specialTitles.size()));
}
