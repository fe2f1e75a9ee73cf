// The files that replace a file the user has: the learned and the handmade airport file and the park-airport
// list. Each is replaced only by a whole file, flushed to the disk and closed without error, and never when the
// user made it read-only; otherwise the old file stays as it was and no temporary file is left beside it.
#include <algorithm>

#include "airports/park_list.h"
#include "foundation/disk_file.h"
#include "foundation/file_utils.h"
#include "tests/airports/airports_fixture.h"

namespace {

const fs::path kLearned = "airports/learned/thirdparty/Pub/EGLL.xml";
constexpr fs::perms kAllWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;

// The names in the folder that end in ".tmp".
std::vector<std::string> temporaryFilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".tmp") names.push_back(entry.path().filename().string());
    return names;
}

}  // namespace

class ReplacedFilesTest : public AirportsTest {
public:
    void SetUp() override {
        AirportsTest::SetUp();
        airportList = {Airport{"EDDF", "FRA", 50.03, 8.57, 364}, Airport{"EGLL", "LHR", 51.47, -0.46, 83}};
        writeText("airports/my_thirdparty/EGLL.xml",
                  apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0)));
    }

    // A visit of EGLL that learns an option and leaves: the save writes the learned file.
    void visitAndLearn() {
        setParkAirport("EGLL");
        currentStands.clear();
        currentApfHeader = ApfHeader{};
        ASSERT_EQ(gf_readApf("airports/my_thirdparty/EGLL.xml", currentApfHeader, currentQualityFactors), "");
        currentStands[0].options.push_back(StandOption{"KLM", "B738", "NEW", "", "", 0b1, 9, 1, 0, 1});
        learnedUpdateCount = 1;
        gf_removeStaticParked();
    }
    // The simulator thread made EDDF's stand B7 the user's: the list's first entry is written back.
    void writeParkList() {
        lf_putParkAirportFirst(ParkAirportEntry{"EDDF", "B7", 50.03, 8.57, 0});
        gf_updateMyParkAirports();
    }
};

TEST_F(ReplacedFilesTest, AFileThatIsNotWrittenWholeStaysAsItWas) {
    const std::string learned =
        apfText({}, R"(<parkpos id="A1"><opt reg="U1" airl="KLM" type="B738" day="1" hh="1"/></parkpos>)");
    const std::string handmade = apfText({{"handmade", "true"}}, stand("H1", 0));
    const struct Writer {
        const char* name;
        fs::path file;
        std::string text;
        void (ReplacedFilesTest::*write)();
        const char* failureLine;
    } writers[] = {
        {"learned file", kLearned, learned, &ReplacedFilesTest::visitAndLearn,
         "saving \"airports/learned/thirdparty/Pub/EGLL.xml\" did not succeed"},
        {"handmade file", kLearned, handmade, &ReplacedFilesTest::visitAndLearn,
         "saving \"airports/learned/thirdparty/Pub/EGLL.xml\" did not succeed"},
        {"park-airport list", "airports/my_park_airports.txt", "EDDF,A1\nEGLL\n", &ReplacedFilesTest::writeParkList,
         "===> airports/my_park_airports.txt could not be written"},
    };
    const struct {
        const char* name;
        DiskFileFault fault;
        bool readOnly;  // the user made the file read-only: refused by its mode, not by a failing write
    } failures[] = {
        {"write fails", DiskFileFault::write, false},
        {"flush fails", DiskFileFault::flush, false},
        {"close fails", DiskFileFault::close, false},
        {"read-only", DiskFileFault::none, true},
    };
    for (const Writer& w : writers) {
        for (const auto& f : failures) {
            SCOPED_TRACE(std::string(w.name) + ", " + f.name);
            writeText(w.file, w.text);
            for (int depth : {1, 2}) fs::remove(gf_backupName(w.file, BackupNaming::tildeZeros, depth));
            gf_closeLog();
            gf_openLog(program() / "Log.txt");
            const fs::perms writable = fs::status(w.file).permissions();
            if (f.readOnly) fs::permissions(w.file, kAllWrite, fs::perm_options::remove);
            {
                ScopedDiskFileFault fault(f.fault);
                (this->*w.write)();
            }
            EXPECT_EQ(readText(w.file), w.text);
            // A read-only list is reported by its refusal alone.
            EXPECT_EQ(logHas(w.failureLine), !f.readOnly || w.file != "airports/my_park_airports.txt");
            EXPECT_EQ(temporaryFilesIn(w.file.parent_path()), std::vector<std::string>{});
            if (f.readOnly) {
                EXPECT_TRUE(logHas("===> \"" + w.file.string() + "\" is read-only: not written over"));
                EXPECT_TRUE(gf_isReadOnlyFile(w.file));
                // Nothing of it is rotated either.
                EXPECT_FALSE(fs::exists(gf_backupName(w.file, BackupNaming::tildeZeros, 1)));
                fs::permissions(w.file, writable);
            }
            // Without the fault, and once the user allows it, the same write goes through.
            (this->*w.write)();
            EXPECT_NE(readText(w.file), w.text);
        }
    }
}

// A user file kept read-only is refused at every write, but reported once per file and run: the learned and the
// handmade airport file at each visit (whose save still reports its failure each time), and the park-airport
// list at each change, with what the refusal costs. A file found writable again is reported at its next refusal.
TEST_F(ReplacedFilesTest, AReadOnlyUserFileIsReportedOncePerRun) {
    const struct Writer {
        const char* name;
        fs::path file;
        std::string text;
        void (ReplacedFilesTest::*write)();
        std::string refusal;
        const char* eachTime;  // reported at each refused write: the learned save's outcome
    } writers[] = {
        {"learned file", kLearned,
         apfText({}, R"(<parkpos id="A1"><opt reg="U1" airl="KLM" type="B738" day="1" hh="1"/></parkpos>)"),
         &ReplacedFilesTest::visitAndLearn,
         "===> \"airports/learned/thirdparty/Pub/EGLL.xml\" is read-only: not written over",
         "saving \"airports/learned/thirdparty/Pub/EGLL.xml\" did not succeed"},
        {"handmade file", kLearned, apfText({{"handmade", "true"}}, stand("H1", 0)), &ReplacedFilesTest::visitAndLearn,
         "===> \"airports/learned/thirdparty/Pub/EGLL.xml\" is read-only: not written over",
         "saving \"airports/learned/thirdparty/Pub/EGLL.xml\" did not succeed"},
        {"park-airport list", "airports/my_park_airports.txt", "EDDF,A1\nEGLL\n", &ReplacedFilesTest::writeParkList,
         "===> \"airports/my_park_airports.txt\" is read-only: not written over; park airports changed in this run "
         "will not be kept",
         nullptr},
    };
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.name);
        writeText(w.file, w.text);
        gf_closeLog();
        gf_openLog(program() / "Log.txt");
        const fs::perms writable = fs::status(w.file).permissions();
        auto refusals = [&] { return logLinesWith(logText(), {"is read-only"}); };
        fs::permissions(w.file, kAllWrite, fs::perm_options::remove);
        for (int write = 0; write < 3; ++write) (this->*w.write)();
        EXPECT_EQ(readText(w.file), w.text);
        EXPECT_EQ(refusals(), std::vector<std::string>{w.refusal});
        if (w.eachTime != nullptr) {
            EXPECT_EQ(logLinesWith(logText(), {w.eachTime}).size(), 3u);
        }
        EXPECT_TRUE(logLinesWith(logText(), {"could not be written"}).empty());
        // Writable again: written; read-only once more: reported again.
        fs::permissions(w.file, writable);
        (this->*w.write)();
        EXPECT_NE(readText(w.file), w.text);
        fs::permissions(w.file, kAllWrite, fs::perm_options::remove);
        (this->*w.write)();
        (this->*w.write)();
        EXPECT_EQ(refusals(), std::vector<std::string>(2, w.refusal));
        fs::permissions(w.file, writable);
        (this->*w.write)();
    }
}
