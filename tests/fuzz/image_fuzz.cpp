// The image loader over arbitrary bytes, read as they are and as a PNG
// without its signature: no crash, and a decoded image keeps within the
// limits and has a surface for every frame.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "dui/core/image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const bool stripped : {false, true}) {
        std::optional<dui::ExImage> image = dui::LoadImageFromBytes(bytes, stripped);
        if (!image) continue;
        if (image->Width() <= 0 || image->Height() <= 0 || image->Width() > dui::kMaxImageSide ||
            image->Height() > dui::kMaxImageSide) {
            std::abort();
        }
        const int frames = image->FrameCount();
        if (frames > dui::kMaxImageFrames) std::abort();
        for (int frame = 0; frame < frames; ++frame) {
            if (!image->SelectFrame(frame) || image->Surface() == nullptr) std::abort();
        }
        if (image->SelectFrame(frames == 0 ? 1 : frames)) std::abort();
    }
    return 0;
}
