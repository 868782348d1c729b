#include "voice/channel_images.h"

#include <cstring>

namespace timbrex {

void reset_channel_images(ChannelImages& images) {
    std::memset(images.current, 0x00, sizeof images.current);
    std::memset(images.snapshot, 0xFF, sizeof images.snapshot);
}

}  // namespace timbrex
