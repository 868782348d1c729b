// Creates COUNT files of 42 bytes in the current directory, the way timbrex
// saves its voice files (fopen "wb", one fwrite, fclose): the file-creation
// part of a harvest's floor when its outputs go to a disk.
//   make_files COUNT

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_files COUNT\n", stderr);
        return 2;
    }
    const long count = std::strtol(argv[1], nullptr, 10);
    const unsigned char bytes[42] = {4, 5, 1, 0, 35};
    long failed = 0;
    for (long i = 0; i < count; ++i) {
        const std::string name = "file_" + std::to_string(i) + ".vpf";
        std::FILE* file = std::fopen(name.c_str(), "wb");
        if (file == nullptr) {
            ++failed;
            continue;
        }
        const bool written = std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
        if (std::fclose(file) != 0 || !written) ++failed;
    }
    std::printf("make_files: %ld files, %ld failed\n", count - failed, failed);
    return failed == 0 ? 0 : 1;
}
