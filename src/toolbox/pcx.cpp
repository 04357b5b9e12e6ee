// ZSoft PCX reader and writer, for the toolbar images that Qt cannot read.
#include <fstream>
#include <iterator>
#include <map>

#include "platform/replace.h"
#include "toolbox/toolbox.h"

namespace {

constexpr std::uint8_t kManufacturer = 0x0A;
constexpr std::uint8_t kVersion5 = 5;
constexpr std::uint8_t kRle = 1;
constexpr std::uint8_t kPaletteMarker = 0x0C;
constexpr std::size_t kVgaPaletteSize = 1 + 256 * 3;

std::uint16_t ReadU16(const std::uint8_t *p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}

void PutU16(std::vector<std::uint8_t> &out, std::size_t at, unsigned value) {
    out[at] = std::uint8_t(value & 0xFF);
    out[at + 1] = std::uint8_t((value >> 8) & 0xFF);
}

bool Fail(std::string *error, const char *why) {
    if (error) *error = why;
    return false;
}

// Decodes `out.size()` bytes of the run-length stream in [p, end); runs may
// cross scan lines, as some writers let them.
bool Unpack(const std::uint8_t *p, const std::uint8_t *end, bool rle,
            std::vector<std::uint8_t> &out) {
    std::size_t n = 0;
    while (n < out.size()) {
        if (p >= end) return false;
        std::uint8_t b = *p++;
        std::size_t count = 1;
        if (rle && (b & 0xC0) == 0xC0) {
            count = b & 0x3F;
            if (p >= end) return false;
            b = *p++;
        }
        for (std::size_t i = 0; i < count && n < out.size(); ++i)
            out[n++] = b;
    }
    return true;
}

// Run-length encodes one plane of one scan line.
void PackLine(const std::uint8_t *line, std::size_t length, std::vector<std::uint8_t> &out) {
    std::size_t i = 0;
    while (i < length) {
        std::uint8_t value = line[i];
        std::size_t run = 1;
        while (i + run < length && run < 63 && line[i + run] == value)
            ++run;
        if (run > 1 || (value & 0xC0) == 0xC0) out.push_back(std::uint8_t(0xC0 | run));
        out.push_back(value);
        i += run;
    }
}

} // namespace

bool PcxDecode(const std::uint8_t *data, std::size_t size, PcxImage *image, std::string *error) {
    if (!data || !image) return Fail(error, "no data");
    if (size < std::size_t(kPcxHeaderSize)) return Fail(error, "file shorter than its header");
    const std::uint8_t *h = data;
    if (h[0] != kManufacturer) return Fail(error, "not a PCX file");
    if (h[2] > kRle) return Fail(error, "unknown encoding");
    const int bits = h[3];
    const int xmin = ReadU16(h + 4), ymin = ReadU16(h + 6);
    const int xmax = ReadU16(h + 8), ymax = ReadU16(h + 10);
    const int planes = h[65];
    const std::size_t bytesPerLine = ReadU16(h + 66);
    if (xmax < xmin || ymax < ymin) return Fail(error, "bad image window");
    const int width = xmax - xmin + 1, height = ymax - ymin + 1;
    if (width > kPcxMaxDimension || height > kPcxMaxDimension)
        return Fail(error, "image too large");
    const bool mono = bits == 1 && planes == 1;
    const bool ega = bits == 1 && planes == 4;
    const bool indexed = bits == 8 && planes == 1;
    const bool rgb = bits == 8 && planes == 3;
    if (!mono && !ega && !indexed && !rgb) return Fail(error, "unsupported pixel format");
    if (bytesPerLine * 8 < std::size_t(width) * std::size_t(bits))
        return Fail(error, "scan line shorter than the image");

    const std::uint8_t *end = data + size;
    const std::uint8_t *palette = nullptr;
    if (indexed) {
        if (size < std::size_t(kPcxHeaderSize) + kVgaPaletteSize)
            return Fail(error, "palette missing");
        const std::uint8_t *marker = end - kVgaPaletteSize;
        if (*marker != kPaletteMarker) return Fail(error, "palette missing");
        palette = marker + 1;
        end = marker; // the pixel stream stops at the palette
    }

    const std::size_t lineBytes = bytesPerLine * std::size_t(planes);
    // Each input byte yields at most 63 output bytes: refuse sizes the input
    // cannot possibly hold before allocating for them.
    const std::size_t available = std::size_t(end - (data + kPcxHeaderSize));
    const std::size_t total = lineBytes * std::size_t(height);
    if (total > available * (h[2] == kRle ? 63 : 1)) return Fail(error, "file truncated");
    std::vector<std::uint8_t> raw(total);
    if (!Unpack(data + kPcxHeaderSize, end, h[2] == kRle, raw))
        return Fail(error, "file truncated");

    PcxImage result;
    result.width = width;
    result.height = height;
    result.pixels.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t *line = raw.data() + std::size_t(y) * lineBytes;
        std::uint32_t *row = result.pixels.data() + std::size_t(y) * std::size_t(width);
        for (int x = 0; x < width; ++x) {
            if (indexed) {
                const std::uint8_t *c = palette + line[x] * 3;
                row[x] = (std::uint32_t(c[0]) << 16) | (std::uint32_t(c[1]) << 8) | c[2];
            } else if (rgb) {
                row[x] = (std::uint32_t(line[x]) << 16) |
                         (std::uint32_t(line[bytesPerLine + x]) << 8) | line[2 * bytesPerLine + x];
            } else {
                int index = 0;
                for (int p = 0; p < planes; ++p) {
                    const std::uint8_t byte = line[std::size_t(p) * bytesPerLine + x / 8];
                    index |= ((byte >> (7 - x % 8)) & 1) << p;
                }
                if (mono) {
                    row[x] = index ? 0xFFFFFF : 0x000000;
                } else {
                    const std::uint8_t *c = h + 16 + index * 3;
                    row[x] = (std::uint32_t(c[0]) << 16) | (std::uint32_t(c[1]) << 8) | c[2];
                }
            }
        }
    }
    *image = std::move(result);
    return true;
}

std::vector<std::uint8_t> PcxEncode(const PcxImage &image) {
    if (image.width <= 0 || image.height <= 0 || image.width > kPcxMaxDimension ||
        image.height > kPcxMaxDimension ||
        image.pixels.size() != std::size_t(image.width) * std::size_t(image.height))
        return {};

    std::map<std::uint32_t, int> colours;
    for (std::uint32_t p : image.pixels) {
        if (colours.size() > 256) break;
        colours.emplace(p & 0xFFFFFF, 0);
    }
    const bool indexed = colours.size() <= 256;
    int next = 0;
    for (auto &entry : colours)
        entry.second = next++;

    // Scan lines are padded to an even number of bytes.
    const std::size_t bytesPerLine = std::size_t(image.width + (image.width & 1));
    const int planes = indexed ? 1 : 3;

    std::vector<std::uint8_t> out(kPcxHeaderSize, 0);
    out[0] = kManufacturer;
    out[1] = kVersion5;
    out[2] = kRle;
    out[3] = 8;
    PutU16(out, 8, unsigned(image.width - 1));
    PutU16(out, 10, unsigned(image.height - 1));
    PutU16(out, 12, 96);
    PutU16(out, 14, 96);
    out[65] = std::uint8_t(planes);
    PutU16(out, 66, unsigned(bytesPerLine));
    PutU16(out, 68, 1); // colour palette

    std::vector<std::uint8_t> line(bytesPerLine * std::size_t(planes), 0);
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t *row = image.pixels.data() + std::size_t(y) * std::size_t(image.width);
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = row[x] & 0xFFFFFF;
            if (indexed) {
                line[x] = std::uint8_t(colours[p]);
            } else {
                line[x] = std::uint8_t(p >> 16);
                line[bytesPerLine + x] = std::uint8_t(p >> 8);
                line[2 * bytesPerLine + x] = std::uint8_t(p);
            }
        }
        for (int plane = 0; plane < planes; ++plane)
            PackLine(line.data() + std::size_t(plane) * bytesPerLine, bytesPerLine, out);
    }
    if (indexed) {
        out.push_back(kPaletteMarker);
        std::vector<std::uint8_t> palette(256 * 3, 0);
        for (const auto &[colour, index] : colours) {
            palette[std::size_t(index) * 3] = std::uint8_t(colour >> 16);
            palette[std::size_t(index) * 3 + 1] = std::uint8_t(colour >> 8);
            palette[std::size_t(index) * 3 + 2] = std::uint8_t(colour);
        }
        out.insert(out.end(), palette.begin(), palette.end());
    }
    return out;
}

bool PcxReadFile(const std::string &path, PcxImage *image, std::string *error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail(error, "cannot open file");
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    return PcxDecode(data.data(), data.size(), image, error);
}

bool PcxWriteFile(const std::string &path, const PcxImage &image) {
    const std::vector<std::uint8_t> data = PcxEncode(image);
    if (data.empty()) return false;
    return ReplaceFileText(path, std::string_view(reinterpret_cast<const char *>(data.data()),
                                                  data.size())) == REPLACE_DONE;
}
