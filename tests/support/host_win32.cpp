#include "host.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

namespace timbrex::testing {

namespace {

// Calls `fill(buffer, size)` of the usual Win32 shape: with too little room it
// returns the size it needs, terminator included; otherwise the length.
template <typename Fill>
std::string ask_for_length(Fill fill) {
    DWORD needed = fill(nullptr, 0);
    while (needed != 0) {
        std::string text(needed, '\0');
        const DWORD written = fill(text.data(), needed);
        if (written == 0) break;
        if (written < needed) {
            text.resize(written);
            return text;
        }
        needed = written;
    }
    return std::string();
}

bool is_reparse_directory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The mount-point layout of REPARSE_DATA_BUFFER, which only the driver kit's
// headers declare.
struct MountPointReparse {
    DWORD tag;
    WORD data_length;
    WORD reserved;
    WORD substitute_offset;
    WORD substitute_length;
    WORD print_offset;
    WORD print_length;
    wchar_t paths[1];
};

bool make_junction(const std::string& target, const std::string& link) {
    const std::wstring native_target = L"\\??\\" + to_path(real_path(target)).wstring();
    const size_t path_bytes = native_target.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(offsetof(MountPointReparse, paths) + path_bytes + 2 * sizeof(wchar_t));
    auto* reparse = reinterpret_cast<MountPointReparse*>(buffer.data());
    reparse->tag = IO_REPARSE_TAG_MOUNT_POINT;
    reparse->data_length = static_cast<WORD>(buffer.size() - offsetof(MountPointReparse, substitute_offset));
    reparse->substitute_length = static_cast<WORD>(path_bytes);
    reparse->print_offset = static_cast<WORD>(path_bytes + sizeof(wchar_t));
    std::memcpy(reparse->paths, native_target.c_str(), path_bytes);

    if (!CreateDirectoryA(link.c_str(), nullptr)) return false;
    HANDLE handle = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    bool made = false;
    if (handle != INVALID_HANDLE_VALUE) {
        DWORD returned = 0;
        made = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                               nullptr, 0, &returned, nullptr) != 0;
        CloseHandle(handle);
    }
    if (!made) RemoveDirectoryA(link.c_str());
    return made;
}

}  // namespace

std::string real_path(const std::string& path) {
    const std::string full =
        ask_for_length([&](char* buffer, DWORD size) { return GetFullPathNameA(path.c_str(), size, buffer, nullptr); });
    if (full.empty()) return path;
    const std::string long_form =
        ask_for_length([&](char* buffer, DWORD size) { return GetLongPathNameA(full.c_str(), buffer, size); });
    std::string resolved = long_form.empty() ? full : long_form;
    if (resolved.size() > 3 && (resolved.back() == '\\' || resolved.back() == '/')) resolved.pop_back();
    return resolved;
}

bool make_directory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool make_directory_link(const std::string& target, const std::string& link) {
    // Some systems report success without making anything (wine 8 among
    // them), so what was made is looked at before it counts.
    const DWORD flags = SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (CreateSymbolicLinkA(link.c_str(), target.c_str(), flags) && is_reparse_directory(link)) return true;
    return make_junction(target, link) && is_reparse_directory(link);
}

std::filesystem::path to_path(const std::string& path) {
    if (path.empty()) return std::filesystem::path();
    const int length = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), length);
    return std::filesystem::path(wide);
}

std::string from_path(const std::filesystem::path& path) {
    const std::wstring wide = path.wstring();
    if (wide.empty()) return std::string();
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
    return text;
}

std::string e_acute() {
    const wchar_t letter[] = L"\u00E9";
    char bytes[8] = {};
    BOOL lacking = FALSE;
    const int length =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, letter, 1, bytes, sizeof bytes, nullptr, &lacking);
    return length <= 0 || lacking ? std::string() : std::string(bytes, static_cast<size_t>(length));
}

bool running_as_root() { return false; }
bool make_fifo(const std::string&) { return false; }
bool make_symlink(const std::string&, const std::string&) { return false; }
bool set_mode(const std::string&, unsigned) { return false; }

long address_space_in_use_kib() { return 0; }

}  // namespace timbrex::testing
