#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Small pictures made at start-up for the demo marketplace's image hosts, so that it ships no
// binary files: an image is a palette of up to four colours and one palette index per pixel.

namespace tarvisk::demo {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb> palette;         ///< one to four colours
    std::vector<std::uint8_t> pixels; ///< width * height palette indices, row by row
};

/// A GIF89a file of the image (LZW codes written without compression, valid for every decoder).
std::string EncodeGif(const IndexedImage& image);
/// A PNG file of the image (truecolour, stored deflate blocks).
std::string EncodePng(const IndexedImage& image);

/// A badge: a diamond of `fill` with a `border`, on a transparent-looking white ground.
IndexedImage DiamondBadge(int size, Rgb fill, Rgb border);

} // namespace tarvisk::demo
