#pragma once
// One VGM log played by libgme's VGM player, a stretch of frames at a time,
// as 16-bit stereo at 44.1 kHz on the log's own time line.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct Music_Emu;

namespace timbrex::preview {

class LogPlayer {
   public:
    // libgme keeps a pointer to the log's bytes rather than a copy: the
    // `size` bytes at `log` must outlive the player.
    LogPlayer(const uint8_t* log, size_t size);

    // libgme's reason when it refused the log or failed to play, else null.
    const char* error() const { return error_; }

    // The next `frames` frames appended to `out`; false (and error() set)
    // when libgme failed. Past the log's end (and its loop) they are silent.
    bool play(uint32_t frames, std::vector<int16_t>& out);

    // The next `frames` frames played and dropped: every channel runs as it
    // would be heard, so the chip's state after them is the log's.
    bool skip(uint32_t frames);

    // From the log's start to `frame` frames into it, quickly, where
    // `frame` fits libgme's count of samples (else false, nothing done):
    // libgme mutes every voice on the way, and its GENS YM2612 core then
    // stops their envelopes, so a note keyed on the way and still held
    // starts its envelope where the way ends.
    bool seek(uint64_t frame);

    // Silences the voices whose bit is set in `mask`, in libgme's numbering
    // (see song_stretch.h); they keep running, only their output is dropped.
    void mute(int mask);

    // True once the log has ended without a loop to go back to.
    bool ended() const;

   private:
    struct EmuDeleter {
        void operator()(Music_Emu* emu) const;
    };
    std::unique_ptr<Music_Emu, EmuDeleter> emu_;
    const char* error_ = nullptr;
};

}  // namespace timbrex::preview
