// kelvora-cli reach-map: the optimum distance for every target of the plot, as a picture or a CSV.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include "commands.h"
#include "output.h"
#include "analysis/reachmap.h"
#include "model/types.h"

using namespace kelvora;

namespace {

constexpr const char* kUsage =
    "Usage: kelvora-cli reach-map --output FILE\n"
    "Writes, for every target the plot accepts (x and y relative to the base, each -199..199), the\n"
    "distance of the best pose of the whole search space. FILE ending in .csv: one line x,y,distance\n"
    "per pixel, top row first; any other name: a PNG picture, white where a pose reaches within half\n"
    "a pixel (greyer as the distance grows), orange to dark red where none does.\n"
    "\n"
    "Exit status: 0 done, 1 the file could not be written, 2 bad arguments.\n";

/// Above this optimum distance a target counts as out of reach (the window's grey wash).
constexpr double kReachLimit = 0.5;

bool EndsWith(const std::string& text, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    if (text.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) return false;
    return true;
}

// Writes bytes to path; on failure names the file and the reason on stderr and returns 1.
int WriteFile(const std::string& path, const char* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "kelvora-cli reach-map: %s: cannot open: %s\n", path.c_str(), std::strerror(errno));
        return 1;
    }
    const bool written = std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "kelvora-cli reach-map: %s: write failed: %s\n", path.c_str(),
                     std::strerror(written ? errno : writeError));
        return 1;
    }
    return 0;
}

int WriteCsv(const ReachMap& map, const std::string& path) {
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
    return WriteFile(path, text.data(), text.size());
}

// Grey from white (on the target) to light grey (half a pixel off); beyond, orange darkening to
// deep red as the distance grows toward the plot's far corners.
QRgb Colour(double distance) {
    if (distance <= kReachLimit) {
        const int g = 255 - static_cast<int>(std::lround(distance / kReachLimit * 80.0));
        return qRgb(g, g, g);
    }
    const double share = std::min(1.0, std::log1p(distance - kReachLimit) / std::log1p(100.0));
    return qRgb(255 - static_cast<int>(share * 115), 150 - static_cast<int>(share * 130), 40 - static_cast<int>(share * 30));
}

int WritePng(const ReachMap& map, const std::string& path) {
    QImage image(kReachMapSide, kReachMapSide, QImage::Format_RGB32);
    for (int row = 0; row < kReachMapSide; ++row) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int col = 0; col < kReachMapSide; ++col) line[col] = Colour(map.distance[row * kReachMapSide + col]);
    }
    // Encoded in memory, so that the file's own errors are reported with their reason.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        std::fprintf(stderr, "kelvora-cli reach-map: %s: the PNG picture could not be encoded\n", path.c_str());
        return 1;
    }
    return WriteFile(path, png.constData(), static_cast<std::size_t>(png.size()));
}

}  // namespace

int kelvora::cli::ReachMapCommand(const std::vector<std::string>& args) {
    std::string output;
    bool haveOutput = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return FinishStdout();
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
            std::fprintf(stderr, "kelvora-cli reach-map: unknown argument '%s' (see --help)\n", arg.c_str());
            return 2;
        }
    }
    if (!haveOutput || output.empty()) {
        std::fprintf(stderr, "kelvora-cli reach-map: --output FILE is required (a .csv or a .png name)\n");
        return 2;
    }
    const auto map = ComputeReachMap(kBaseX, kBaseY);
    return EndsWith(output, ".csv") ? WriteCsv(*map, output) : WritePng(*map, output);
}
