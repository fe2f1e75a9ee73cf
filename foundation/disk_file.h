#pragma once
// Files that replace a file the user has (learned and handmade airport files, the park-airport list,
// parameters.xml): the new bytes go to a temporary file beside the old one, are put on the disk and closed
// without error, and only then renamed over it. After a failure or a power loss the old file is whole, or the
// new one is. A file the user made read-only is never written over.
//
// Threads: every function here may be called from any thread; each call works on its own descriptor and its
// own temporary name.
#include <filesystem>
#include <string_view>

// One file being written, owned from its creation to its close. commit() puts the bytes on the disk and closes
// it, and is the only way to learn that the file is whole; a file not committed is closed by the destructor,
// which cannot report anything.
class DiskFile {
public:
    // Creates or truncates the file; open() tells whether that worked.
    explicit DiskFile(const std::filesystem::path& path);
    ~DiskFile();
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    bool open() const { return descriptor_ >= 0; }
    // Appends the bytes; false when they were not all written (also for a file that is not open).
    bool write(std::string_view bytes);
    // Flushes the file to the disk, then closes it; true only when both succeeded. The file is closed afterwards
    // in every case.
    bool commit();

private:
    int descriptor_ = -1;
};

// Test seam: every DiskFile fails at the given step (its bytes, its flush to the disk, or its close; the close
// itself still happens) until the fault is set back to none.
enum class DiskFileFault {
    none,
    write,
    flush,
    close
};
void gf_setDiskFileFault(DiskFileFault fault);

// A file whose owner may not write it: the user made it read-only.
bool gf_isReadOnlyFile(const std::filesystem::path& path);
// True when the file is read-only. The refusal is logged once per file and run, as
// "\"{}\" is read-only: not written over" followed by "; " and the consequence when one is given; a file that
// is found writable again is reported again at its next refusal. Every writer of the file refuses it all the
// same, however often the program tries.
bool gf_refuseReadOnlyFile(const std::filesystem::path& path, std::string_view consequence = {});
// Forgets which read-only files were reported (tests).
void gf_resetReadOnlyReports();

enum class ReplaceResult {
    replaced,
    readOnly,  // refused and logged (gf_refuseReadOnlyFile); the file is as it was
    failed     // the temporary file could not be written, flushed, closed or renamed; the file is as it was
};
// Writes the bytes to "<name>.<n>.tmp" beside the path, flushes and closes it, gives it the permissions of the
// file it replaces and renames it over the path. On failure the temporary file is removed. Logs nothing but
// the read-only refusal.
ReplaceResult gf_replaceFile(const std::filesystem::path& path, std::string_view bytes);
