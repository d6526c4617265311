#include "flags/flags.h"

#include <algorithm>
#include <cctype>
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

namespace kelvora::flags {
namespace {

constexpr std::size_t kWidth = 100;

// Columns a UTF-8 text takes: one per character.
std::size_t Columns(const std::string& text) {
    std::size_t columns = 0;
    for (const char c : text) columns += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
    return columns;
}

// text's words in lines of at most width columns (a longer word alone), the first line starting at
// column start, each further one indented by indent spaces; no newline at the end.
std::string Wrap(const std::string& text, std::size_t start, std::size_t indent, std::size_t width = kWidth) {
    std::string out;
    std::size_t column = start;
    bool lineEmpty = true;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        at = end + 1;
        if (word.empty()) continue;
        if (!lineEmpty && column + 1 + Columns(word) > width) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) out += ' ', ++column;
        out += word;
        column += Columns(word);
        lineEmpty = false;
    }
    return out;
}

std::string Label(const Flag& flag) { return flag.valueName ? std::string(flag.name) + " " + flag.valueName : flag.name; }

std::string HelpOf(const Flag& flag) {
    std::string help = flag.help;
    if (flag.fallback.empty()) return help;
    // "(default 20)"; a default in words after a colon: "(default: the current directory)".
    const bool words = flag.fallback.find(' ') != std::string::npos;
    help += help.empty() ? "(default" : " (default";
    help += words ? ": " : " ";
    help += flag.fallback;
    help += ')';
    return help;
}

// A command's name after the program's: "compare" of "kelvora-cli compare".
std::string Subcommand(const FlagTable& table) {
    const std::string command = table.text.command;
    const auto space = command.find(' ');
    return space == std::string::npos ? command : command.substr(space + 1);
}

// Text as troff shows it: backslashes escaped, dashes as minus signs, no line read as a request.
std::string Troff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
        lineStart = c == '\n';
    }
    return out;
}

// Prose (lines as written, paragraphs split by an empty line) as troff paragraphs; lines indented
// in the help keep their own line.
std::string TroffProse(const std::string& text) {
    std::string out;
    std::size_t at = 0;
    bool paragraph = false;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.empty()) {
            paragraph = false;
            continue;
        }
        if (!paragraph) out += ".PP\n";
        else if (line[0] == ' ') out += ".br\n";
        paragraph = true;
        const auto first = line.find_first_not_of(' ');
        out += Troff(line.substr(first)) + "\n";
    }
    return out;
}

std::string TroffFlags(const FlagTable& table) {
    std::string out;
    for (const Flag& flag : table.flags) {
        // ".BI "--name " VALUE": the name bold, the value's name italic; a switch bold alone.
        out += flag.valueName ? ".TP\n.BI \"" : ".TP\n.B ";
        out += Troff(flag.name);
        if (flag.valueName) {
            out += " \" \"";
            out += Troff(flag.valueName);
            out += '"';
        }
        out += '\n';
        out += Troff(HelpOf(flag));
        out += '\n';
    }
    return out;
}

}  // namespace

std::string UsageLine(const FlagTable& table, std::size_t width, std::size_t prefix) {
    std::string line = table.text.command;
    if (!table.text.operands.empty()) line += " " + table.text.operands;
    for (const Flag& flag : table.flags) {
        const std::string label = Label(flag);
        line += flag.required ? " <" + label + ">" : " [" + label + "]";
    }
    // Words of a usage item stay together: spaces inside brackets are not breaks (the angle
    // brackets only hold a needed flag's together and go).
    std::string glued;
    int depth = 0;
    for (const char c : line) {
        depth += c == '[' || c == '<' ? 1 : c == ']' || c == '>' ? -1 : 0;
        if (c != '<' && c != '>') glued += c == ' ' && depth > 0 ? '\x1f' : c;
    }
    const std::size_t indent = prefix + table.text.command.size() + 1;
    std::string wrapped = Wrap(glued, prefix, indent, width);
    std::replace(wrapped.begin(), wrapped.end(), '\x1f', ' ');
    return wrapped;
}

std::string HelpText(const FlagTable& table, const std::vector<const FlagTable*>& more) {
    std::string out = "Usage: " + UsageLine(table) + "\n";
    for (const FlagTable* other : more) out += "       " + UsageLine(*other) + "\n";
    if (!table.text.about.empty()) out += table.text.about + "\n\n";
    out += FlagList(table);
    if (!table.text.notes.empty()) out += "\n" + table.text.notes + "\n";
    if (!more.empty()) {
        std::string names;
        for (const FlagTable* other : more) names += (names.empty() ? "" : ", ") + Subcommand(*other);
        out += "\n" + Wrap("Subcommands, each with its own --help (" + table.text.command + " NAME --help): " +
                               names + ".", 0, 0) + "\n";
    }
    return out;
}

std::string FlagList(const FlagTable& table) {
    std::string out;
    std::size_t column = 0;
    for (const Flag& flag : table.flags) column = std::max(column, 2 + Columns(Label(flag)) + 2);
    column = std::min<std::size_t>(column, 24);
    for (const Flag& flag : table.flags) {
        const std::string label = "  " + Label(flag);
        out += label;
        std::size_t start = Columns(label);
        if (start + 2 > column) {
            out += "\n";
            start = 0;
        }
        out.append(column - start, ' ');
        out += Wrap(HelpOf(flag), column, column) + "\n";
    }
    return out;
}

std::string ManPage(const std::string& name, const std::string& version, const std::string& summary,
                    const std::vector<const FlagTable*>& tables) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string out = ".TH " + upper + " 1 \"\" \"" + name + " " + version + "\" \"User Commands\"\n";
    out += ".SH NAME\n" + Troff(name) + " \\- " + Troff(summary) + "\n.SH SYNOPSIS\n.nf\n";
    for (const FlagTable* table : tables) out += Troff(UsageLine(*table, 80, 0)) + "\n";
    out += ".fi\n";
    if (tables.empty()) return out;
    const FlagTable& own = *tables.front();
    out += ".SH DESCRIPTION\n" + TroffProse(own.text.about) + ".SH OPTIONS\n" + TroffFlags(own);
    if (!own.text.notes.empty()) out += ".SH NOTES\n" + TroffProse(own.text.notes);
    if (tables.size() > 1) out += ".SH COMMANDS\n";
    for (std::size_t i = 1; i < tables.size(); ++i) {
        const FlagTable& table = *tables[i];
        out += ".SS \"" + Troff(table.text.command) + "\"\n.nf\n" + Troff(UsageLine(table, 80, 0)) + "\n.fi\n";
        out += TroffProse(table.text.about) + ".PP\n" + TroffFlags(table) + TroffProse(table.text.notes);
    }
    out += ".SH VERSION\n" + Troff(name + " " + version) + "\n";
    return out;
}

}  // namespace kelvora::flags
