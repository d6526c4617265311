// kelvora-cli reach-map: the optimum distance for every target of the plot, as a picture or a CSV.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "output.h"
#include "raster.h"
#include "landscape_args.h"
#include "reachmap_picture.h"
#include "analysis/reachmap.h"
#include "model/types.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

/// The figure's font: fontconfig's best match, any sans-serif where DejaVu Sans is missing.
constexpr const char* kFigureFont = "DejaVu Sans";

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
    const std::string reason = WriteWhole(file, std::string(data, size));
    if (reason.empty()) return 0;
    std::fprintf(stderr, "kelvora-cli reach-map: %s: write failed: %s\n", Printable(file.path).c_str(),
                 Printable(reason, SIZE_MAX).c_str());
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

// Encodes the picture and replaces the output with it; a failure is named on stderr (1).
int WritePng(const Raster& picture, OutputFile& file) {
    // Encoded in memory, so that the file's own errors are reported with their reason.
    std::string png;
    if (!EncodePng(picture, &png)) {
        std::fprintf(stderr, "kelvora-cli reach-map: %s: the PNG picture could not be encoded\n",
                     Printable(file.path).c_str());
        Abandon(file);
        return 1;
    }
    return WriteFile(file, png.data(), png.size());
}

}  // namespace

int kelvora::cli::ReachMapCommand(const std::vector<std::string>& args) {
    ReachMapArgs a;
    const FlagTable table = ReachMapTable(a);
    const FlagParse parsed = ParseFlags(table, args);
    if (!parsed.ok()) return Refuse("reach-map", parsed.error);
    if (parsed.stopped) {
        std::fputs(HelpText(table).c_str(), stdout);
        return FinishStdout();
    }
    const std::string& output = a.output;
    const bool haveOutput = a.haveOutput, plain = a.plain;
    if (!haveOutput || output.empty()) {
        std::fprintf(stderr, "kelvora-cli reach-map: --output FILE is required (a .csv or a .png name)\n");
        return 2;
    }
    if (!EndsWith(output, ".png") && !EndsWith(output, ".csv")) {
        std::fprintf(stderr, "kelvora-cli reach-map: --output: %s does not end in .png or .csv\n", Quoted(output).c_str());
        return 2;
    }
    const bool csv = EndsWith(output, ".csv");
    if (csv && plain) {
        std::fprintf(stderr, "kelvora-cli reach-map: --plain applies to a .png picture, not to %s\n",
                     Quoted(output).c_str());
        return 2;
    }
    // The fonts before anything is written, so that a machine without them is told at once.
    std::optional<Typeface> labels, titles;
    if (!csv && !plain) {
        labels.emplace(kFigureFont, 12);
        titles.emplace(kFigureFont, 13);
        if (const std::string& error = !labels->error().empty() ? labels->error() : titles->error(); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli reach-map: cannot label the figure: %s; --plain writes the map alone\n",
                         error.c_str());
            return 1;
        }
    }
    // Held (locked) before the work, so that a second reach-map on the same file is refused at once.
    OutputFile file;
    if (const std::string error = OpenOutput(output, file); !error.empty()) {
        std::fprintf(stderr, "kelvora-cli reach-map: %s\n", error.c_str());
        return OpenFailureStatus(file);
    }
    const auto map = ComputeReachMap(kBaseX, kBaseY);
    if (csv) return WriteCsv(*map, file);
    return WritePng(plain ? DrawReachMap(*map) : DrawReachFigure(*map, {*labels, *titles}), file);
}
