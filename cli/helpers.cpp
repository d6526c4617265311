#include "helpers.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kelvora::cli {
namespace {

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

// Levenshtein distance: the fewest single-byte insertions, deletions and changes from a to b.
std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string UnknownArgument(const std::string& argument, std::initializer_list<const char*> known,
                            const std::string& help) {
    const std::string flag = argument.substr(0, argument.find('='));
    const char* closest = nullptr;
    std::size_t best = 3;  // more than two edits is no slip of the keyboard
    if (flag.size() > 2 && flag[0] == '-') {
        for (const char* candidate : known) {
            const std::size_t d = EditDistance(flag, candidate);
            if (d < best && 2 * d < flag.size() - 2) best = d, closest = candidate;
        }
    }
    return "unknown argument " + Quoted(argument) +
           (closest ? std::string(" (did you mean ") + closest + "?)" : " (see " + help + ")");
}

std::string GivenTwice(std::set<std::string>& seen, const std::string& flag) {
    const std::string name = flag == "-h" ? "--help" : flag;
    if (seen.insert(name).second) return {};
    return name + " is given twice; give it once";
}

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



std::pair<std::string, std::optional<std::string>> SplitFlag(const std::string& argument) {
    const auto eq = argument.find('=');
    if (argument.rfind("--", 0) != 0 || eq == std::string::npos) return {argument, std::nullopt};
    return {argument.substr(0, eq), argument.substr(eq + 1)};
}




bool SplitList(const std::string& flag, const std::string& value, std::vector<std::string>& items, std::string& error) {
    items.clear();
    if (value.empty()) {
        error = flag + ": the list is empty";
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = value.find(',', start);
        items.push_back(value.substr(start, comma - start));
        if (items.back().empty()) {
            error = flag + ": empty item in " + Quoted(value);
            return false;
        }
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

int Refuse(const char* command, const std::string& message) {
    std::fprintf(stderr, "kelvora-cli %s: %s\n", command, message.c_str());
    return 2;
}

std::string Quoted(const std::string& text) {
    std::string quoted(1, '\'');
    quoted += Printable(text);
    quoted += '\'';
    return quoted;
}

std::string JsonText(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        char32_t code = 0;
        std::size_t length = 1;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((length = Utf8Sequence(text, at, code)) != 0) {
            out.append(text, at, length);
        } else {
            length = 1;
            out += "\xEF\xBF\xBD";  // U+FFFD for a byte that is not UTF-8
        }
        at += length;
    }
    return out;
}


ProgressBar::ProgressBar(bool wanted) : enabled_(wanted && ::isatty(STDERR_FILENO)) {}

bool ProgressBar::Due(bool last) {
    if (!enabled_) return false;
    const auto now = std::chrono::steady_clock::now();
    if (!last && now - lastDraw_ < std::chrono::milliseconds(100)) return false;
    lastDraw_ = now;
    return true;
}

double ProgressBar::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressBar::Draw(long long done, long long total, const std::string& tail) {
    constexpr int kWidth = 30;
    const int filled = total > 0 ? static_cast<int>(kWidth * done / total) : kWidth;
    std::fprintf(stderr, "\r[%.*s%*s] %s", filled, "##############################", kWidth - filled, "", tail.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::Finish() {
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
}

}  // namespace kelvora::cli
