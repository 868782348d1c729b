// Writes the demo log shipped in examples/: a short tune of the project's own
// making for both chips, so that a first run shows the whole harvest.
//   make_demo OUTPUT.vgz

#include <cstdio>
#include <exception>

#include "vgm_writer.h"

using timbrex::FmOperator;
using timbrex::VoiceRecord;
using timbrex::testing::VgmWriter;

namespace {

VoiceRecord voice(int32_t alg, int32_t fb, const FmOperator (&ops)[4]) {
    VoiceRecord v{};
    for (int k = 0; k < 4; ++k) v.slot[k] = ops[k];
    v.ALG = alg;
    v.FB = fb;
    return v;
}

VoiceRecord louder(VoiceRecord v, int32_t carrier_tl) {
    for (int k = 0; k < 4; ++k) {
        if (timbrex::carrier_mask(v.ALG) & (1u << k)) v.slot[k].TL = carrier_tl;
    }
    return v;
}

// A note: key on, hold, key off, rest (44100 samples a second).
void note(VgmWriter& w, bool ym2151, int channel, uint16_t hold) {
    if (ym2151) {
        w.ym2151_key_on(channel).wait(hold).ym2151_key_off(channel).wait(2205);
    } else {
        w.ym2612_key_on(channel).wait(hold).ym2612_key_off(channel).wait(2205);
    }
}

// YM2612 pitches at the 7,670,453 Hz clock: frequency number = Hz * 144 *
// 2^(21 - block) / clock.
struct Pitch {
    uint16_t fnum;
    uint8_t block;
};
constexpr Pitch kC2{644, 2};
constexpr Pitch kG3{965, 3};
constexpr Pitch kC4{644, 4};
constexpr Pitch kE4{811, 4};

// A YM2612 note at `pitch`, so that a player sounds it as a tune.
void note_at(VgmWriter& w, int channel, Pitch pitch, uint16_t hold) {
    w.ym2612_pitch(channel, pitch.fnum, pitch.block);
    note(w, false, channel, hold);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo OUTPUT.vgz\n");
        return 2;
    }
    //                        MUL DT  TL  RS  AR  DR  SR  RR  SL SSG
    const VoiceRecord piano = voice(4, 5,
                                    {{1, -3, 35, 1, 31, 12, 3, 7, 2, 0},
                                     {2, 0, 28, 1, 31, 10, 4, 6, 3, 0},
                                     {1, 3, 20, 0, 31, 8, 2, 7, 2, 0},
                                     {1, 0, 20, 0, 31, 9, 2, 7, 2, 0}});
    const VoiceRecord bass = voice(0, 6,
                                   {{0, 0, 30, 0, 31, 5, 0, 8, 1, 0},
                                    {1, 1, 40, 0, 31, 6, 0, 8, 2, 0},
                                    {0, -1, 25, 1, 31, 7, 1, 8, 2, 0},
                                    {1, 0, 8, 0, 31, 12, 3, 9, 4, 0}});
    const VoiceRecord organ = voice(7, 0,
                                    {{1, 0, 30, 0, 31, 0, 0, 15, 0, 0},
                                     {2, 0, 30, 0, 31, 0, 0, 15, 0, 0},
                                     {4, 0, 34, 0, 31, 0, 0, 15, 0, 0},
                                     {8, 0, 40, 0, 31, 0, 0, 15, 0, 0}});
    const VoiceRecord brass = voice(5, 3,
                                    {{1, 0, 22, 1, 18, 8, 2, 6, 3, 0},
                                     {1, 2, 24, 1, 20, 8, 2, 6, 3, 0},
                                     {1, -2, 24, 1, 20, 8, 2, 6, 3, 0},
                                     {1, 0, 24, 1, 20, 8, 2, 6, 3, 0}});
    const VoiceRecord bell = voice(2, 7,
                                   {{7, 1, 45, 2, 31, 14, 6, 5, 5, 0},
                                    {14, -1, 50, 2, 31, 16, 6, 5, 6, 0},
                                    {3, 0, 38, 1, 31, 12, 5, 5, 4, 0},
                                    {1, 0, 12, 1, 31, 10, 4, 4, 3, 0}});

    VgmWriter w(0x150);
    w.psg(0x9F).psg(0xBF).psg(0xDF).psg(0xFF);  // PSG silent
    // YM2612: piano twice at two volumes (one instrument), bass, organ.
    w.ym2612_voice(0, louder(piano, 30));
    note_at(w, 0, kE4, 11025);
    w.ym2612_voice(0, louder(piano, 12));
    note_at(w, 0, kC4, 11025);
    w.ym2612_voice(1, bass);
    note_at(w, 1, kC2, 22050);
    w.ym2612_voice(5, organ);
    note_at(w, 5, kG3, 22050);
    // A short DAC sample on channel 6: its key-ons are not instruments.
    w.data_block(0x00, timbrex::testing::Bytes(256, 0x80)).ym2612(0, 0x2B, 0x80);
    for (int i = 0; i < 64; ++i) w.raw({static_cast<uint8_t>(0x80 | (i & 0x0F))});
    w.ym2612_key_on(5).ym2612(0, 0x2B, 0x00);
    // YM2151: brass at two volumes (one instrument) and a bell.
    w.ym2151_voice(2, louder(brass, 30));
    note(w, true, 2, 11025);
    w.ym2151_voice(2, brass);
    note(w, true, 2, 11025);
    w.ym2151_voice(7, bell);
    note(w, true, 7, 22050);
    w.end();

    try {
        timbrex::testing::write_file(argv[1], timbrex::testing::gzip_member(w.bytes()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_demo: %s\n", error.what());
        return 1;
    }
    return 0;
}
