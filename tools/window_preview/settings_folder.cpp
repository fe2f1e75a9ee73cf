#include "tools/window_preview/settings_folder.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

namespace window_preview {

namespace fs = std::filesystem;

SettingsFolder::SettingsFolder(std::optional<fs::path> given) {
    if (given) {
        path_ = *given;
    } else if (const char* set = std::getenv("VEXA_APPDATA")) {
        path_ = set;
        return;
    } else {
        // mkdtemp makes a fresh folder with a unique name, readable by its owner only.
        std::string name = (fs::temp_directory_path() / "vexa_window_preview.XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr)
            throw fs::filesystem_error("cannot make the preview's settings folder", fs::path(name),
                                       std::error_code(errno, std::generic_category()));
        path_ = name;
        own_ = true;
    }
    ::setenv("VEXA_APPDATA", path_.c_str(), 1);
}

SettingsFolder::~SettingsFolder() {
    if (!own_) return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

}  // namespace window_preview
