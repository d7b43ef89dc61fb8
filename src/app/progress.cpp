// The start-up progress bar: a white bar growing across a black window.
#include "app/application.h"

constexpr int32_t kBarHeight = 56;

ProgressPicture progressPicture(uint32_t width, uint32_t height, int32_t stage) {
    // Unsigned as the window sizes are: the bottom sits at about 52.7 % of the height.
    const uint32_t bottom = height * 135u / 256u;
    const uint32_t right = static_cast<uint32_t>(stage) * width / 256u;
    return {static_cast<int32_t>(width),
            static_cast<int32_t>(height),
            0,
            static_cast<int32_t>(bottom) - kBarHeight,
            static_cast<int32_t>(right),
            static_cast<int32_t>(bottom)};
}

void drawProgress(void* context, int32_t stage) {
    const auto* settings = static_cast<const DisplaySettings*>(context);
    const ProgressPicture picture = progressPicture(static_cast<uint32_t>(settings->mode.width),
                                                    static_cast<uint32_t>(settings->mode.height), stage);
    displayServices()->paintProgress(&picture);
}
