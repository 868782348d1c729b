#include "vgm/log_writer.h"

#include <algorithm>

namespace timbrex {

namespace {

constexpr size_t kHeaderSize = 0x40;
constexpr uint32_t kLongestWait = 0xFFFF;

}  // namespace

void put_le32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

LogWriter::LogWriter(uint32_t version) : version_(version) {}

LogWriter& LogWriter::data_offset(uint32_t offset) {
    data_offset_ = offset;
    return *this;
}

LogWriter& LogWriter::header_field(size_t offset, uint32_t value) {
    fields_.push_back({offset, value});
    return *this;
}

LogWriter& LogWriter::ym2612(int port, uint8_t reg, uint8_t value) {
    return raw({static_cast<uint8_t>(port == 0 ? 0x52 : 0x53), reg, value});
}

LogWriter& LogWriter::ym2151(uint8_t reg, uint8_t value) { return raw({0x54, reg, value}); }

LogWriter& LogWriter::psg(uint8_t value) { return raw({0x50, value}); }

LogWriter& LogWriter::wait(uint32_t samples) {
    while (samples > 0) {
        const uint32_t step = std::min(samples, kLongestWait);
        raw({0x61, static_cast<uint8_t>(step & 0xFF), static_cast<uint8_t>(step >> 8)});
        samples -= step;
    }
    return *this;
}

LogWriter& LogWriter::raw(std::initializer_list<uint8_t> bytes) {
    commands_.insert(commands_.end(), bytes.begin(), bytes.end());
    return *this;
}

LogWriter& LogWriter::raw(const std::vector<uint8_t>& bytes) {
    commands_.insert(commands_.end(), bytes.begin(), bytes.end());
    return *this;
}

LogWriter& LogWriter::end() { return raw({0x66}); }

std::vector<uint8_t> LogWriter::bytes() const {
    const bool has_offset = (version_ & 0xFF) >= 0x32 || version_ > 0x1FF;
    const size_t data_start = has_offset ? kHeaderDataOffset + static_cast<size_t>(data_offset_) : kHeaderSize;
    std::vector<uint8_t> out(kHeaderSize, 0);
    out[0] = 'V';
    out[1] = 'g';
    out[2] = 'm';
    out[3] = ' ';
    put_le32(out, kHeaderVersion, version_);
    for (const Field& field : fields_) {
        if (field.offset + 4 <= kHeaderSize) put_le32(out, field.offset, field.value);
    }
    put_le32(out, kHeaderDataOffset, data_offset_);
    out.resize(std::max(data_start, kHeaderSize), 0);
    // A data offset inside the header: the commands overwrite it from there.
    if (data_start < kHeaderSize) out.resize(data_start);
    out.insert(out.end(), commands_.begin(), commands_.end());
    put_le32(out, kHeaderEndOfFile, static_cast<uint32_t>(out.size() - kHeaderEndOfFile));
    return out;
}

}  // namespace timbrex
