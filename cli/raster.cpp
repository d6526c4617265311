// Pictures for the command line: pixels, labels and PNG.

#include "raster.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

namespace kelvora::cli {

Raster::Raster(int w, int h, Rgb fill)
    : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

void Raster::Blend(int x, int y, Rgb colour, double coverage) {
    if (x < 0 || y < 0 || x >= width || y >= height || !(coverage > 0.0)) return;
    const double a = std::min(coverage, 1.0);
    Rgb& p = At(x, y);
    const auto mix = [a](std::uint8_t under, std::uint8_t over) {
        return static_cast<std::uint8_t>(std::lround(under + (over - under) * a));
    };
    p = {mix(p.r, colour.r), mix(p.g, colour.g), mix(p.b, colour.b)};
}

void Raster::Fill(int x, int y, int w, int h, Rgb colour) {
    for (int row = std::max(y, 0); row < std::min(y + h, height); ++row)
        for (int col = std::max(x, 0); col < std::min(x + w, width); ++col) At(col, row) = colour;
}

namespace {

void AppendToString(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    bool appended = true;
    try {
        out->append(reinterpret_cast<const char*>(data), size);
    } catch (...) {
        appended = false;  // never let an exception cross libpng's C frames
    }
    // Outside the handler: png_error jumps away, which must not leave a caught exception behind.
    if (!appended) png_error(png, "out of memory");
}

void FlushNothing(png_structp) {}

// Only trivially destructible objects live in this frame, so libpng's longjmp on an error skips no
// destructor.
bool EncodeRows(png_bytepp rows, int width, int height, unsigned dotsPerMetre, std::string* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, AppendToString, FlushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, dotsPerMetre, dotsPerMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The next code point of UTF-8 text, advancing pos; a malformed byte reads as U+FFFD.
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos++);
    if (lead < 0x80) return lead;
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || pos + extra > text.size()) return U'\uFFFD';
    char32_t cp = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        if ((byte(pos) & 0xC0) != 0x80) return U'\uFFFD';
        cp = (cp << 6) | (byte(pos++) & 0x3F);
    }
    return cp;
}

// Light hinting: glyphs keep their shapes and whole-pixel advances, so a label measures what it draws.
constexpr FT_Int32 kLoadFlags = FT_LOAD_TARGET_LIGHT;

// The file and face index fontconfig picks for a pattern, or an empty file name and the reason.
std::string FindFontFile(const char* pattern, int* index, std::string* error) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) {
        *error = "fontconfig could not load its configuration";
        return {};
    }
    std::string file;
    FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (wanted && FcConfigSubstitute(config, wanted, FcMatchPattern)) {
        FcDefaultSubstitute(wanted);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(config, wanted, &result)) {
            FcChar8* path = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
                file = reinterpret_cast<const char*>(path);
            if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
            FcPatternDestroy(match);
        }
    }
    if (wanted) FcPatternDestroy(wanted);
    FcConfigDestroy(config);
    FcFini();  // fontconfig's caches, so that nothing of it outlives the lookup
    if (file.empty()) *error = std::string("no font found for '") + pattern + "' (fontconfig knows no fonts)";
    return file;
}

}  // namespace

bool EncodePng(const Raster& raster, std::string* out, unsigned dotsPerMetre) {
    std::vector<png_bytep> rows(static_cast<std::size_t>(raster.height));
    for (int y = 0; y < raster.height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(const_cast<Rgb*>(&raster.At(0, y)));
    return EncodeRows(rows.data(), raster.width, raster.height, dotsPerMetre, out);
}

struct Typeface::Font {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Font() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

Typeface::Typeface(const char* pattern, int pixelSize) {
    int index = 0;
    const std::string file = FindFontFile(pattern, &index, &error_);
    if (file.empty()) return;
    auto font = std::make_unique<Font>();
    if (FT_Init_FreeType(&font->library) != 0) {
        error_ = "FreeType could not start";
        return;
    }
    if (FT_New_Face(font->library, file.c_str(), index, &font->face) != 0) {
        error_ = file + ": FreeType cannot read this font";
        return;
    }
    if (FT_Set_Pixel_Sizes(font->face, 0, static_cast<FT_UInt>(std::clamp(pixelSize, 6, 200))) != 0) {
        error_ = file + ": the font has no size " + std::to_string(pixelSize) + " px";
        return;
    }
    font_ = std::move(font);
}

Typeface::~Typeface() = default;

int Typeface::Width(std::string_view text) const {
    if (!font_) return 0;
    FT_Pos advance = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        if (FT_Load_Char(font_->face, NextCodePoint(text, pos), kLoadFlags) == 0)
            advance += font_->face->glyph->advance.x;
    }
    return static_cast<int>((advance + 32) >> 6);
}

void Typeface::Draw(Raster& raster, std::string_view text, int x, int y, TextAlign align, Rgb colour,
                    bool upward) const {
    if (!font_) return;
    const int width = Width(text);
    const int anchor = align == TextAlign::start ? 0 : align == TextAlign::middle ? width / 2 : width;
    // Each glyph's coverage goes straight to the raster: (along, across) are pixels along the text
    // from its start and below its baseline, which upward text turns a quarter to the left.
    const auto plot = [&](int along, int across, unsigned char coverage) {
        if (upward)
            raster.Blend(x + across, y + anchor - along, colour, coverage / 255.0);
        else
            raster.Blend(x - anchor + along, y + across, colour, coverage / 255.0);
    };
    FT_Pos pen = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        if (FT_Load_Char(font_->face, NextCodePoint(text, pos), kLoadFlags | FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot glyph = font_->face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            const int left = static_cast<int>((pen + 32) >> 6) + glyph->bitmap_left;
            for (unsigned row = 0; row < bitmap.rows; ++row)
                for (unsigned col = 0; col < bitmap.width; ++col)
                    if (const unsigned char c = bitmap.buffer[static_cast<int>(row) * bitmap.pitch + static_cast<int>(col)])
                        plot(left + static_cast<int>(col), static_cast<int>(row) - glyph->bitmap_top, c);
        }
        pen += glyph->advance.x;
    }
}

}  // namespace kelvora::cli
