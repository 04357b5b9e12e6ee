// PCX images (the toolbar's pictures): the reader gives a complete image or a
// reason, never reads outside its input, and what the writer makes of an image
// reads back pixel for pixel.
#include "fuzz.h"

#include "toolbox/toolbox.h"

#include <algorithm>

FUZZ_TARGET(pcx_image) {
    PcxImage image;
    std::string error;
    if (!PcxDecode(data, size, &image, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(image.width >= 1 && image.width <= kPcxMaxDimension);
    FUZZ_CHECK(image.height >= 1 && image.height <= kPcxMaxDimension);
    FUZZ_CHECK(image.pixels.size() == std::size_t(image.width) * std::size_t(image.height));
    FUZZ_CHECK(std::all_of(image.pixels.begin(), image.pixels.end(),
                           [](std::uint32_t p) { return p <= 0xFFFFFF; }));

    const std::vector<std::uint8_t> file = PcxEncode(image);
    FUZZ_CHECK(!file.empty());
    PcxImage back;
    FUZZ_CHECK_MSG(PcxDecode(file.data(), file.size(), &back, &error), error);
    FUZZ_CHECK(back.width == image.width && back.height == image.height);
    FUZZ_CHECK(back.pixels == image.pixels);
    // The writer's own file is written again to the same bytes.
    FUZZ_CHECK(PcxEncode(back) == file);
    return 0;
}
