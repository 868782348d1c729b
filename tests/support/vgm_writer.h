#pragma once
// Builds VGM logs in memory for tests, the demo and the benchmark corpus:
// the program's log writer with every clock of a Mega Drive and an arcade
// board in the header, whole voices, key-ons, data blocks, gzip members.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "vgm/log_writer.h"
#include "voice/voice_record.h"

namespace timbrex::testing {

using Bytes = std::vector<uint8_t>;

class VgmWriter {
   public:
    // Version as the header stores it: 0x150 is 1.50, 0x161 is 1.61.
    explicit VgmWriter(uint32_t version = 0x150);

    // Offset stored at 0x34, relative to 0x34 (0x0C puts the data at 0x40).
    VgmWriter& data_offset(uint32_t offset);

    VgmWriter& ym2612(int port, uint8_t reg, uint8_t value);
    VgmWriter& ym2151(uint8_t reg, uint8_t value);
    VgmWriter& psg(uint8_t value);
    VgmWriter& wait(uint32_t samples);
    VgmWriter& data_block(uint8_t type, const Bytes& data);
    VgmWriter& raw(std::initializer_list<uint8_t> bytes);
    VgmWriter& raw(const Bytes& bytes);
    VgmWriter& end();

    // Every voice register of a YM2612 channel (0-5), as the voice holds it.
    VgmWriter& ym2612_voice(int channel, const VoiceRecord& voice);
    // The pitch of a YM2612 channel (0-5): 0xA4 (block, frequency number's
    // top 3 bits) then 0xA0 (its low 8), in the order the chip latches them.
    VgmWriter& ym2612_pitch(int channel, uint16_t fnum, uint8_t block);
    // Register 0x28 with all four operators on (key-on) or off.
    VgmWriter& ym2612_key_on(int channel);
    VgmWriter& ym2612_key_off(int channel);

    // Every voice register of a YM2151 channel (0-7).
    VgmWriter& ym2151_voice(int channel, const VoiceRecord& voice);
    VgmWriter& ym2151_key_on(int channel);
    VgmWriter& ym2151_key_off(int channel);

    // Header (0x40 bytes, or up to the data offset) followed by the commands.
    Bytes bytes() const;

    const Bytes& commands() const { return log_.commands(); }

   private:
    LogWriter log_;
};

// A voice whose values are all in range, varied by `variant`; TL of every slot
// is `carrier_tl` for carriers of the chosen algorithm and a variant-based
// level for modulators.
VoiceRecord sample_voice(uint32_t variant, int32_t alg, int32_t carrier_tl = 0);

// `a` followed by `b`.
Bytes concat(Bytes a, const Bytes& b);

// `n` bytes that compress well yet are not all alike, varied by `salt`.
Bytes pattern_bytes(size_t n, uint8_t salt);

// `n` bytes that do not compress, the same on every run: an xorshift stream
// started from `start` (not 0).
Bytes noise_bytes(size_t n, uint32_t start);

// One gzip member holding `data`.
Bytes gzip_member(const Bytes& data);

// Writes bytes to a file; throws on failure.
void write_file(const std::string& path, const Bytes& data);
Bytes read_file(const std::string& path);

}  // namespace timbrex::testing
