// A walk that follows directory links enters every real folder once: second links to one folder, links to a
// folder above, links met before the folder's own place, and broken links.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "foundation/folder_walk.h"
#include "tests/common/sandbox.h"

namespace {

// The files met by the walk of `root`, as paths relative to the sandbox, with how often each real file was met.
std::map<std::string, int> walk(const fs::path& sandbox, const fs::path& root) {
    std::map<std::string, int> met;
    fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink), end;
    WalkedFolders walked(root);
    for (; it != end; ++it) {
        walked.enterOnce(it);
        if (it->is_regular_file()) ++met[fs::canonical(it->path()).lexically_relative(fs::canonical(sandbox)).string()];
    }
    return met;
}

void touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

}  // namespace

TEST(WalkedFolders, EveryRealFolderOnceAndEveryWalkEnds) {
    TempFolder dir;
    const fs::path root = dir / "root";
    touch(root / "a" / "sub" / "1.txt");
    touch(root / "b" / "2.txt");
    touch(dir / "outside" / "deep" / "3.txt");
    fs::create_directory_symlink(dir / "outside", root / "b" / "out");
    fs::create_directory_symlink(dir / "outside", root / "out-again");
    fs::create_directory_symlink(root / "a" / "sub", root / "b" / "sub-link");  // a folder met twice
    fs::create_directory_symlink(root, root / "a" / "sub" / "up");              // loops to the root
    fs::create_directory_symlink(root / "b", dir / "outside" / "deep" / "back");
    fs::create_directory_symlink(dir / "gone", root / "broken");
    fs::create_symlink(root / "b" / "2.txt", root / "a" / "file-link");  // a file link is a file

    const std::map<std::string, int> expected = {
        {"outside/deep/3.txt", 1}, {"root/a/sub/1.txt", 1}, {"root/b/2.txt", 2}};
    EXPECT_EQ(walk(dir.path(), root), expected);
    fs::create_directory_symlink(root, dir / "root-link");
    EXPECT_EQ(walk(dir.path(), dir / "root-link"), expected) << "a root that is a link";
}
