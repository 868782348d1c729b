#include "run_binary.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "host.h"

namespace timbrex::testing {

TempDir::~TempDir() {
    std::error_code error;
    // Tests may leave read-only directories behind; open them up before removal.
    const std::filesystem::path root = to_path(path_);
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, error);
        }
    }
    std::filesystem::permissions(root, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(root, error);
}

std::vector<std::string> files_in(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(to_path(directory), error)) {
        const std::string name = from_path(entry.path().filename());
        if (entry.is_regular_file(error) && name[0] != '.') names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace timbrex::testing
