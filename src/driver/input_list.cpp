#include "driver/input_list.h"

namespace timbrex {

namespace {

char fold_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr size_t kSuffixLength = 3;

}  // namespace

bool ext_equal(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (fold_ascii(text[i]) != fold_ascii(suffix[i])) return false;
    }
    return true;
}

bool has_vgm_suffix(std::string_view path) {
    if (path.size() < kSuffixLength) return false;
    const std::string_view last = path.substr(path.size() - kSuffixLength);
    return ext_equal(last, "vgm") || ext_equal(last, "vgz");
}

std::string name_prefix(std::string_view path) {
    const size_t separator = path.find_last_of("/\\");
    std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    name = name.substr(0, name.find('.'));
    std::string prefix(name);
    for (char& c : prefix) {
        if (c == ' ') c = '_';
    }
    prefix += '_';
    return prefix;
}

void add_input(InputList& list, const std::string& path, bool is_dir) {
    if (!is_dir && !has_vgm_suffix(path)) return;
    list.entries.push_back({path, is_dir ? std::string() : name_prefix(path), is_dir});
}

}  // namespace timbrex
