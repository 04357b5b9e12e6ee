// PCX reader and writer: round trips through both formats the writer uses,
// hand-made files of the other kinds, and damaged files, which must fail
// without reading outside the buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

#include "toolbox/toolbox.h"

namespace {

PcxImage Pattern(int width, int height, int colours) {
    PcxImage image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Runs of equal pixels and changes, cycling through `colours` values.
            const int k = ((x / 3) + y * 7) % colours;
            image.pixels.push_back(std::uint32_t(k * 0x010203 + 0x102030) & 0xFFFFFF);
        }
    return image;
}

int U16(const std::vector<std::uint8_t> &d, std::size_t at) {
    return d[at] | (d[at + 1] << 8);
}

// Decodes from an exactly sized heap copy, so a read past the end is a read
// past an allocation (seen by sanitizers and valgrind).
bool DecodeExact(const std::vector<std::uint8_t> &data, std::size_t size, PcxImage *image) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size == 0 ? 1 : size]);
    if (size) std::memcpy(copy.get(), data.data(), size);
    return PcxDecode(copy.get(), size, image);
}

// A 128-byte header for hand-made files.
std::vector<std::uint8_t> Header(int bits, int planes, int width, int height, int bytesPerLine,
                                 int encoding = 1) {
    std::vector<std::uint8_t> h(kPcxHeaderSize, 0);
    h[0] = 0x0A;
    h[1] = 5;
    h[2] = std::uint8_t(encoding);
    h[3] = std::uint8_t(bits);
    h[8] = std::uint8_t((width - 1) & 0xFF);
    h[9] = std::uint8_t((width - 1) >> 8);
    h[10] = std::uint8_t((height - 1) & 0xFF);
    h[11] = std::uint8_t((height - 1) >> 8);
    h[65] = std::uint8_t(planes);
    h[66] = std::uint8_t(bytesPerLine & 0xFF);
    h[67] = std::uint8_t(bytesPerLine >> 8);
    return h;
}

} // namespace

TEST(Pcx, PaletteImageRoundTripsWithItsHeader) {
    // 200 colours: palette indexes of 0xC0 and above must be escaped as runs.
    const PcxImage image = Pattern(37, 13, 200);
    const std::vector<std::uint8_t> data = PcxEncode(image);
    ASSERT_GT(data.size(), std::size_t(kPcxHeaderSize + 769));
    EXPECT_EQ(data[0], 0x0A);
    EXPECT_EQ(data[2], 1);  // run-length encoded
    EXPECT_EQ(data[3], 8);  // bits per pixel
    EXPECT_EQ(data[65], 1); // one plane: palette image
    EXPECT_EQ(U16(data, 8), 36);
    EXPECT_EQ(U16(data, 10), 12);
    EXPECT_EQ(U16(data, 66), 38); // scan lines padded to even length
    EXPECT_EQ(data[data.size() - 769], 0x0C);

    PcxImage back;
    std::string error;
    ASSERT_TRUE(PcxDecode(data.data(), data.size(), &back, &error)) << error;
    EXPECT_EQ(back.width, 37);
    EXPECT_EQ(back.height, 13);
    EXPECT_EQ(back.pixels, image.pixels);
}

TEST(Pcx, TrueColourImageRoundTripsInThreePlanes) {
    PcxImage image;
    image.width = 20;
    image.height = 20;
    for (int i = 0; i < 400; ++i) // 400 distinct colours: too many for a palette
        image.pixels.push_back(std::uint32_t(i * 0x00F1E3) & 0xFFFFFF);
    const std::vector<std::uint8_t> data = PcxEncode(image);
    ASSERT_GT(data.size(), std::size_t(kPcxHeaderSize));
    EXPECT_EQ(data[3], 8);
    EXPECT_EQ(data[65], 3);
    PcxImage back;
    ASSERT_TRUE(PcxDecode(data.data(), data.size(), &back));
    EXPECT_EQ(back.pixels, image.pixels);
}

TEST(Pcx, LongRunsAreSplitAndCompress) {
    PcxImage image;
    image.width = 500;
    image.height = 4;
    image.pixels.assign(2000, 0xC0C0C0);
    image.pixels[1999] = 0x000000;
    const std::vector<std::uint8_t> data = PcxEncode(image);
    // 500 equal bytes take 8 runs of at most 63, two bytes each.
    EXPECT_LT(data.size(), std::size_t(kPcxHeaderSize + 769 + 4 * 20));
    PcxImage back;
    ASSERT_TRUE(PcxDecode(data.data(), data.size(), &back));
    EXPECT_EQ(back.pixels, image.pixels);
}

TEST(Pcx, WriterRefusesInconsistentImages) {
    PcxImage image;
    image.width = 4;
    image.height = 4;
    image.pixels.assign(15, 0);
    EXPECT_TRUE(PcxEncode(image).empty());
    image.width = 0;
    image.pixels.clear();
    EXPECT_TRUE(PcxEncode(image).empty());
    EXPECT_FALSE(PcxWriteFile("/nonexistent-dir/x.pcx", Pattern(2, 2, 2)));
}

TEST(Pcx, FileRoundTripAndMissingFile) {
    const auto path = std::filesystem::temp_directory_path() / "velorinder_pcx_test.pcx";
    const PcxImage image = Pattern(9, 5, 4);
    ASSERT_TRUE(PcxWriteFile(path.string(), image));
    PcxImage back;
    ASSERT_TRUE(PcxReadFile(path.string(), &back));
    EXPECT_EQ(back.pixels, image.pixels);
    std::filesystem::remove(path);
    std::string error;
    EXPECT_FALSE(PcxReadFile(path.string(), &back, &error));
    EXPECT_FALSE(error.empty());
}

TEST(Pcx, ReadsMonochromeAndSixteenColourFiles) {
    // 1 bit, 1 plane: set bits are white.
    std::vector<std::uint8_t> mono = Header(1, 1, 10, 2, 2);
    // Lines 0xF0 0x40 and 0x00 0x80; 0xF0 has its top bits set, so it is a run of one.
    for (std::uint8_t b : {0xC1, 0xF0, 0x40, 0x00, 0x80})
        mono.push_back(b);
    PcxImage image;
    ASSERT_TRUE(PcxDecode(mono.data(), mono.size(), &image));
    ASSERT_EQ(image.width, 10);
    ASSERT_EQ(image.height, 2);
    const std::vector<std::uint32_t> row0 = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0,
                                             0,        0,        0,        0,        0xFFFFFF};
    EXPECT_EQ(std::vector<std::uint32_t>(image.pixels.begin(), image.pixels.begin() + 10), row0);
    EXPECT_EQ(image.pixels[10], 0u);
    EXPECT_EQ(image.pixels[18], 0xFFFFFFu);

    // 1 bit, 4 planes: the index picks from the header's 16-colour palette.
    std::vector<std::uint8_t> ega = Header(1, 4, 2, 1, 2, 0); // uncompressed
    ega[16 + 5 * 3] = 0x12;                                   // colour 5
    ega[16 + 5 * 3 + 1] = 0x34;
    ega[16 + 5 * 3 + 2] = 0x56;
    ega[16 + 8 * 3] = 0xAB; // colour 8
    // Pixel 0 has index 5 (planes 0 and 2), pixel 1 index 8 (plane 3).
    for (std::uint8_t b : {0x80, 0x00, 0x00, 0x00, 0x80, 0x00, 0x40, 0x00})
        ega.push_back(b);
    ASSERT_TRUE(PcxDecode(ega.data(), ega.size(), &image));
    ASSERT_EQ(image.pixels.size(), 2u);
    EXPECT_EQ(image.pixels[0], 0x123456u);
    EXPECT_EQ(image.pixels[1], 0xAB0000u);
}

TEST(Pcx, EveryTruncationFails) {
    for (const PcxImage &image : {Pattern(13, 7, 9), Pattern(30, 30, 900)}) {
        const std::vector<std::uint8_t> data = PcxEncode(image);
        ASSERT_FALSE(data.empty());
        PcxImage back;
        for (std::size_t n = 0; n < data.size(); ++n)
            EXPECT_FALSE(DecodeExact(data, n, &back)) << "decoded from " << n << " bytes";
        EXPECT_TRUE(DecodeExact(data, data.size(), &back));
    }
}

TEST(Pcx, MalformedHeadersFail) {
    const std::vector<std::uint8_t> good = PcxEncode(Pattern(8, 8, 5));
    PcxImage image;
    std::string error;
    auto fails = [&](std::vector<std::uint8_t> data) {
        error.clear();
        const bool ok = PcxDecode(data.data(), data.size(), &image, &error);
        return !ok && !error.empty();
    };
    auto bad = good;
    bad[0] = 0x0B; // not a PCX file
    EXPECT_TRUE(fails(bad));
    bad = good;
    bad[2] = 7; // unknown encoding
    EXPECT_TRUE(fails(bad));
    bad = good;
    bad[3] = 4; // 4 bits in one plane: not supported
    EXPECT_TRUE(fails(bad));
    bad = good;
    bad[8] = 0; // xmax below xmin
    bad[4] = 5;
    EXPECT_TRUE(fails(bad));
    bad = good;
    bad[66] = 4; // scan line shorter than the 8 pixels
    bad[67] = 0;
    EXPECT_TRUE(fails(bad));
    bad = good;
    bad[bad.size() - 769] = 0x0D; // no palette marker
    EXPECT_TRUE(fails(bad));
    // A huge image announced by a small file is refused, not allocated.
    bad = good;
    bad[8] = bad[9] = bad[10] = bad[11] = 0x3F; // 16192 x 16192
    bad[66] = 0xC0;
    bad[67] = 0x3F;
    EXPECT_TRUE(fails(bad));
    bad[9] = bad[11] = 0xFF; // beyond the largest size
    EXPECT_TRUE(fails(bad));
    EXPECT_FALSE(PcxDecode(nullptr, 0, &image));
}

TEST(Pcx, RunCountAtTheEndOfTheStreamFails) {
    // One 2-pixel line, 24-bit: the last byte announces a run but has no value.
    std::vector<std::uint8_t> data = Header(8, 3, 2, 1, 2);
    for (std::uint8_t b : {0x01, 0x02, 0x03, 0x04, 0x05, 0xC1})
        data.push_back(b);
    PcxImage image;
    EXPECT_FALSE(DecodeExact(data, data.size(), &image));
    data.push_back(0x06);
    EXPECT_TRUE(DecodeExact(data, data.size(), &image));
    EXPECT_EQ(image.pixels[0], 0x010305u);
    EXPECT_EQ(image.pixels[1], 0x020406u);
}

TEST(Pcx, DamagedFilesNeverCrash) {
    const std::vector<std::uint8_t> good = PcxEncode(Pattern(16, 10, 40));
    std::mt19937 random(5150);
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> data = good;
        const int changes = 1 + int(random() % 6);
        for (int i = 0; i < changes; ++i)
            data[random() % data.size()] = std::uint8_t(random());
        const std::size_t size = random() % 4 == 0 ? random() % data.size() : data.size();
        PcxImage image;
        if (DecodeExact(data, size, &image)) {
            ++decoded;
            EXPECT_EQ(image.pixels.size(), std::size_t(image.width) * std::size_t(image.height));
            EXPECT_GT(image.width, 0);
        }
    }
    EXPECT_GT(decoded, 0); // some damage (inside pixel values) still decodes
}
