// Writes the benchmark corpus: gzip-compressed VGM logs made with the
// project's VGM writer, plus corpus.txt, which says what the corpus holds and
// is written last, so that its presence marks a complete corpus.

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "corpus.h"
#include "vgm_writer.h"

namespace {

void usage() {
    std::fputs(
        "usage: make_corpus --out DIR [--files N] [--voices N] [--random-start N]\n"
        "                   [--min-kb N] [--max-kb N]\n"
        "  --files N         logs to write (default 300)\n"
        "  --voices N        distinct instruments over the whole corpus (default 2000)\n"
        "  --random-start N  fixed value the corpus is derived from (default 1)\n"
        "  --min-kb/--max-kb uncompressed size range of a Mega Drive log (default 1500..4500)\n",
        stderr);
}

bool parse_number(const char* text, uint64_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0') return false;
    value = parsed;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace timbrex::bench;
    CorpusShape shape;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            usage();
            return 0;
        }
        if (i + 1 >= argc) {
            usage();
            return 2;
        }
        const char* text = argv[++i];
        if (option == "--out") {
            out = text;
            continue;
        }
        uint64_t value = 0;
        if (!parse_number(text, value)) {
            std::fprintf(stderr, "make_corpus: %s wants a number, got '%s'\n", option.c_str(), text);
            return 2;
        }
        if (option == "--files") {
            shape.files = static_cast<int>(value);
        } else if (option == "--voices") {
            shape.instruments = static_cast<int>(value);
        } else if (option == "--random-start") {
            shape.random_start = value;
        } else if (option == "--min-kb") {
            shape.min_log_bytes = static_cast<size_t>(value) * 1024;
        } else if (option == "--max-kb") {
            shape.max_log_bytes = static_cast<size_t>(value) * 1024;
        } else {
            usage();
            return 2;
        }
    }
    if (out.empty() || shape.files <= 0 || shape.instruments <= 0 || shape.min_log_bytes > shape.max_log_bytes) {
        usage();
        return 2;
    }
    if (::mkdir(out.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "make_corpus: cannot create %s: %s\n", out.c_str(), std::strerror(errno));
        return 1;
    }
    const std::string summary_path = out + "/corpus.txt";
    std::remove(summary_path.c_str());

    uint64_t compressed = 0;
    uint64_t uncompressed = 0;
    uint64_t largest = 0;
    int arcade_logs = 0;
    std::vector<uint32_t> all_voices;
    try {
        for (int file = 0; file < shape.files; ++file) {
            LogFacts facts;
            const Bytes log = make_log(shape, file, &facts);
            const Bytes packed = timbrex::testing::gzip_member(log);
            timbrex::testing::write_file(out + "/" + log_file_name(file), packed);
            compressed += packed.size();
            uncompressed += log.size();
            largest = std::max<uint64_t>(largest, log.size());
            arcade_logs += facts.arcade ? 1 : 0;
            all_voices.insert(all_voices.end(), facts.keyed_voices.begin(), facts.keyed_voices.end());
            if ((file + 1) % 50 == 0 || file + 1 == shape.files) {
                std::fprintf(stderr, "make_corpus: %d/%d logs\n", file + 1, shape.files);
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_corpus: %s\n", error.what());
        return 1;
    }
    std::sort(all_voices.begin(), all_voices.end());
    all_voices.erase(std::unique(all_voices.begin(), all_voices.end()), all_voices.end());

    std::FILE* summary = std::fopen(summary_path.c_str(), "w");
    if (summary == nullptr) {
        std::fprintf(stderr, "make_corpus: cannot write %s\n", summary_path.c_str());
        return 1;
    }
    std::fprintf(summary, "files=%d\n", shape.files);
    std::fprintf(summary, "voices=%d\n", shape.instruments);
    std::fprintf(summary, "random_start=%llu\n", static_cast<unsigned long long>(shape.random_start));
    std::fprintf(summary, "min_kb=%zu\nmax_kb=%zu\n", shape.min_log_bytes / 1024, shape.max_log_bytes / 1024);
    std::fprintf(summary, "mega_drive_logs=%d\narcade_logs=%d\n", shape.files - arcade_logs, arcade_logs);
    std::fprintf(summary, "compressed_bytes=%llu\n", static_cast<unsigned long long>(compressed));
    std::fprintf(summary, "uncompressed_bytes=%llu\n", static_cast<unsigned long long>(uncompressed));
    std::fprintf(summary, "largest_uncompressed_bytes=%llu\n", static_cast<unsigned long long>(largest));
    // Records timbrex's voice list ends with: every distinct voice keyed on.
    std::fprintf(summary, "voice_records=%zu\n", all_voices.size());
    const bool closed = std::fclose(summary) == 0;
    if (!closed) {
        std::fprintf(stderr, "make_corpus: cannot write %s\n", summary_path.c_str());
        return 1;
    }
    std::fprintf(stderr, "make_corpus: %d logs, %.1f MB compressed, %.1f MB uncompressed, %zu voice records\n",
                 shape.files, static_cast<double>(compressed) / 1e6, static_cast<double>(uncompressed) / 1e6,
                 all_voices.size());
    return 0;
}
