#include "options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace kelvora::cli {
namespace {

std::string Quote(const std::string& text) {
    std::string quoted(1, '\'');
    quoted += Printable(text);
    quoted += '\'';
    return quoted;
}

// Length of the well-formed UTF-8 sequence at text[at] and its code point, or 0.
std::size_t Utf8Sequence(const std::string& text, std::size_t at, char32_t& code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1Fu, min = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0Fu, min = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07u, min = 0x10000;
    else return 0;
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (byte(at + i) & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// Characters that are well-formed but show nothing or reorder the line around them.
bool Invisible(char32_t code) {
    return code < 0xA0 || code == 0xAD || (code >= 0x200B && code <= 0x200F) || (code >= 0x2028 && code <= 0x202E) ||
           (code >= 0x2060 && code <= 0x206F) || code == 0xFEFF;
}

// "low..high", the numbers as printf's %g writes them ("0.001..1").
std::string NumberRange(double low, double high) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g..%g", low, high);
    return buffer;
}

std::string IntegerRange(long long low, long long high) { return std::to_string(low) + ".." + std::to_string(high); }

std::string Bad(const std::string& flag, const std::string& value, const std::string& expected) {
    return flag + ": " + Quote(value) + " is not " + expected;
}

bool IntegerIn(const std::string& flag, const std::string& value, long long low, long long high,
               long long& out, std::string& error) {
    const auto v = ParseInteger(value);
    if (!v || *v < low || *v > high) {
        error = Bad(flag, value, "an integer in " + IntegerRange(low, high));
        return false;
    }
    out = *v;
    return true;
}

bool DoubleIn(const std::string& flag, const std::string& value, double low, double high, double& out,
              std::string& error) {
    const auto v = ParseFiniteDouble(value);
    if (!v || !(*v >= low && *v <= high)) {
        error = Bad(flag, value, "a number in " + NumberRange(low, high));
        return false;
    }
    out = *v;
    return true;
}

bool Target(const std::string& value, CliOptions& options, std::string& error) {
    const auto comma = value.find(',');
    const auto x = comma == std::string::npos ? std::nullopt : ParseInteger(value.substr(0, comma));
    const auto y = comma == std::string::npos ? std::nullopt : ParseInteger(value.substr(comma + 1));
    const auto inside = [](const std::optional<long long>& v) {
        return v && *v >= -kMaxTargetOffset && *v <= kMaxTargetOffset;
    };
    if (!inside(x) || !inside(y)) {
        error = Bad("--target", value, "X,Y with integers X and Y in " + IntegerRange(-kMaxTargetOffset, kMaxTargetOffset));
        return false;
    }
    options.targetX = static_cast<int>(*x);
    options.targetY = static_cast<int>(*y);
    return true;
}

}  // namespace

std::string Printable(const std::string& text, std::size_t limit) {
    // Pieces of the text as shown, each with the columns it takes.
    std::vector<std::pair<std::string, std::size_t>> pieces;
    std::size_t width = 0;
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        char32_t code = 0;
        std::string piece;
        std::size_t length = 1, columns = 0;
        if (c == '\\') {
            piece = "\\\\";
        } else if (c == '\n') {
            piece = "\\n";
        } else if (c == '\t') {
            piece = "\\t";
        } else if (c == '\r') {
            piece = "\\r";
        } else if (c >= 0x20 && c < 0x7F) {
            piece.assign(1, static_cast<char>(c));
        } else if (c >= 0x80 && (length = Utf8Sequence(text, at, code)) != 0) {
            if (Invisible(code)) {
                char escaped[16];
                std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(code));
                piece = escaped;
            } else {
                piece = text.substr(at, length);
                columns = 1;
            }
        } else {
            length = 1;
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            piece = escaped;
        }
        if (columns == 0) columns = piece.size();
        pieces.emplace_back(std::move(piece), columns);
        width += columns;
        at += length;
    }
    std::string out;
    if (width <= limit) {
        for (const auto& piece : pieces) out += piece.first;
        return out;
    }
    std::size_t shown = 0;
    for (const auto& [piece, columns] : pieces) {
        if (shown + columns + 3 > limit) break;
        out += piece;
        shown += columns;
    }
    return out += "...";
}

std::optional<long long> ParseInteger(const std::string& text) {
    long long v = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, v);
    if (text.empty() || ec != std::errc() || end != last) return std::nullopt;
    return v;
}

std::optional<double> ParseFiniteDouble(const std::string& text) {
    double v = 0.0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (text.empty() || ec != std::errc() || end != last || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::pair<std::string, std::optional<std::string>> SplitFlag(const std::string& argument) {
    const auto eq = argument.find('=');
    if (argument.rfind("--", 0) != 0 || eq == std::string::npos) return {argument, std::nullopt};
    return {argument.substr(0, eq), argument.substr(eq + 1)};
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& o = result.options;
    std::string& error = result.error;
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        auto [flag, value] = SplitFlag(args[i]);
        const bool isSwitch = flag == "--json" || flag == "--quiet" || flag == "--help" || flag == "-h" ||
                              flag == "--version";
        if (isSwitch) {
            if (value) {
                error = flag + " takes no value";
                break;
            }
            if (flag == "--json") o.json = true;
            if (flag == "--quiet") o.quiet = true;
            if (flag == "--help" || flag == "-h") o.help = true;
            if (flag == "--version") o.version = true;
            continue;
        }
        const bool known = flag == "--population" || flag == "--generations" || flag == "--crossover" ||
                           flag == "--mutation" || flag == "--target" || flag == "--seed" || flag == "--output-dir" ||
                           flag == "--flush";
        if (!known) {
            error = "unknown argument " + Quote(args[i]) + " (see --help)";
            break;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = flag + " needs a value";
                break;
            }
            value = args[++i];
        }
        long long n = 0;
        if (flag == "--population") {
            if (IntegerIn(flag, *value, kMinPopulation, kMaxPopulation, n, error)) o.params.populationSize = static_cast<int>(n);
        } else if (flag == "--generations") {
            if (IntegerIn(flag, *value, kMinGenerations, kMaxGenerations, n, error)) o.params.generationCount = static_cast<int>(n);
        } else if (flag == "--crossover") {
            DoubleIn(flag, *value, kMinCrossoverRate, kMaxCrossoverRate, o.params.crossoverRate, error);
        } else if (flag == "--mutation") {
            DoubleIn(flag, *value, kMinMutationProbability, kMaxMutationProbability, o.params.mutationProbability,
                     error);
        } else if (flag == "--target") {
            Target(*value, o, error);
        } else if (flag == "--seed") {
            if (IntegerIn(flag, *value, 0, std::numeric_limits<std::uint32_t>::max(), n, error))
                o.seed = static_cast<std::uint32_t>(n);
        } else if (flag == "--flush") {
            if (*value == "generation") o.flush = FlushMode::generation;
            else if (*value == "line") o.flush = FlushMode::line;
            else error = Bad(flag, *value, "'generation' or 'line'");
        } else if (flag == "--output-dir") {
            if (value->empty()) error = "--output-dir: the directory name is empty";
            o.outputDirectory = *value;
        }
    }
    return result;
}

std::string UsageText() {
    const CliOptions defaults;
    const SolverParams& d = defaults.params;
    char text[3072];
    std::snprintf(
        text, sizeof text,
        "Usage: kelvora-cli [options]\n"
        "       kelvora-cli inspect FILE [--json]\n"
        "       kelvora-cli optimum --target X,Y [--json]\n"
        "       kelvora-cli reach-map --output FILE\n"
        "Solves the inverse kinematics of the three-link arm (links %g, %g, %g px) for a target by a\n"
        "genetic algorithm and writes results.csv and fitness.csv. The subcommand optimum prints the best\n"
        "of all whole-degree poses for a target; reach-map writes the best distance for every target of\n"
        "the plot as a PNG picture or, for a name ending in .csv, as x,y,distance lines (see their --help).\n"
        "\n"
        "  --population N     population size, %s (default %d)\n"
        "  --generations G    generation count, %s (default %d)\n"
        "  --crossover R      crossover rate, %s (default %g)\n"
        "  --mutation P       mutation probability per gene, %s (default %g); the draw is compared\n"
        "                     with <=, so even 0 changes about one gene in 32768, as it always has\n"
        "  --target X,Y       target relative to the base, x right, y up, each %s (default %d,%d)\n"
        "  --seed S           generator seed, 0..%u (default: a random seed, printed)\n"
        "  --output-dir DIR   where the two CSV files go (default: the current directory)\n"
        "  --flush MODE       generation: a generation's lines reach results.csv in one write at its\n"
        "                     end (default, fast); line: each line as soon as it is complete; same bytes\n"
        "  --json             print the outcome as one JSON object\n"
        "  --quiet            no progress bar and no summary; errors only\n"
        "  --help             this text\n"
        "  --version          the program's version\n"
        "\n"
        "inspect checks a results.csv line for line and prints its population, generations, whether\n"
        "it is complete, the target it was run for, the elite and the optimum for that target; a\n"
        "malformed file gets exit status 2 and its first bad line on stderr.\n"
        "\n"
        "Ctrl-C or SIGTERM ends the run after the current generation with both files whole; a second\n"
        "signal ends it at once.\n"
        "\n"
        "Subcommands: kelvora-cli sweep --help, kelvora-cli sweep-merge --help.\n"
        "\n"
        "Exit status: 0 done; 1 a result file could not be written, was deleted during the run, or is\n"
        "being written by another run (then nothing runs), or standard output failed; 2 bad arguments;\n"
        "130 or 143 stopped by SIGINT or SIGTERM.\n",
        kLink1, kLink2, kLink3, IntegerRange(kMinPopulation, kMaxPopulation).c_str(), d.populationSize,
        IntegerRange(kMinGenerations, kMaxGenerations).c_str(), d.generationCount,
        NumberRange(kMinCrossoverRate, kMaxCrossoverRate).c_str(), d.crossoverRate,
        NumberRange(kMinMutationProbability, kMaxMutationProbability).c_str(), d.mutationProbability,
        IntegerRange(-kMaxTargetOffset, kMaxTargetOffset).c_str(), defaults.targetX, defaults.targetY,
        std::numeric_limits<std::uint32_t>::max());
    return text;
}

}  // namespace kelvora::cli
