#pragma once
// Pictures for the command line: an RGB pixel buffer, labels drawn on it with a system font (found
// by fontconfig, rendered by FreeType), and its PNG encoding (libpng). No Qt, so kelvora-cli draws
// its figures on machines without a desktop.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::cli {

/// An 8-bit sRGB colour.
struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};
static_assert(sizeof(Rgb) == 3, "a row of Rgb is a PNG row of 8-bit RGB");

/// A picture: width x height pixels, row-major from the top-left corner.
struct Raster {
    Raster(int width, int height, Rgb fill);

    int width;
    int height;
    std::vector<Rgb> pixels;

    /// The pixel at column x (0..width-1) and row y (0..height-1).
    Rgb& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    const Rgb& At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }

    /// Mixes colour into pixel (x, y) by coverage 0..1 (1 replaces it); pixels outside the picture
    /// are left alone, so callers may draw across its edges.
    void Blend(int x, int y, Rgb colour, double coverage);

    /// Fills the rectangle of columns x..x+w-1 and rows y..y+h-1 (clipped to the picture).
    void Fill(int x, int y, int w, int h, Rgb colour);
};

/// Encodes the picture as a PNG in memory: 8-bit RGB, no colour-space chunks, a pHYs chunk of
/// dotsPerMetre (3937 is 100 dots per inch). Returns false if libpng fails.
bool EncodePng(const Raster& raster, std::string* out, unsigned dotsPerMetre = 3937);

/// Where a label's anchor lies along its text.
enum class TextAlign { start, middle, end };

/// A font for labels, at one size in pixels. Text is UTF-8; characters the font lacks are drawn as
/// its missing-glyph box.
class Typeface {
public:
    /// Loads the font fontconfig picks for `pattern` (a fontconfig name such as "DejaVu Sans" or
    /// "sans-serif:bold") at pixelSize px (6..200). On failure error() says why and nothing draws.
    Typeface(const char* pattern, int pixelSize);
    ~Typeface();
    Typeface(const Typeface&) = delete;
    Typeface& operator=(const Typeface&) = delete;

    /// Empty when the font is loaded, else the reason it is not.
    const std::string& error() const { return error_; }

    /// The advance width of text in pixels.
    int Width(std::string_view text) const;

    /// Draws text on its baseline through (x, y), anchored there by `align`, in colour, with the
    /// font's anti-aliasing. Upward text reads from bottom to top: its baseline is the column x,
    /// the glyphs standing to its left, and the anchor is on that column at row y.
    void Draw(Raster& raster, std::string_view text, int x, int y, TextAlign align, Rgb colour,
              bool upward = false) const;

private:
    struct Font;
    std::unique_ptr<Font> font_;
    std::string error_;
};

}  // namespace kelvora::cli
