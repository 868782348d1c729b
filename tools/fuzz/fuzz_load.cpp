// The input is a whole file on disk, loaded by read_log (size rule, plain
// copy or gzip members) and harvested. The result is compared with a model
// kept deliberately simple: the size the file announces, the bytes it can
// deliver (every leading gzip member inflated in one go, in memory), and
// harvest_log run on exactly those bytes. The loader inflates whole members
// with libdeflate where the build has it and falls back to zlib's streaming
// inflater for the rest; the model uses zlib alone, so every input compares
// the two.
//
// As in a run over many files, the load goes into a buffer an earlier file
// left behind. Here that buffer is full of key-ons of audible voices, so a
// walk past the delivered bytes, which AddressSanitizer cannot see inside a
// reused buffer, shows as voices the model does not have.

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "vgm/log_harvest.h"
#include "vgm/log_reader.h"
#include "voice/voice_list.h"

namespace {

// The loader never reserves more than this many bytes per compressed byte.
constexpr uint64_t kInflateBound = 1040;
constexpr uint64_t kInflateSlack = 1024;
constexpr uint64_t kMegabyte = 1 << 20;

// Large enough to be reused for most inputs; bigger claims get a new buffer,
// whose overruns AddressSanitizer does see.
constexpr size_t kLeftoverCapacity = 256 * 1024;

// The buffer an earlier, larger log would leave: rebuilt for every input so
// that each run depends on its input alone.
void fill_with_leftovers(timbrex::LogBuffer& log) {
    if (!log.bytes || log.capacity != kLeftoverCapacity) {
        log.bytes.reset(new uint8_t[kLeftoverCapacity]);
        log.capacity = kLeftoverCapacity;
    }
    // Attack rates and key-ons on channel 0 of both chips, and a level change
    // between two key-ons: a walk that strays into these bytes captures voices.
    // Eight 3-byte commands, so a walk that enters mid-command soon falls in step.
    static const uint8_t kPattern[] = {0x52, 0x50, 0x1F, 0x54, 0x80, 0x1F, 0x52, 0x28, 0xF0, 0x54, 0x08, 0x78,
                                       0x52, 0x40, 0x00, 0x52, 0x40, 0x01, 0x52, 0x28, 0x10, 0x52, 0x28, 0xF0};
    for (size_t at = 0; at < kLeftoverCapacity; ++at) log.bytes[at] = kPattern[at % sizeof kPattern];
    log.length = 0;
}

std::string input_path() { return timbrex::fuzz::scratch_directory() + "/in/fuzz input.vgz"; }

uint32_t last_four(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint8_t* p = data + size - 4;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

bool is_gzip_magic(const uint8_t* data, size_t size) { return size >= 2 && data[0] == 0x1F && data[1] == 0x8B; }

// Inflates member after member while the next bytes carry the gzip magic,
// stopping at `limit` bytes, at the end of the input or at the first damage.
std::vector<uint8_t> inflate_in_memory(const uint8_t* data, size_t size, size_t limit) {
    // Not zero-filled: a trailer may announce megabytes that never arrive.
    const std::unique_ptr<uint8_t[]> out(new uint8_t[limit == 0 ? 1 : limit]);
    size_t produced = 0;
    size_t consumed = 0;
    while (produced < limit && is_gzip_magic(data + consumed, size - consumed)) {
        z_stream stream{};
        timbrex::fuzz::check(inflateInit2(&stream, 15 + 16) == Z_OK, "zlib initialises");
        stream.next_in = const_cast<Bytef*>(data + consumed);
        stream.avail_in = static_cast<uInt>(size - consumed);
        stream.next_out = out.get() + produced;
        stream.avail_out = static_cast<uInt>(limit - produced);
        const int result = inflate(&stream, Z_FINISH);
        produced = limit - stream.avail_out;
        consumed = size - stream.avail_in;
        inflateEnd(&stream);
        if (result != Z_STREAM_END) break;
    }
    return std::vector<uint8_t>(out.get(), out.get() + produced);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    timbrex::fuzz::clear_directory(timbrex::fuzz::scratch_directory() + "/in");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace timbrex;
    const std::string path = input_path();
    fuzz::write_bytes(path, data, size);

    static LogBuffer log;
    fill_with_leftovers(log);
    const LogReadStatus status = read_log(path, log);

    const bool plain = fuzz::starts_with(data, size, "Vgm ");
    const uint64_t announced = plain ? size : last_four(data, size);
    if (announced > 0x7FFFFFFFu) {
        fuzz::check(status == LogReadStatus::too_large, "a file announcing 2^31 bytes or more is refused");
        return 0;
    }
    fuzz::check(status == LogReadStatus::ok, "a regular file that announces a size it can hold is read");
    const LogHarvest loaded = harvest_log(log.bytes.get(), log.length);

    std::vector<uint8_t> delivered;
    if (is_gzip_magic(data, size)) {
        const uint64_t room = std::min<uint64_t>(announced, size * kInflateBound + kInflateSlack);
        delivered = inflate_in_memory(data, size, static_cast<size_t>(room));
    } else {
        delivered.assign(data, data + std::min<uint64_t>(announced, size));
    }

    const LogHarvest replayed = harvest_log(delivered.data(), delivered.size());
    fuzz::check(loaded.status == replayed.status && loaded.major == replayed.major && loaded.minor == replayed.minor,
                "loading accepts what the delivered bytes make a log");
    const std::vector<VoiceRecord>& got = loaded.voices;
    const std::vector<VoiceRecord>& want = replayed.voices;
    fuzz::check(got.size() == want.size(), "loading captures as many voices as the replay");
    VoiceList list;
    for (size_t i = 0; i < got.size(); ++i) {
        fuzz::check(std::memcmp(&got[i], &want[i], sizeof got[i]) == 0, "loading captures the replay's voices");
        append_if_new(list, got[i]);
    }
    fuzz::check_voice_list(list, delivered.size());

    // Reserved memory follows the data: a gzip file's trailer is trusted up
    // to 32 times its size plus a megabyte, and the buffer grows beyond that
    // only as bytes arrive, at most doubling or adding a megabyte each time.
    const uint64_t trusted = is_gzip_magic(data, size) ? std::min<uint64_t>(announced, size * 32 + kMegabyte)
                                                       : std::min<uint64_t>(announced, size);
    const uint64_t grown = 2 * static_cast<uint64_t>(delivered.size()) + kMegabyte;
    fuzz::check(log.capacity <= std::max<uint64_t>({kLeftoverCapacity, trusted, grown}),
                "the buffer is no larger than the data present calls for");
    return 0;
}
