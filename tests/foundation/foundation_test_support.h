#pragma once
// Temporary working folders for the foundation tests (the parts come from tests/common/sandbox.h).

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "shell/run_flags.h"
#include "tests/common/sandbox.h"

namespace fs = std::filesystem;

// Makes a temporary folder the working (program) folder for the life of the object.
class InTempWorkingFolder {
public:
    const fs::path& path() const { return folder_.path(); }

private:
    TempFolder folder_;
    InWorkingFolder cwd_{folder_.path()};
};
