// The toolbar images the build draws into the program directory.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <fstream>
#include <set>

#include "toolbox/toolbox.h"

namespace {

const char *const kImages[] = {
    "close.bmp",  "open.bmp",    "save.bmp",   "print.bmp",    "excel.bmp",
    "grati.bmp",  "curseur.bmp", "legend.pcx", "echelles.pcx", "zplus.bmp",
    "zmoins.bmp", "cascade.bmp", "tile.bmp",   "ecran.bmp",    "help.bmp",
};

std::string PathOf(const std::string &name) {
    return std::string(VELORINDER_PROGRAM_DIR) + "/toolbar/" + name;
}

std::vector<std::uint8_t> ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Loads a toolbar image as the toolbar does, as 0xRRGGBB pixels.
std::vector<std::uint32_t> Pixels(const std::string &name, int *width, int *height) {
    std::vector<std::uint32_t> pixels;
    if (name.ends_with(".pcx")) {
        PcxImage image;
        if (!PcxReadFile(PathOf(name), &image)) return {};
        *width = image.width;
        *height = image.height;
        return image.pixels;
    }
    QImage image(QString::fromStdString(PathOf(name)));
    *width = image.width();
    *height = image.height();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            pixels.push_back(image.pixel(x, y) & 0xFFFFFF);
    return pixels;
}

} // namespace

TEST(ToolbarImages, EachFileHasTheFormatItsNameSays) {
    for (const char *name : kImages) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> data = ReadAll(PathOf(name));
        ASSERT_GT(data.size(), 2u);
        if (std::string(name).ends_with(".bmp")) {
            EXPECT_EQ(data[0], 'B');
            EXPECT_EQ(data[1], 'M');
            QImageReader reader(QString::fromStdString(PathOf(name)));
            EXPECT_EQ(reader.format(), "bmp");
            EXPECT_FALSE(reader.read().isNull());
        } else {
            EXPECT_EQ(data[0], 0x0A);
            PcxImage image;
            std::string error;
            EXPECT_TRUE(PcxDecode(data.data(), data.size(), &image, &error)) << error;
        }
    }
}

TEST(ToolbarImages, AreButtonSizedDrawingsAllDifferent) {
    std::set<std::vector<std::uint32_t>> seen;
    for (const char *name : kImages) {
        SCOPED_TRACE(name);
        int width = 0, height = 0;
        const std::vector<std::uint32_t> pixels = Pixels(name, &width, &height);
        EXPECT_EQ(width, kToolbarImageSize);
        EXPECT_EQ(height, kToolbarImageSize);
        ASSERT_EQ(pixels.size(), std::size_t(width * height));
        // A transparent margin (magenta) and a drawing with several colours.
        std::set<std::uint32_t> colours(pixels.begin(), pixels.end());
        EXPECT_TRUE(colours.count(0xFF00FF));
        EXPECT_GE(colours.size(), 4u);
        const auto drawn = std::count_if(pixels.begin(), pixels.end(),
                                         [](std::uint32_t p) { return p != 0xFF00FF; });
        EXPECT_GT(drawn, 60);
        EXPECT_TRUE(seen.insert(pixels).second) << "same picture as another image";
    }
}
