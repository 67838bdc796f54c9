#include "demo/demo_images.h"

#include <algorithm>
#include <cstdlib>

namespace tarvisk::demo {

namespace {

void putLe16(std::string& out, int value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void putBe32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

/// LSB-first bit packing of variable-width codes, as GIF's LZW data wants.
class BitWriter {
public:
    void put(unsigned code, int width) {
        m_buffer |= code << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            m_bytes.push_back(static_cast<char>(m_buffer & 0xFF));
            m_buffer >>= 8;
            m_bits -= 8;
        }
    }
    std::string finish() {
        if (m_bits > 0) {
            m_bytes.push_back(static_cast<char>(m_buffer & 0xFF));
        }
        return m_bytes;
    }

private:
    std::string m_bytes;
    unsigned m_buffer = 0;
    int m_bits = 0;
};

std::uint32_t crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= static_cast<std::uint8_t>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return crc ^ 0xFFFFFFFFu;
}

std::uint32_t adler32(const std::string& bytes) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (const char byte : bytes) {
        a = (a + static_cast<std::uint8_t>(byte)) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

void putPngChunk(std::string& out, const char* type, const std::string& data) {
    putBe32(out, static_cast<std::uint32_t>(data.size()));
    const std::string typed = type + data;
    out += typed;
    putBe32(out, crc32(typed));
}

} // namespace

std::string EncodeGif(const IndexedImage& image) {
    // A two-bit palette; after every clear code the first code adds no table entry, so sending a
    // clear code before each pixel keeps every code three bits wide without any compression logic.
    constexpr int kMinCodeSize = 2;
    constexpr unsigned kClear = 1u << kMinCodeSize;
    constexpr unsigned kEnd = kClear + 1;
    constexpr int kCodeWidth = kMinCodeSize + 1;

    std::string out = "GIF89a";
    putLe16(out, image.width);
    putLe16(out, image.height);
    out.push_back(static_cast<char>(0x80 | (1 << 4) | 1)); // global table of 4 colours
    out.push_back(0);
    out.push_back(0);
    for (std::size_t i = 0; i < 4; ++i) {
        const Rgb colour = i < image.palette.size() ? image.palette[i] : Rgb{};
        out.push_back(static_cast<char>(colour.r));
        out.push_back(static_cast<char>(colour.g));
        out.push_back(static_cast<char>(colour.b));
    }
    out.push_back(0x2C);
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, image.width);
    putLe16(out, image.height);
    out.push_back(0);
    out.push_back(kMinCodeSize);

    BitWriter codes;
    for (const std::uint8_t pixel : image.pixels) {
        codes.put(kClear, kCodeWidth);
        codes.put(pixel & 3u, kCodeWidth);
    }
    codes.put(kEnd, kCodeWidth);
    const std::string data = codes.finish();
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t length = std::min<std::size_t>(255, data.size() - at);
        out.push_back(static_cast<char>(length));
        out.append(data, at, length);
    }
    out.push_back(0);
    out.push_back(0x3B);
    return out;
}

std::string EncodePng(const IndexedImage& image) {
    std::string header;
    putBe32(header, static_cast<std::uint32_t>(image.width));
    putBe32(header, static_cast<std::uint32_t>(image.height));
    header += std::string{8, 2, 0, 0, 0}; // 8 bits, truecolour, deflate, no filter, no interlace

    std::string raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0); // filter type none
        for (int x = 0; x < image.width; ++x) {
            const Rgb colour = image.palette.at(image.pixels.at(static_cast<std::size_t>(y * image.width + x)));
            raw.push_back(static_cast<char>(colour.r));
            raw.push_back(static_cast<char>(colour.g));
            raw.push_back(static_cast<char>(colour.b));
        }
    }
    std::string zlib = "\x78\x01";
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
        const bool last = at + length == raw.size();
        zlib.push_back(last ? 1 : 0);
        putLe16(zlib, static_cast<int>(length));
        putLe16(zlib, static_cast<int>(~length & 0xFFFF));
        zlib.append(raw, at, length);
        at += length;
    } while (at < raw.size());
    putBe32(zlib, adler32(raw));

    std::string out = "\x89PNG\r\n\x1A\n";
    putPngChunk(out, "IHDR", header);
    putPngChunk(out, "IDAT", zlib);
    putPngChunk(out, "IEND", {});
    return out;
}

IndexedImage DiamondBadge(int size, Rgb fill, Rgb border) {
    IndexedImage image{size, size, {{255, 255, 255}, border, fill}, {}};
    image.pixels.resize(static_cast<std::size_t>(size * size));
    const int centre = size / 2;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int distance = std::abs(x - centre) + std::abs(y - centre);
            std::uint8_t index = 0;
            if (distance < centre - 1) {
                index = 2;
            } else if (distance <= centre) {
                index = 1;
            }
            image.pixels[static_cast<std::size_t>(y * size + x)] = index;
        }
    }
    return image;
}

} // namespace tarvisk::demo
