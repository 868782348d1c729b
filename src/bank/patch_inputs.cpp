#include "bank/patch_inputs.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "output/voice_file.h"
#include "platform/filesystem.h"

namespace timbrex {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool has_patch_suffix(const std::string& name) {
    if (name.size() < 4) return false;
    std::string suffix = name.substr(name.size() - 4);
    for (char& c : suffix) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return suffix == ".vpf";
}

void read_patch(const std::string& path, PatchInputs& inputs) {
    const std::unique_ptr<std::FILE, FileCloser> file(platform::open_regular_file(path));
    if (!file) {
        inputs.failures.push_back({PatchProblem::cant_open, path});
        return;
    }
    // One byte more than a patch holds shows a longer file, whatever size it claims.
    uint8_t buffer[kVoiceFileBytes + 1];
    const size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    if (std::ferror(file.get())) {
        inputs.failures.push_back({PatchProblem::cant_open, path});
        return;
    }
    if (got != kVoiceFileBytes) {
        inputs.failures.push_back({PatchProblem::not_a_patch, path});
        return;
    }
    VoiceFileBytes bytes;
    std::copy(buffer, buffer + kVoiceFileBytes, bytes.begin());
    inputs.instruments.push_back({patch_name(path), voice_from_patch_bytes(bytes)});
}

void read_folder(const std::string& folder, PatchInputs& inputs) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::list_directory(folder, entries)) {
        inputs.failures.push_back({PatchProblem::cant_list, folder});
        return;
    }
    const bool ends_in_separator = !folder.empty() && platform::is_path_separator(folder.back());
    const std::string prefix = ends_in_separator ? folder : folder + platform::kPathSeparator;
    for (const platform::DirectoryEntry& entry : entries) {
        if (entry.kind == platform::EntryKind::file && has_patch_suffix(entry.name))
            read_patch(prefix + entry.name, inputs);
    }
}

}  // namespace

std::string patch_name(const std::string& path) {
    size_t start = path.size();
    while (start > 0 && !platform::is_path_separator(path[start - 1])) --start;
    std::string name = path.substr(start);
    if (has_patch_suffix(name)) name.resize(name.size() - 4);
    return name;
}

PatchInputs read_patch_inputs(const std::vector<std::string>& arguments) {
    PatchInputs inputs;
    for (const std::string& argument : arguments) {
        if (platform::is_directory(argument)) {
            read_folder(argument, inputs);
        } else {
            read_patch(argument, inputs);
        }
    }
    return inputs;
}

}  // namespace timbrex
