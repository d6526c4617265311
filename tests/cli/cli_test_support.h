#pragma once
// What the command-line process tests share: a file's bytes and a PNG picture's decoded pixels.

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kelvora::clitest {

// The whole file, or "" if it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A picture's size and its pixels as 8-bit RGB, row by row: compared decoded, since the encoder
// may pack the same picture differently.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;  ///< empty, and a test failure, when path is no PNG
};

inline Pixels DecodePng(const std::filesystem::path& path) {
    const std::string file = ReadFile(path);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Pixels pixels;
    if (png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        image.format = PNG_FORMAT_RGB;
        pixels.rgb.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, pixels.rgb.data(), 0, nullptr)) pixels.rgb.clear();
    }
    EXPECT_FALSE(pixels.rgb.empty()) << path << ": " << image.message;
    pixels.width = static_cast<int>(image.width);
    pixels.height = static_cast<int>(image.height);
    return pixels;
}

}  // namespace kelvora::clitest
