// kelvora-cli reach-map: the optimum distance for every target of the plot, as a picture or a CSV.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <png.h>

#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "output.h"
#include "analysis/reachmap.h"
#include "model/types.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

constexpr const char* kUsage =
    "Usage: kelvora-cli reach-map --output FILE.png|FILE.csv\n"
    "Writes, for every target the plot accepts (x and y relative to the base, each -199..199), the\n"
    "distance in pixels of the best pose of the whole search space, computed once for all of them.\n"
    "\n"
    "  --output FILE  required; a name ending in .png: a 399 x 399 PNG picture, white where a pose\n"
    "                 reaches within half a pixel (greyer as the distance grows), orange to dark red\n"
    "                 where none does; ending in .csv: one line x,y,distance per target, top row\n"
    "                 first, LF line ends, no header. Any other name is refused. The file is replaced\n"
    "                 once the whole map is written (through FILE.part and a rename)\n"
    "  --help         this text\n"
    "\n"
    "Exit status: 0 done, 1 the file could not be written (its name and the reason on stderr), 2 bad\n"
    "arguments.\n";

/// Above this optimum distance a target counts as out of reach (the window's grey wash).
constexpr double kReachLimit = 0.5;

bool EndsWith(const std::string& text, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) return false;
    return true;
}

// Replaces the output's contents with bytes (through a temporary file and a rename, so that no half
// file is left); on failure names the file and the reason on stderr and returns 1.
int WriteFile(OutputFile& file, const char* data, std::size_t size) {
    if (WriteWhole(file, std::string(data, size))) return 0;
    std::fprintf(stderr, "kelvora-cli reach-map: %s: write failed: %s\n", Printable(file.path).c_str(),
                 std::strerror(errno));
    Abandon(file);
    return 1;
}

int WriteCsv(const ReachMap& map, OutputFile& file) {
    std::string text;
    text.reserve(kReachMapSide * kReachMapSide * 32);
    char buffer[64];
    for (int y = kMaxTargetOffset; y >= -kMaxTargetOffset; --y) {
        for (int x = -kMaxTargetOffset; x <= kMaxTargetOffset; ++x) {
            char* p = std::to_chars(buffer, buffer + sizeof buffer, x).ptr;
            *p++ = ',';
            p = std::to_chars(p, buffer + sizeof buffer, y).ptr;
            *p++ = ',';
            p = std::to_chars(p, buffer + sizeof buffer, map.At(x, y)).ptr;
            *p++ = '\n';
            text.append(buffer, p);
        }
    }
    return WriteFile(file, text.data(), text.size());
}

struct Rgb {
    std::uint8_t r, g, b;
};
static_assert(sizeof(Rgb) == 3, "a row of Rgb is a PNG row of 8-bit RGB");

// Grey from white (on the target) to light grey (half a pixel off); beyond, orange darkening to
// deep red as the distance grows toward the plot's far corners.
Rgb Colour(double distance) {
    if (distance <= kReachLimit) {
        const auto g = static_cast<std::uint8_t>(255 - std::lround(distance / kReachLimit * 80.0));
        return {g, g, g};
    }
    const double share = std::min(1.0, std::log1p(distance - kReachLimit) / std::log1p(100.0));
    return {static_cast<std::uint8_t>(255 - static_cast<int>(share * 115)),
            static_cast<std::uint8_t>(150 - static_cast<int>(share * 130)),
            static_cast<std::uint8_t>(40 - static_cast<int>(share * 30))};
}

void AppendToString(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    try {
        out->append(reinterpret_cast<const char*>(data), size);
    } catch (...) {
        png_error(png, "out of memory");  // never let an exception cross libpng's C frames
    }
}

void FlushNothing(png_structp) {}

// Encodes 8-bit RGB rows (top first) as a PNG in memory: no colour-space chunks, 100 dots per inch
// as the picture has always said. Only trivially destructible objects live in this frame, so
// libpng's longjmp on an error skips no destructor.
bool EncodePng(const std::vector<png_bytep>& rows, int side, std::string* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, AppendToString, FlushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(side), static_cast<png_uint_32>(side), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, 3937, 3937, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

int WritePng(const ReachMap& map, OutputFile& file) {
    std::vector<Rgb> pixels(static_cast<std::size_t>(kReachMapSide) * kReachMapSide);
    std::vector<png_bytep> rows(kReachMapSide);
    for (int row = 0; row < kReachMapSide; ++row) {
        Rgb* line = &pixels[static_cast<std::size_t>(row) * kReachMapSide];
        for (int col = 0; col < kReachMapSide; ++col) line[col] = Colour(map.distance[row * kReachMapSide + col]);
        rows[row] = reinterpret_cast<png_bytep>(line);
    }
    // Encoded in memory, so that the file's own errors are reported with their reason.
    std::string png;
    if (!EncodePng(rows, kReachMapSide, &png)) {
        std::fprintf(stderr, "kelvora-cli reach-map: %s: the PNG picture could not be encoded\n",
                     Printable(file.path).c_str());
        Abandon(file);
        return 1;
    }
    return WriteFile(file, png.data(), png.size());
}

}  // namespace

int kelvora::cli::ReachMapCommand(const std::vector<std::string>& args) {
    std::string output;
    bool haveOutput = false;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return FinishStdout();
        }
        if (arg == "--output" || arg.rfind("--output=", 0) == 0) {
            if (const std::string twice = GivenTwice(seen, "--output"); !twice.empty()) {
                std::fprintf(stderr, "kelvora-cli reach-map: %s\n", twice.c_str());
                return 2;
            }
        }
        if (arg == "--output") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "kelvora-cli reach-map: --output needs a value\n");
                return 2;
            }
            output = args[++i];
            haveOutput = true;
        } else if (arg.rfind("--output=", 0) == 0) {
            output = arg.substr(9);
            haveOutput = true;
        } else {
            std::fprintf(stderr, "kelvora-cli reach-map: %s\n",
                         UnknownArgument(arg, {"--output", "--help"}, "reach-map --help").c_str());
            return 2;
        }
    }
    if (!haveOutput || output.empty()) {
        std::fprintf(stderr, "kelvora-cli reach-map: --output FILE is required (a .csv or a .png name)\n");
        return 2;
    }
    if (!EndsWith(output, ".png") && !EndsWith(output, ".csv")) {
        std::fprintf(stderr, "kelvora-cli reach-map: --output: %s does not end in .png or .csv\n", Quoted(output).c_str());
        return 2;
    }
    // Held (locked) before the work, so that a second reach-map on the same file is refused at once.
    OutputFile file;
    if (const std::string error = OpenOutput(output, file); !error.empty()) {
        std::fprintf(stderr, "kelvora-cli reach-map: %s\n", error.c_str());
        return 1;
    }
    const auto map = ComputeReachMap(kBaseX, kBaseY);
    return EndsWith(output, ".csv") ? WriteCsv(*map, file) : WritePng(*map, file);
}
