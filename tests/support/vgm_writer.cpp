#include "vgm_writer.h"

#include <zlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace timbrex::testing {

namespace {

// Offsets of the four slots within a register block: slot k is at k * 4 on the
// YM2612 and k * 8 on the YM2151.
constexpr int kYm2612SlotStride = 4;
constexpr int kYm2151SlotStride = 8;

}  // namespace

VgmWriter::VgmWriter(uint32_t version) : log_(version) {
    log_.header_field(kHeaderSn76489Clock, kSn76489Clock)
        .header_field(kHeaderYm2612Clock, kYm2612Clock)
        .header_field(kHeaderYm2151Clock, kYm2151Clock);
}

VgmWriter& VgmWriter::data_offset(uint32_t offset) {
    log_.data_offset(offset);
    return *this;
}

VgmWriter& VgmWriter::ym2612(int port, uint8_t reg, uint8_t value) {
    log_.ym2612(port, reg, value);
    return *this;
}

VgmWriter& VgmWriter::ym2151(uint8_t reg, uint8_t value) {
    log_.ym2151(reg, value);
    return *this;
}

VgmWriter& VgmWriter::psg(uint8_t value) {
    log_.psg(value);
    return *this;
}

VgmWriter& VgmWriter::wait(uint32_t samples) {
    log_.wait(samples);
    return *this;
}

VgmWriter& VgmWriter::data_block(uint8_t type, const Bytes& data) {
    const auto n = static_cast<uint32_t>(data.size());
    raw({0x67, 0x66, type, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
         static_cast<uint8_t>(n >> 24)});
    return raw(data);
}

VgmWriter& VgmWriter::raw(std::initializer_list<uint8_t> bytes) {
    log_.raw(bytes);
    return *this;
}

VgmWriter& VgmWriter::raw(const Bytes& bytes) {
    log_.raw(bytes);
    return *this;
}

VgmWriter& VgmWriter::end() {
    log_.end();
    return *this;
}

VgmWriter& VgmWriter::ym2612_voice(int channel, const VoiceRecord& voice) {
    const int port = channel / 3;
    const int ch = channel % 3;
    for (int k = 0; k < kSlotCount; ++k) {
        const FmOperator& op = voice.slot[k];
        const int at = k * kYm2612SlotStride + ch;
        ym2612(port, static_cast<uint8_t>(0x30 + at),
               static_cast<uint8_t>(code_from_detune(op.DT) << 4 | static_cast<unsigned>(op.MUL)));
        ym2612(port, static_cast<uint8_t>(0x40 + at), static_cast<uint8_t>(op.TL));
        ym2612(port, static_cast<uint8_t>(0x50 + at), static_cast<uint8_t>(op.RS << 6 | op.AR));
        ym2612(port, static_cast<uint8_t>(0x60 + at), static_cast<uint8_t>(op.DR));
        ym2612(port, static_cast<uint8_t>(0x70 + at), static_cast<uint8_t>(op.SR));
        ym2612(port, static_cast<uint8_t>(0x80 + at), static_cast<uint8_t>(op.SL << 4 | op.RR));
        ym2612(port, static_cast<uint8_t>(0x90 + at), static_cast<uint8_t>(op.SSG));
    }
    return ym2612(port, static_cast<uint8_t>(0xB0 + ch), static_cast<uint8_t>(voice.FB << 3 | voice.ALG));
}

VgmWriter& VgmWriter::ym2612_pitch(int channel, uint16_t fnum, uint8_t block) {
    const int port = channel / 3;
    const int ch = channel % 3;
    ym2612(port, static_cast<uint8_t>(0xA4 + ch), static_cast<uint8_t>((block & 7) << 3 | (fnum >> 8 & 7)));
    return ym2612(port, static_cast<uint8_t>(0xA0 + ch), static_cast<uint8_t>(fnum & 0xFF));
}

namespace {
// Register 0x28's channel code: channels 3-5 sit at codes 4-6.
uint8_t ym2612_channel_code(int channel) { return static_cast<uint8_t>(channel < 3 ? channel : channel + 1); }
}  // namespace

VgmWriter& VgmWriter::ym2612_key_on(int channel) {
    return ym2612(0, 0x28, static_cast<uint8_t>(0xF0 | ym2612_channel_code(channel)));
}

VgmWriter& VgmWriter::ym2612_key_off(int channel) { return ym2612(0, 0x28, ym2612_channel_code(channel)); }

VgmWriter& VgmWriter::ym2151_voice(int channel, const VoiceRecord& voice) {
    // Output enables (bits 6-7) on, as a player would set them.
    ym2151(static_cast<uint8_t>(0x20 + channel), static_cast<uint8_t>(0xC0 | voice.FB << 3 | voice.ALG));
    for (int k = 0; k < kSlotCount; ++k) {
        const FmOperator& op = voice.slot[k];
        const int at = k * kYm2151SlotStride + channel;
        ym2151(static_cast<uint8_t>(0x40 + at),
               static_cast<uint8_t>(code_from_detune(op.DT) << 4 | static_cast<unsigned>(op.MUL)));
        ym2151(static_cast<uint8_t>(0x60 + at), static_cast<uint8_t>(op.TL));
        ym2151(static_cast<uint8_t>(0x80 + at), static_cast<uint8_t>(op.RS << 6 | op.AR));
        ym2151(static_cast<uint8_t>(0xA0 + at), static_cast<uint8_t>(op.DR));
        ym2151(static_cast<uint8_t>(0xC0 + at), static_cast<uint8_t>(op.SR));
        ym2151(static_cast<uint8_t>(0xE0 + at), static_cast<uint8_t>(op.SL << 4 | op.RR));
    }
    return *this;
}

VgmWriter& VgmWriter::ym2151_key_on(int channel) { return ym2151(0x08, static_cast<uint8_t>(0x78 | channel)); }

VgmWriter& VgmWriter::ym2151_key_off(int channel) { return ym2151(0x08, static_cast<uint8_t>(channel)); }

Bytes VgmWriter::bytes() const { return log_.bytes(); }

VoiceRecord sample_voice(uint32_t variant, int32_t alg, int32_t carrier_tl) {
    VoiceRecord voice{};
    const unsigned carriers = carrier_mask(alg);
    uint32_t x = variant * 2654435761u + 12345u;
    auto next = [&x](uint32_t range) {
        x = x * 1103515245u + 12345u;
        return static_cast<int32_t>((x >> 16) % range);
    };
    for (int k = 0; k < kSlotCount; ++k) {
        FmOperator& op = voice.slot[k];
        op.MUL = next(16);
        op.DT = next(7) - 3;
        op.TL = (carriers & (1u << k)) ? carrier_tl : next(100);
        op.RS = next(4);
        op.AR = 1 + next(31);
        op.DR = next(32);
        op.SR = next(32);
        op.RR = next(16);
        op.SL = next(16);
        op.SSG = 0;
    }
    voice.ALG = alg;
    voice.FB = next(8);
    return voice;
}

Bytes gzip_member(const Bytes& data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2 failed");
    }
    // zlib writes the system it was built for into the header's OS byte; a
    // fixed one (3, Unix) makes the bytes the same on every system.
    gz_header header{};
    header.os = 3;
    deflateSetHeader(&stream, &header);
    Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 32);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
    return out;
}

void write_file(const std::string& path, const Bytes& data) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!file) throw std::runtime_error("cannot write " + path);
}

Bytes read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes pattern_bytes(size_t n, uint8_t salt) {
    Bytes data(n);
    for (size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>((i * 31 + salt) ^ (i >> 7));
    return data;
}

Bytes noise_bytes(size_t n, uint32_t start) {
    Bytes data(n);
    uint32_t x = start;
    for (uint8_t& byte : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<uint8_t>(x);
    }
    return data;
}

}  // namespace timbrex::testing
