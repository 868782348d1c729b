#include "driver/directory_walk.h"

#include <cstdio>
#include <vector>

#include "messages.h"

namespace timbrex {

bool scan_entry(InputList& list, const std::string& directory, const platform::DirectoryEntry& entry) {
    if (entry.name.empty() || entry.name == "." || entry.name == "..") return true;
    // Links to directories are never followed (no cycles), and FIFOs, devices
    // and sockets are never opened (nothing can block the run).
    if (entry.kind == platform::EntryKind::other) return true;
    add_input(list, directory + platform::kPathSeparator + entry.name, entry.kind == platform::EntryKind::directory);
    return false;
}

bool walk_directories(InputList& list, const std::string& argument) {
    add_input(list, argument.substr(0, argument.size() - 1), true);
    std::vector<platform::DirectoryEntry> listing;
    // The list is the queue: every directory entry is scanned exactly once, in
    // list order, including those appended while scanning.
    for (size_t i = 0; i < list.entries.size(); ++i) {
        if (!list.entries[i].is_dir) continue;
        const std::string path = list.entries[i].path;  // the list may grow below
        // The empty root is the start directory, which is current at this point.
        if (!path.empty() && !platform::enter_directory(path)) {
            std::printf(messages::kCantOpenDirectory, path.c_str());
            continue;
        }
        const std::optional<std::string> directory = platform::current_directory();
        if (!directory || !platform::list_current_directory(listing)) {
            std::fputs(messages::kWalkFatal, stdout);
            return false;
        }
        for (const platform::DirectoryEntry& entry : listing) scan_entry(list, *directory, entry);
    }
    return true;
}

}  // namespace timbrex
