// The least any harvest of these files must do with zlib: learn each file's
// uncompressed size the way timbrex does and inflate the file into memory
// with gzread, which passes a plain file through. Nothing is looked at after
// that. Timing timbrex against this shows what the harvest itself costs.

#include <zlib.h>

#include "floor_run.h"

namespace {

int64_t gzread_file(const char* path, unsigned char* buffer, uint64_t size) {
    gzFile file = gzopen(path, "rb");
    if (file == nullptr) return -1;
    const int got = gzread(file, buffer, static_cast<unsigned>(size));
    gzclose(file);
    return got;
}

}  // namespace

int main(int argc, char** argv) { return timbrex::bench::run_floor(argc, argv, "floor", gzread_file); }
