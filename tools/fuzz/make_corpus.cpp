// Writes the fuzzers' starting corpus into the directory named on the command
// line: small logs of both chips made with the project's VGM writer, plain and
// gzip-compressed, covering every part of the format the harvest looks at.
// Most files are a few hundred bytes; two hold more than 64 KiB even when
// compressed, and one inflates far beyond what its compressed size vouches for,
// so that the loader's buffer has to grow.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "pipeline_input.h"
#include "vgm_writer.h"

namespace {

using timbrex::VoiceRecord;
using timbrex::testing::Bytes;
using timbrex::testing::gzip_member;
using timbrex::testing::sample_voice;
using timbrex::testing::VgmWriter;

using timbrex::testing::concat;

// Three YM2612 voices over both ports, keyed on and off, one of them at two
// volumes so that grouping has a louder and a quieter member to choose from.
Bytes ym2612_song(uint32_t version) {
    VgmWriter log(version);
    log.ym2612(0, 0x22, 0x08).ym2612(0, 0x27, 0x00);  // LFO and channel 3 mode: ignored registers
    for (int channel = 0; channel < 6; channel += 2) {
        log.ym2612_voice(channel, sample_voice(static_cast<uint32_t>(channel), channel % 8, 8));
        log.ym2612(channel / 3, static_cast<uint8_t>(0xA4 + channel % 3), 0x22);  // frequency: ignored
        log.ym2612_key_on(channel).wait(200).ym2612_key_off(channel);
    }
    log.ym2612_voice(1, sample_voice(0, 0, 30)).ym2612_key_on(1).raw({0x62}).ym2612_key_off(1);
    return log.end().bytes();
}

Bytes ym2151_song(uint32_t version) {
    VgmWriter log(version);
    log.ym2151(0x18, 0x40).ym2151(0x0F, 0x00);  // LFO and noise: ignored
    for (int channel = 0; channel < 8; channel += 3) {
        log.ym2151_voice(channel, sample_voice(static_cast<uint32_t>(10 + channel), channel % 8, 0));
        log.ym2151(static_cast<uint8_t>(0x28 + channel), 0x4A);  // key code: ignored
        log.ym2151_key_on(channel).raw({0x63}).ym2151_key_off(channel);
    }
    // A loudness-0 voice: every carrier at TL 127, a modulator audible.
    VoiceRecord quiet = sample_voice(40, 4, 127);
    log.ym2151_voice(7, quiet).ym2151_key_on(7).wait(10);
    return log.end().bytes();
}

// Sample playback on the YM2612's sixth channel: a PCM data block, DAC mode
// through register 0x2B, 0x8n writes with waits, a seek, the DAC stream
// commands 0x90-0x95, and key-ons of channel 6 with DAC mode on and off.
Bytes dac_song(uint32_t version) {
    VgmWriter log(version);
    Bytes pcm(96);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(0x80 + (i * 37) % 64);
    log.data_block(0x00, pcm);
    log.ym2612_voice(5, sample_voice(7, 2, 4)).ym2612(0, 0x2B, 0x80);
    log.raw({0xE0, 0x00, 0x00, 0x00, 0x00});
    for (uint8_t n = 0; n < 16; ++n) log.raw({static_cast<uint8_t>(0x80 | n)});
    log.ym2612_key_on(5);
    log.raw({0x90, 0x00, 0x02, 0x00, 0x2A});                                      // stream setup
    log.raw({0x91, 0x00, 0x00, 0x01, 0x00});                                      // stream data
    log.raw({0x92, 0x00, 0x40, 0x1F, 0x00, 0x00});                                // stream frequency
    log.raw({0x93, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x60, 0x00, 0x00, 0x00});  // stream start
    log.raw({0x95, 0x00, 0x00, 0x00, 0x00});                                      // fast start
    log.raw({0x94, 0x00});                                                        // stream stop
    log.ym2612(0, 0x2B, 0x00).ym2612_key_on(5).wait(100);
    return log.end().bytes();
}

// Commands the harvest only steps over: PSG, Game Gear stereo, reserved ranges
// (0x40-0x4E have one operand before 1.60 and two from 1.60 on), other chips,
// a PCM RAM write, between two key-ons of the same voice.
Bytes skipped_commands(uint32_t version) {
    VgmWriter log(version);
    log.ym2612_voice(0, sample_voice(21, 7, 0)).ym2612_key_on(0);
    log.psg(0x9F).raw({0x4F, 0xFF}).raw({0x30, 0x11}).raw({0x41, 0x12, 0x34});
    log.raw({0x51, 0x20, 0x01}).raw({0x55, 0x07, 0x3F}).raw({0xB4, 0x01, 0x02}).raw({0xC0, 0x00, 0x10, 0x20});
    log.raw({0x68, 0x66, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00});
    log.raw({0x70, 0x7F, 0x61, 0x10, 0x00});
    log.ym2612_key_on(0).ym2151_voice(2, sample_voice(22, 5, 3)).ym2151_key_on(2);
    return log.end().bytes();
}

// More than 64 KiB even when compressed: a block of noise, with a voice keyed
// on before and after it.
Bytes large_song() {
    VgmWriter log(0x150);
    const Bytes noise = timbrex::testing::noise_bytes(80 * 1024, 0x2545F491u);
    log.ym2612_voice(0, sample_voice(50, 1, 2)).ym2612_key_on(0);
    log.data_block(0x00, noise);
    log.ym2612_voice(3, sample_voice(51, 6, 2)).ym2612_key_on(3);
    return log.end().bytes();
}

// Minutes of waits, which deflate packs about a thousandfold, then a voice.
Bytes long_silence() {
    VgmWriter log(0x150);
    for (int i = 0; i < 1000000; ++i) log.wait(735);
    log.ym2612_voice(2, sample_voice(52, 3, 1)).ym2612_key_on(2);
    return log.end().bytes();
}

// A member whose header carries a file name and the header CRC (FHCRC), which
// zlib checks: the flags, the name and the two CRC bytes go after the fixed
// ten header bytes.
Bytes member_with_header_crc(const Bytes& data) {
    const Bytes plain = gzip_member(data);
    Bytes header(plain.begin(), plain.begin() + 10);
    header[3] = 0x08 | 0x02;
    const char name[] = "song.vgm";
    header.insert(header.end(), name, name + sizeof name);
    const uLong check = ::crc32(0, header.data(), static_cast<uInt>(header.size()));
    header.push_back(static_cast<uint8_t>(check));
    header.push_back(static_cast<uint8_t>(check >> 8));
    return concat(header, Bytes(plain.begin() + 10, plain.end()));
}

void save(const std::string& directory, const std::string& name, const Bytes& bytes) {
    timbrex::testing::write_file(directory + "/" + name, bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", dir.c_str(), error.message().c_str());
        return 1;
    }

    const Bytes ym2612 = ym2612_song(0x150);
    const Bytes ym2151 = ym2151_song(0x110);
    save(dir, "ym2612-v150.vgm", ym2612);
    save(dir, "ym2612-v150.vgz", gzip_member(ym2612));
    save(dir, "ym2151-v110.vgm", ym2151);
    save(dir, "ym2151-v110.vgz", gzip_member(ym2151));
    save(dir, "ym2151-v101.vgm", ym2151_song(0x101));
    save(dir, "dac-v150.vgm", dac_song(0x150));
    save(dir, "dac-v161.vgz", gzip_member(dac_song(0x161)));
    save(dir, "skipped-v151.vgm", skipped_commands(0x151));
    save(dir, "skipped-v160.vgm", skipped_commands(0x160));
    save(dir, "skipped-v200.vgm", skipped_commands(0x200));

    // A data offset that points past the end of the usual 0x40-byte header.
    VgmWriter far(0x171);
    far.data_offset(0x8C).ym2151_voice(0, sample_voice(30, 3, 0)).ym2151_key_on(0).end();
    save(dir, "offset-0x8c-v171.vgm", far.bytes());
    save(dir, "header-only-v150.vgm", VgmWriter(0x150).bytes());

    // One log split over two gzip members; trailing bytes that begin no member.
    const size_t half = ym2612.size() / 2;
    const Bytes first(ym2612.begin(), ym2612.begin() + static_cast<std::ptrdiff_t>(half));
    const Bytes second(ym2612.begin() + static_cast<std::ptrdiff_t>(half), ym2612.end());
    save(dir, "two-members.vgz", concat(gzip_member(first), gzip_member(second)));
    save(dir, "member-then-junk.vgz", concat(gzip_member(ym2151), Bytes{'j', 'u', 'n', 'k', 0x00, 0x10, 0x00, 0x00}));
    const Bytes packed = gzip_member(ym2612);
    save(dir, "truncated-member.vgz",
         Bytes(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packed.size() / 2)));

    save(dir, "large-v150.vgm", large_song());
    save(dir, "large-v150.vgz", gzip_member(large_song()));
    save(dir, "long-silence.vgz", gzip_member(long_silence()));
    Bytes claims_more = gzip_member(long_silence());
    claims_more[claims_more.size() - 1] = 0x7F;  // the trailer claims almost 2 GiB
    save(dir, "long-silence-claims-more.vgz", claims_more);
    save(dir, "header-crc.vgz", member_with_header_crc(ym2151));

    // Several logs in one input for fuzz_pipeline; the same voice twice at
    // different volumes across files.
    const Bytes separator(timbrex::fuzz::kLogSeparator.begin(), timbrex::fuzz::kLogSeparator.end());
    save(dir, "pipeline-three-logs.bin",
         concat(concat(concat(ym2612, separator), concat(ym2151, separator)), skipped_commands(0x150)));
    save(dir, "pipeline-plain-and-gzip.bin", concat(concat(gzip_member(dac_song(0x150)), separator), ym2612));
    return 0;
}
