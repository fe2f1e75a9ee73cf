// Files that replace a user's file: written aside, flushed to the disk and closed before the rename; a failure
// at any step, or a read-only file, leaves the old file as it was and no temporary file behind.
#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/disk_file.h"
#include "foundation_test_support.h"

namespace {

// The names in the folder, sorted.
std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(ReplaceFile, OnlyAWholeFileReplacesTheOldOne) {
    const struct {
        const char* name;
        DiskFileFault fault;
        bool oldFile;
        ReplaceResult want;
    } cases[] = {
        {"new file", DiskFileFault::none, false, ReplaceResult::replaced},
        {"replaces", DiskFileFault::none, true, ReplaceResult::replaced},
        {"write fails", DiskFileFault::write, true, ReplaceResult::failed},
        {"flush fails", DiskFileFault::flush, true, ReplaceResult::failed},
        {"close fails", DiskFileFault::close, true, ReplaceResult::failed},
        {"flush fails, no old file", DiskFileFault::flush, false, ReplaceResult::failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CapturedLog log;
        TempFolder folder;
        const fs::path path = folder / "MD1.xml";
        if (c.oldFile) writeWholeFile(path, "old");
        ReplaceResult result;
        {
            ScopedDiskFileFault fault(c.fault);
            result = gf_replaceFile(path, "new");
        }
        EXPECT_EQ(result, c.want);
        const bool replaced = c.want == ReplaceResult::replaced;
        if (replaced || c.oldFile) {
            EXPECT_EQ(readWholeFile(path), replaced ? "new" : "old");
        }
        EXPECT_EQ(namesIn(folder.path()),
                  (replaced || c.oldFile ? std::vector<std::string>{"MD1.xml"} : std::vector<std::string>{}));
        EXPECT_EQ(log.text(), "");
    }
}

TEST(ReplaceFile, KeepsTheModeOfTheFileItReplaces) {
    TempFolder folder;
    const fs::path path = folder / "MD1.xml";
    writeWholeFile(path, "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(gf_replaceFile(path, "new"), ReplaceResult::replaced);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// A read-only file is refused every time, and its refusal logged once per file until it is found writable again;
// the consequence, when given, ends the line.
TEST(ReplaceFile, AReadOnlyFileIsReportedOncePerFile) {
    CapturedLog log;
    TempFolder folder;
    const fs::path first = folder / "MD1.xml";
    const fs::path second = folder / "MD10.xml";
    for (const fs::path& path : {first, second}) {
        writeWholeFile(path, "old");
        fs::permissions(path, fs::perms::owner_read);
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_EQ(gf_replaceFile(first, "new"), ReplaceResult::readOnly);
        EXPECT_TRUE(gf_refuseReadOnlyFile(second, "its changes will not be kept"));
    }
    const std::string firstLine = "===> \"" + first.string() + "\" is read-only: not written over";
    const std::string secondLine =
        "===> \"" + second.string() + "\" is read-only: not written over; its changes will not be kept";
    EXPECT_EQ(log.text(), firstLine + "\n" + secondLine + "\n");

    fs::permissions(first, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(gf_replaceFile(first, "new"), ReplaceResult::replaced);
    fs::permissions(first, fs::perms::owner_read);
    EXPECT_EQ(gf_replaceFile(first, "newer"), ReplaceResult::readOnly);
    EXPECT_EQ(gf_replaceFile(first, "newer"), ReplaceResult::readOnly);
    EXPECT_EQ(readWholeFile(first), "new");
    EXPECT_EQ(log.text(), firstLine + "\n" + secondLine + "\n" + firstLine + "\n");
    for (const fs::path& path : {first, second}) fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    gf_resetReadOnlyReports();
}
