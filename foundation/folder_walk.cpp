#include "foundation/folder_walk.h"

#include <system_error>

namespace fs = std::filesystem;

WalkedFolders::WalkedFolders(const fs::path& root) {
    std::error_code ec;
    fs::path real = fs::canonical(root, ec);
    if (ec) real = fs::absolute(root, ec).lexically_normal();
    entered_.insert(real);
    parents_.push_back(std::move(real));
}

void WalkedFolders::enterOnce(fs::recursive_directory_iterator& it) {
    const fs::directory_entry& entry = *it;
    const auto depth = static_cast<std::size_t>(it.depth());
    std::error_code ec;
    fs::path real;
    const fs::file_status own = entry.symlink_status(ec);
    if (!ec && fs::is_directory(own) && depth < parents_.size()) {
        // A folder that is no link lies in its parent's real folder under its own name.
        real = parents_[depth] / entry.path().filename();
    } else if (!ec && fs::is_directory(entry.status(ec)) && !ec) {
        real = fs::canonical(entry.path(), ec);
    }
    if (ec || real.empty() || !entered_.insert(real).second) {
        it.disable_recursion_pending();
        return;
    }
    parents_.resize(depth + 1);
    parents_.push_back(std::move(real));
}
