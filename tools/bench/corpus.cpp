#include "corpus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bytes.h"
#include "vgm_writer.h"

namespace timbrex::bench {

namespace {

using testing::VgmWriter;

// splitmix64: small, fast, and the same numbers on every platform, which the
// standard distributions do not promise.
class Random {
   public:
    explicit Random(uint64_t start) : state_(start) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
    int between(int low, int high) { return low + static_cast<int>(below(static_cast<uint32_t>(high - low + 1))); }
    bool chance(uint32_t numerator, uint32_t denominator) { return below(denominator) < numerator; }

   private:
    uint64_t state_;
};

// Independent streams for instruments, instrument sets and logs.
enum class Stream : uint64_t { instrument = 1, log_instruments = 2, log = 3 };

uint64_t stream_start(const CorpusShape& shape, Stream stream, uint64_t number) {
    Random r(shape.random_start ^ (static_cast<uint64_t>(stream) << 56));
    return r.next() ^ (number * 0xD1B54A32D192ED03ull);
}

constexpr int kSampleRate = 44100;
constexpr int kNtscFrame = 735;
constexpr int kCarrierStep = 4;  // attenuation per volume step

uint8_t clamp_sample(double value) {
    const double v = std::round(128.0 + value);
    return static_cast<uint8_t>(v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : v));
}

// Unsigned 8-bit drum and voice samples, as Mega Drive drivers keep them.
struct Sample {
    uint32_t offset;
    uint32_t length;
};

std::vector<Sample> make_pcm_bank(Random& r, Bytes& bank) {
    const int count = r.between(5, 12);
    std::vector<Sample> samples;
    for (int s = 0; s < count; ++s) {
        const uint32_t length = static_cast<uint32_t>(r.between(1500, 11500));
        samples.push_back({static_cast<uint32_t>(bank.size()), length});
        const int kind = static_cast<int>(r.below(4));
        double phase = 0.0;
        double noise = 0.0;
        for (uint32_t i = 0; i < length; ++i) {
            const double t = static_cast<double>(i) / static_cast<double>(length);
            const double envelope = 110.0 * std::exp(-4.0 * t);
            const double white = static_cast<double>(r.below(2001)) / 1000.0 - 1.0;
            double value = 0.0;
            switch (kind) {
                case 0:  // kick: falling sine
                    phase += 0.02 + 0.10 * (1.0 - t);
                    value = envelope * std::sin(phase);
                    break;
                case 1:  // snare: tone and noise
                    phase += 0.12;
                    value = envelope * (0.4 * std::sin(phase) + 0.6 * white);
                    break;
                case 2:  // hat: filtered noise
                    noise = 0.6 * noise + 0.4 * white;
                    value = envelope * noise * std::exp(-6.0 * t);
                    break;
                default:  // voice clip: wobbling harmonics
                    phase += 0.05 + 0.01 * std::sin(12.0 * t);
                    value = 0.8 * envelope * (std::sin(phase) + 0.3 * std::sin(3.0 * phase) + 0.1 * white);
                    break;
            }
            bank.push_back(clamp_sample(value));
        }
    }
    return samples;
}

// 4-bit ADPCM-like nibbles from a wandering signal: barely compressible, as a
// real OKIM6295 sample ROM is.
Bytes make_adpcm_rom(Random& r, uint32_t size) {
    Bytes rom;
    rom.reserve(size + 8);
    testing::append_le32(rom, size);  // ROM size, then start address of this block
    testing::append_le32(rom, 0);
    // Phrase table: 128 entries of start and end address.
    for (uint32_t i = 0; i < 128; ++i) {
        const uint32_t start = 0x400 + i * ((size - 0x400) / 128);
        const uint32_t end = start + (size - 0x400) / 128 - 1;
        for (uint32_t v : {start, end}) {
            rom.push_back(static_cast<uint8_t>(v >> 16));
            rom.push_back(static_cast<uint8_t>(v >> 8));
            rom.push_back(static_cast<uint8_t>(v));
        }
        rom.push_back(0);
        rom.push_back(0);
    }
    uint8_t previous = 0;
    while (rom.size() < size + 8) {
        // Mostly small steps, now and then a silent stretch.
        uint8_t nibble_hi = static_cast<uint8_t>(r.below(6));
        uint8_t nibble_lo = static_cast<uint8_t>(r.below(6) | (r.chance(1, 2) ? 8 : 0));
        if (r.chance(1, 40)) nibble_hi = nibble_lo = 0;
        if (r.chance(1, 6)) nibble_hi = previous >> 4;
        previous = static_cast<uint8_t>(nibble_hi << 4 | nibble_lo);
        rom.push_back(previous);
    }
    return rom;
}

// A short wait as the smallest command that holds it.
void wait_samples(VgmWriter& w, int samples) {
    while (samples > 0) {
        if (samples == kNtscFrame) {
            w.raw({0x62});
            return;
        }
        if (samples <= 16) {
            w.raw({static_cast<uint8_t>(0x70 | (samples - 1))});
            return;
        }
        const int step = std::min(samples, 65535);
        w.wait(static_cast<uint16_t>(step));
        samples -= step;
    }
}

struct Channel {
    int instrument = -1;    // index into the log's instrument list
    int written_step = -1;  // carrier level the chip holds now
    bool sounding = false;
    bool vibrato = false;
    int pitch = 0;
};

// A tracker-style song: patterns of rows, played in an order that repeats
// them, so that a log repeats itself the way real music does. Every decision
// in a row comes from a random stream fixed by pattern and row, so a pattern
// sounds the same each time it is played.
class Song {
   public:
    Song(Random& r, uint64_t start, size_t instrument_count, int channels)
        : start_(start), channels_(channels), patterns_(r.between(6, 12)), rows_(r.chance(1, 2) ? 32 : 64) {
        // Each pattern and channel owns a run of the log's instruments; the
        // runs cover them all, so every instrument is heard once every
        // pattern has been played.
        const size_t cells = static_cast<size_t>(patterns_ * channels_);
        const size_t per_cell = (instrument_count + cells - 1) / cells;
        cells_.resize(cells);
        for (size_t i = 0; i < cells; ++i) {
            for (size_t j = 0; j < per_cell; ++j) {
                cells_[i].instruments.push_back(static_cast<int>((i + j * cells) % instrument_count));
            }
            cells_[i].volume_step = static_cast<int>(r.below(kVolumeSteps));
        }
        for (int p = 0; p < patterns_; ++p) order_.push_back(p);
        const int extra = r.between(8, 30);
        for (int i = 0; i < extra; ++i) order_.push_back(static_cast<int>(r.below(static_cast<uint32_t>(patterns_))));
    }

    int rows() const { return rows_; }
    // Pattern played at position `step` of the endlessly looped order.
    int pattern_at(long step) const { return order_[static_cast<size_t>(step) % order_.size()]; }

    Random row_random(int pattern, int row) const {
        return Random(start_ ^ (static_cast<uint64_t>(pattern) << 32 | static_cast<uint64_t>(row)) *
                                   UINT64_C(0xA24BAED4963EE407));
    }
    // Instrument (index into the log's list) for a note in this row.
    int instrument(int pattern, int channel, int row) const {
        const Cell& cell = cells_[static_cast<size_t>(pattern * channels_ + channel)];
        return cell.instruments[static_cast<size_t>(row) * cell.instruments.size() / static_cast<size_t>(rows_)];
    }
    int volume_step(int pattern, int channel, Random& rr) const {
        // Mostly the pattern's level, now and then an accent or a fade step.
        if (rr.chance(1, 8)) return static_cast<int>(rr.below(kVolumeSteps));
        return cells_[static_cast<size_t>(pattern * channels_ + channel)].volume_step;
    }

   private:
    struct Cell {
        std::vector<int> instruments;
        int volume_step = 0;
    };
    uint64_t start_;
    int channels_;
    int patterns_;
    int rows_;
    std::vector<Cell> cells_;
    std::vector<int> order_;
};

constexpr int kVibrato[8] = {0, 1, 2, 1, 0, -1, -2, -1};

class LogBuilder {
   public:
    LogBuilder(const CorpusShape& shape, int file, LogFacts* facts)
        : shape_(shape),
          r_(stream_start(shape, Stream::log, static_cast<uint64_t>(file))),
          instruments_(instruments_of_log(shape, file)),
          facts_(facts) {}

    Bytes mega_drive();
    Bytes arcade();

   private:
    VoiceRecord voice_of(const Channel& c, int step) const {
        return instrument_voice(shape_, instruments_[static_cast<size_t>(c.instrument)], step);
    }
    void note_keyed(const Channel& c, int step) {
        if (facts_ == nullptr) return;
        facts_->keyed_voices.push_back(instruments_[static_cast<size_t>(c.instrument)] * kVolumeSteps +
                                       static_cast<uint32_t>(step));
    }

    void ym2612_carrier_levels(VgmWriter& w, int channel, const VoiceRecord& v);
    void ym2151_carrier_levels(VgmWriter& w, int channel, const VoiceRecord& v);

    const CorpusShape& shape_;
    Random r_;
    std::vector<uint32_t> instruments_;
    LogFacts* facts_;
};

void LogBuilder::ym2612_carrier_levels(VgmWriter& w, int channel, const VoiceRecord& v) {
    const unsigned carriers = carrier_mask(v.ALG);
    for (int k = 0; k < kSlotCount; ++k) {
        if (!(carriers & (1u << k))) continue;
        w.ym2612(channel / 3, static_cast<uint8_t>(0x40 + k * 4 + channel % 3), static_cast<uint8_t>(v.slot[k].TL));
    }
}

void LogBuilder::ym2151_carrier_levels(VgmWriter& w, int channel, const VoiceRecord& v) {
    const unsigned carriers = carrier_mask(v.ALG);
    for (int k = 0; k < kSlotCount; ++k) {
        if (!(carriers & (1u << k))) continue;
        w.ym2151(static_cast<uint8_t>(0x60 + k * 8 + channel), static_cast<uint8_t>(v.slot[k].TL));
    }
}

Bytes LogBuilder::mega_drive() {
    static constexpr uint32_t kVersions[] = {0x150, 0x160, 0x171};
    VgmWriter w(kVersions[r_.below(3)]);
    const bool dac = r_.chance(9, 10);
    if (facts_ != nullptr) facts_->dac_stream = dac;
    // Without a DAC stream the bulk of a log is FM and PSG writes, and songs
    // of a few minutes stay well below a megabyte.
    const size_t target =
        (shape_.min_log_bytes + r_.below(static_cast<uint32_t>(shape_.max_log_bytes - shape_.min_log_bytes + 1))) /
        (dac ? 1 : 4);

    Bytes bank;
    const std::vector<Sample> samples = make_pcm_bank(r_, bank);
    if (dac) w.data_block(0x00, bank);

    w.ym2612(0, 0x22, 0x00).ym2612(0, 0x27, 0x00).ym2612(0, 0x2B, dac ? 0x80 : 0x00);
    for (int ch = 0; ch < 6; ++ch) w.ym2612(ch / 3, static_cast<uint8_t>(0xB4 + ch % 3), 0xC0);
    w.psg(0x9F).psg(0xBF).psg(0xDF).psg(0xFF);

    static constexpr int kDacRates[] = {8000, 10400, 11025, 13000, 16000, 17500};
    const int rate = kDacRates[r_.below(6)];
    const uint32_t step16 =
        static_cast<uint32_t>((static_cast<uint64_t>(kSampleRate) << 16) / static_cast<uint32_t>(rate));
    uint32_t accumulator = 0;
    uint32_t dac_left = 0;

    const int fm_channels = dac ? 5 : 6;
    const Song song(r_, r_.next(), instruments_.size(), fm_channels);
    Channel fm[6];
    for (Channel& c : fm) c.vibrato = r_.chance(1, 3);
    int psg_volume[4] = {15, 15, 15, 15};
    const int ticks_per_row = r_.between(4, 8);

    for (long tick = 0; w.commands().size() < target; ++tick) {
        if (tick % ticks_per_row == 0) {
            const long row_number = tick / ticks_per_row;
            const int pattern = song.pattern_at(row_number / song.rows());
            const int row = static_cast<int>(row_number % song.rows());
            Random rr = song.row_random(pattern, row);
            for (int ch = 0; ch < fm_channels; ++ch) {
                Channel& c = fm[ch];
                const int port = ch / 3;
                const uint8_t low = static_cast<uint8_t>(ch % 3);
                if (rr.chance(1, 2)) {
                    if (c.sounding) w.ym2612_key_off(ch);
                    const int instrument = song.instrument(pattern, ch, row);
                    const int step = song.volume_step(pattern, ch, rr);
                    if (instrument != c.instrument) {
                        c.instrument = instrument;
                        w.ym2612_voice(ch, voice_of(c, step));
                    } else if (c.written_step != step) {
                        ym2612_carrier_levels(w, ch, voice_of(c, step));
                    }
                    c.written_step = step;
                    c.pitch = rr.between(0x280, 0x4C0) | rr.between(2, 5) << 11;
                    w.ym2612(port, static_cast<uint8_t>(0xA4 + low), static_cast<uint8_t>(c.pitch >> 8));
                    w.ym2612(port, static_cast<uint8_t>(0xA0 + low), static_cast<uint8_t>(c.pitch));
                    w.ym2612_key_on(ch);
                    note_keyed(c, step);
                    c.sounding = true;
                } else if (c.sounding && rr.chance(1, 4)) {
                    w.ym2612_key_off(ch);
                    c.sounding = false;
                }
            }
            for (int ch = 0; ch < 3; ++ch) {
                if (!rr.chance(2, 5)) continue;
                const int period = rr.between(0x40, 0x3FF);
                w.psg(static_cast<uint8_t>(0x80 | ch << 5 | (period & 0x0F)));
                w.psg(static_cast<uint8_t>(period >> 4));
                psg_volume[ch] = rr.between(0, 4);
            }
            if (dac && rr.chance(1, 2)) {
                const Sample& s = samples[rr.below(static_cast<uint32_t>(samples.size()))];
                w.raw({0xE0, static_cast<uint8_t>(s.offset), static_cast<uint8_t>(s.offset >> 8),
                       static_cast<uint8_t>(s.offset >> 16), static_cast<uint8_t>(s.offset >> 24)});
                dac_left = s.length;
            } else if (!dac && rr.chance(1, 3)) {
                w.psg(0xE5);  // noise channel as hi-hat
                psg_volume[3] = 2;
            }
        }
        // Every tick: vibrato, PSG envelopes.
        for (int ch = 0; ch < fm_channels; ++ch) {
            const Channel& c = fm[ch];
            if (!c.vibrato || !c.sounding) continue;
            const int pitch = c.pitch + kVibrato[tick % 8];
            w.ym2612(ch / 3, static_cast<uint8_t>(0xA4 + ch % 3), static_cast<uint8_t>(pitch >> 8));
            w.ym2612(ch / 3, static_cast<uint8_t>(0xA0 + ch % 3), static_cast<uint8_t>(pitch));
        }
        for (int ch = 0; ch < 4; ++ch) {
            if (psg_volume[ch] >= 15) continue;
            psg_volume[ch] = std::min(15, psg_volume[ch] + (tick % 2 == 0 ? 1 : 0));
            w.psg(static_cast<uint8_t>(0x90 | ch << 5 | psg_volume[ch]));
        }
        // The frame's time: the DAC stream while a sample plays, then a wait.
        int budget = kNtscFrame;
        while (budget > 0 && dac_left > 0) {
            accumulator += step16;
            int n = static_cast<int>(accumulator >> 16);
            n = std::min(n, std::min(15, budget));
            accumulator -= static_cast<uint32_t>(n) << 16;
            w.raw({static_cast<uint8_t>(0x80 | n)});
            budget -= n;
            --dac_left;
        }
        wait_samples(w, budget);
    }
    w.end();
    return w.bytes();
}

Bytes LogBuilder::arcade() {
    VgmWriter w(0x161);
    const uint32_t rom_size = static_cast<uint32_t>(r_.between(4, 16)) * 0x10000;
    w.data_block(0x8B, make_adpcm_rom(r_, rom_size));

    w.ym2151(0x01, 0x02).ym2151(0x01, 0x00).ym2151(0x0F, 0x00);
    w.ym2151(0x18, static_cast<uint8_t>(r_.below(256))).ym2151(0x19, 0x80).ym2151(0x19, 0x00).ym2151(0x1B, 0x00);
    w.raw({0xB8, 0x00, 0x78});  // OKIM6295: stop all voices

    // The sound CPU runs off the YM2151 timer: several ticks per frame.
    const int tick_samples = r_.between(150, 400);
    const long ticks = static_cast<long>(r_.between(120, 300)) * kSampleRate / tick_samples;
    const int ticks_per_row = r_.between(6, 14);
    const int fm_channels = r_.chance(1, 2) ? 8 : 6;
    const Song song(r_, r_.next(), instruments_.size(), fm_channels);
    Channel fm[8];
    for (Channel& c : fm) c.vibrato = r_.chance(1, 4);

    for (long tick = 0; tick < ticks; ++tick) {
        if (tick % ticks_per_row == 0) {
            const long row_number = tick / ticks_per_row;
            const int pattern = song.pattern_at(row_number / song.rows());
            const int row = static_cast<int>(row_number % song.rows());
            Random rr = song.row_random(pattern, row);
            for (int ch = 0; ch < fm_channels; ++ch) {
                Channel& c = fm[ch];
                if (rr.chance(1, 2)) {
                    if (c.sounding) w.ym2151_key_off(ch);
                    const int instrument = song.instrument(pattern, ch, row);
                    const int step = song.volume_step(pattern, ch, rr);
                    if (instrument != c.instrument) {
                        c.instrument = instrument;
                        w.ym2151_voice(ch, voice_of(c, step));
                    } else if (c.written_step != step) {
                        ym2151_carrier_levels(w, ch, voice_of(c, step));
                    }
                    c.written_step = step;
                    c.pitch = rr.between(0x10, 0x7E);
                    w.ym2151(static_cast<uint8_t>(0x28 + ch), static_cast<uint8_t>(c.pitch));
                    w.ym2151(static_cast<uint8_t>(0x30 + ch), 0x00);
                    w.ym2151_key_on(ch);
                    note_keyed(c, step);
                    c.sounding = true;
                } else if (c.sounding && rr.chance(1, 4)) {
                    w.ym2151_key_off(ch);
                    c.sounding = false;
                }
            }
            if (rr.chance(1, 2)) {
                const uint8_t voice_bit = static_cast<uint8_t>(0x10 << rr.below(4));
                w.raw({0xB8, 0x00, static_cast<uint8_t>(0x80 | rr.below(128))});
                w.raw({0xB8, 0x00, static_cast<uint8_t>(voice_bit | rr.below(4))});
            }
        }
        for (int ch = 0; ch < fm_channels; ++ch) {
            const Channel& c = fm[ch];
            if (c.vibrato && c.sounding) {
                w.ym2151(static_cast<uint8_t>(0x30 + ch), static_cast<uint8_t>((kVibrato[tick % 8] + 2) << 2));
            }
        }
        wait_samples(w, tick_samples);
    }
    w.end();
    return w.bytes();
}

}  // namespace

VoiceRecord instrument_voice(const CorpusShape& shape, uint32_t instrument, int volume_step) {
    Random r(stream_start(shape, Stream::instrument, instrument));
    // The variant is a bijection of the instrument number, so no two
    // instruments share one.
    const uint32_t variant =
        static_cast<uint32_t>(stream_start(shape, Stream::instrument, 0)) + instrument * 0x9E3779B1u;
    const auto alg = static_cast<int32_t>(r.below(8));
    const auto level = static_cast<int32_t>(r.below(16));
    return testing::sample_voice(variant, alg, level + kCarrierStep * volume_step);
}

std::vector<uint32_t> instruments_of_log(const CorpusShape& shape, int file) {
    const auto total = static_cast<uint64_t>(shape.instruments);
    const auto files = static_cast<uint64_t>(shape.files);
    const auto f = static_cast<uint64_t>(file);
    std::vector<uint32_t> list;
    // A share of its own, so that every instrument is played somewhere ...
    for (uint64_t i = total * f / files; i < total * (f + 1) / files; ++i) list.push_back(static_cast<uint32_t>(i));
    // ... and a few that other logs play too, as games of one sound driver share presets.
    Random r(stream_start(shape, Stream::log_instruments, f));
    const int shared = r.between(3, 8);
    for (int i = 0; i < shared && total > 0; ++i) {
        const auto pick = static_cast<uint32_t>(r.below(static_cast<uint32_t>(total)));
        if (std::find(list.begin(), list.end(), pick) == list.end()) list.push_back(pick);
    }
    return list;
}

Bytes make_log(const CorpusShape& shape, int file, LogFacts* facts) {
    LogBuilder builder(shape, file, facts);
    Random kind(stream_start(shape, Stream::log, static_cast<uint64_t>(file)) ^ 0x5555);
    const bool arcade = kind.chance(1, 4);
    Bytes log = arcade ? builder.arcade() : builder.mega_drive();
    if (facts != nullptr) {
        facts->arcade = arcade;
        facts->uncompressed_bytes = log.size();
        std::sort(facts->keyed_voices.begin(), facts->keyed_voices.end());
        facts->keyed_voices.erase(std::unique(facts->keyed_voices.begin(), facts->keyed_voices.end()),
                                  facts->keyed_voices.end());
    }
    return log;
}

std::string log_file_name(int file) {
    char name[32];
    std::snprintf(name, sizeof name, "log_%05d.vgz", file);
    return name;
}

}  // namespace timbrex::bench
