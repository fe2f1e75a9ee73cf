#pragma once
// The folders that one recursive walk has entered. The scans of the simulator's package folders follow
// directory links (users often install packages into the Community folder as links); a folder reached a
// second time, through a second link to one package or through a link to a folder above it (a loop), is not
// entered again, so that every real folder is walked once and every walk ends.
//
// Use with a std::filesystem::recursive_directory_iterator opened with
// directory_options::follow_directory_symlink: call enterOnce for each entry that the walk would descend into,
// before the iterator advances.
//
// Threads: one object belongs to one walk on one thread.
#include <cstddef>
#include <filesystem>
#include <set>
#include <vector>

class WalkedFolders {
public:
    // The root counts as entered.
    explicit WalkedFolders(const std::filesystem::path& root);

    // A folder, or a link to one, is entered the first time its real folder is met. Otherwise, and for every
    // entry that is no folder (a file, a broken link), recursion into the entry is disabled. Never throws a
    // file-system error: an entry whose real folder cannot be found is not entered.
    void enterOnce(std::filesystem::recursive_directory_iterator& it);

private:
    std::set<std::filesystem::path> entered_;
    // The real folder of each folder being walked, by depth: parents_[d] holds the entries of depth d.
    std::vector<std::filesystem::path> parents_;
};
