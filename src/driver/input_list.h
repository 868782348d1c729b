#pragma once
// The ordered list of everything a run looks at. An entry's position is its
// file index, which every captured voice carries.

#include <string>
#include <string_view>
#include <vector>

namespace timbrex {

struct InputEntry {
    std::string path;    // exactly as given
    std::string prefix;  // output name prefix; empty for a directory
    bool is_dir = false;
};

struct InputList {
    std::vector<InputEntry> entries;
};

// True if the first suffix.size() characters of `text` equal `suffix`, ASCII
// letters compared without regard to case. Looks at nothing beyond them.
bool ext_equal(std::string_view text, std::string_view suffix);

// True if the path's last three characters are "vgm" or "vgz", in any case.
// There is no test for a dot: "songvgm" passes.
bool has_vgm_suffix(std::string_view path);

// The last path component with blanks made "_", cut at its first ".", plus "_":
// "C:\music\Title Theme.vgz" gives "Title_Theme_".
std::string name_prefix(std::string_view path);

// Appends a directory, or a file that passes the suffix filter; drops other files.
void add_input(InputList& list, const std::string& path, bool is_dir);

}  // namespace timbrex
