#pragma once
// Where the window preview keeps its settings (VEXA_APPDATA): the settings file the window reads at its
// creation and writes when a check box is clicked or a field committed.
#include <filesystem>
#include <optional>

namespace window_preview {

class SettingsFolder {
public:
    // `given`: the folder of --appdata. Without one, VEXA_APPDATA as it is set; when that is not set either, a
    // new folder of this preview's own under the system's temporary folder (TMPDIR), made so that no other
    // preview or user shares it, and removed again when this object ends. Points VEXA_APPDATA at the folder.
    // Throws std::filesystem::filesystem_error when the folder cannot be made.
    explicit SettingsFolder(std::optional<std::filesystem::path> given);
    ~SettingsFolder();
    SettingsFolder(const SettingsFolder&) = delete;
    SettingsFolder& operator=(const SettingsFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    bool own_ = false;
};

}  // namespace window_preview
