#include "voice/channel_images.h"

#include <cstring>

namespace timbrex {

ChannelImages fresh_channel_images() {
    ChannelImages images;
    std::memset(images.current, 0x00, sizeof images.current);
    std::memset(images.snapshot, 0xFF, sizeof images.snapshot);
    return images;
}

}  // namespace timbrex
