#pragma once
// Writing VGM logs: the header and the commands the project writes, for the
// preview's one-note logs, the demo log, the tests and the benchmark corpus.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace timbrex {

// VGM time: waits count samples at 44.1 kHz.
constexpr uint32_t kVgmSampleRate = 44100;

// Chip clocks as VGM headers give them: the NTSC Mega Drive's YM2612 runs at
// its master clock / 7 (53.693175 MHz / 7), its PSG and an arcade YM2151 at
// the NTSC colour burst's 3.579545 MHz.
constexpr uint32_t kYm2612Clock = 7670453;
constexpr uint32_t kYm2151Clock = 3579545;
constexpr uint32_t kSn76489Clock = 3579545;

// Header fields, by offset.
constexpr size_t kHeaderEndOfFile = 0x04;  // relative to itself
constexpr size_t kHeaderVersion = 0x08;
constexpr size_t kHeaderSn76489Clock = 0x0C;
constexpr size_t kHeaderTotalSamples = 0x18;
constexpr size_t kHeaderYm2612Clock = 0x2C;
constexpr size_t kHeaderYm2151Clock = 0x30;
constexpr size_t kHeaderDataOffset = 0x34;  // relative to itself

// Stores `value` little-endian at out[at..at+3], which the caller has made room for.
void put_le32(std::vector<uint8_t>& out, size_t at, uint32_t value);

class LogWriter {
   public:
    // Version as the header stores it: 0x150 is 1.50, 0x161 is 1.61.
    explicit LogWriter(uint32_t version = 0x150);

    // Offset stored at 0x34, relative to 0x34 (0x0C, the default, puts the
    // data at 0x40). Versions below 1.50 have no such field: their data
    // starts at 0x40.
    LogWriter& data_offset(uint32_t offset);
    // Any other 32-bit header field (clocks, total samples).
    LogWriter& header_field(size_t offset, uint32_t value);

    LogWriter& ym2612(int port, uint8_t reg, uint8_t value);  // 0x52, 0x53
    LogWriter& ym2151(uint8_t reg, uint8_t value);            // 0x54
    LogWriter& psg(uint8_t value);                            // 0x50
    // 0x61 commands of at most 65,535 samples each, as many as it takes.
    LogWriter& wait(uint32_t samples);
    LogWriter& raw(std::initializer_list<uint8_t> bytes);
    LogWriter& raw(const std::vector<uint8_t>& bytes);
    LogWriter& end();  // 0x66

    // The header (0x40 bytes, or up to the data start) followed by the
    // commands, with the end-of-file offset filled in. A data offset inside
    // the header lets the commands overwrite it from there.
    std::vector<uint8_t> bytes() const;

    const std::vector<uint8_t>& commands() const { return commands_; }

   private:
    struct Field {
        size_t offset;
        uint32_t value;
    };
    uint32_t version_;
    uint32_t data_offset_ = 0x0C;
    std::vector<Field> fields_;
    std::vector<uint8_t> commands_;
};

}  // namespace timbrex
