#include "flags/flags.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace kelvora::flags {
namespace {

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

// One argument as a flag and its attached value: "--name=value" gives "--name" and "value";
// anything else is the flag itself with no value.
std::pair<std::string, std::optional<std::string>> SplitFlag(const std::string& argument) {
    const auto eq = argument.find('=');
    if (argument.rfind("--", 0) != 0 || eq == std::string::npos) return {argument, std::nullopt};
    return {argument.substr(0, eq), argument.substr(eq + 1)};
}

// An argument that names a flag: a dash and more ("-" alone is a name, standard input or output).
bool LooksLikeFlag(const std::string& argument) { return argument.size() > 1 && argument[0] == '-'; }

const Flag* Find(const FlagTable& table, const std::string& name) {
    for (const Flag& flag : table.flags)
        if (name == flag.name || (flag.alias && name == flag.alias)) return &flag;
    return nullptr;
}

std::string Unknown(const FlagTable& table, const std::string& argument) {
    if (table.unknown) return table.unknown(argument);
    std::vector<const char*> names;
    names.reserve(table.flags.size());
    for (const Flag& flag : table.flags) names.push_back(flag.name);
    return UnknownArgument(argument, names, table.help);
}

// The first argument that is neither a flag of the table, a flag's value nor an accepted name.
std::string FirstUnknown(const FlagTable& table, const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!LooksLikeFlag(args[i])) {
            if (!table.positional) return Unknown(table, args[i]);
            continue;
        }
        const auto [name, value] = SplitFlag(args[i]);
        const Flag* flag = Find(table, name);
        if (!flag) return Unknown(table, args[i]);
        if (flag->takesValue && !value) ++i;  // its value follows
    }
    return {};
}

}  // namespace

FlagParse ParseFlags(const FlagTable& table, const std::vector<std::string>& args) {
    FlagParse parse;
    if (table.unknownFirst) {
        if (parse.error = FirstUnknown(table, args); !parse.error.empty()) return parse;
    }
    std::set<std::string> seen;
    for (std::size_t i = 0; i < args.size() && parse.error.empty(); ++i) {
        if (!LooksLikeFlag(args[i])) {
            parse.error = table.positional ? table.positional(args[i]) : Unknown(table, args[i]);
            continue;
        }
        auto [name, value] = SplitFlag(args[i]);
        const Flag* flag = Find(table, name);
        if (!flag) {
            parse.error = Unknown(table, args[i]);
        } else if (!flag->takesValue && value) {
            parse.error = name + " takes no value";
        } else if (!flag->repeatable && !seen.insert(flag->name).second) {
            parse.error = std::string(flag->name) + " is given twice; " + flag->twiceAdvice;
        } else if (flag->takesValue && !value && i + 1 >= args.size()) {
            parse.error = name + " needs a value";
        } else if (flag->stops) {
            parse.stopped = true;
            return parse;
        } else {
            if (flag->takesValue && !value) value = args[++i];
            if (flag->handle) parse.error = flag->handle(value ? *value : std::string());
        }
    }
    return parse;
}

std::string UnknownArgument(const std::string& argument, const std::vector<const char*>& known,
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

std::string Quoted(const std::string& text) {
    std::string quoted(1, '\'');
    quoted += Printable(text);
    quoted += '\'';
    return quoted;
}

}  // namespace kelvora::flags
