#pragma once
// The command lines of kelvora-cli's subcommands and of `kelvora --plot`: each declares its flags
// once, in a table, and one parser reads them. No Qt, no other part of the program: the window's
// executable links it too.

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <optional>
#include <vector>

namespace kelvora::flags {

/// One flag of a command.
struct Flag {
    /// Handles a flag's value (a switch: ""); returns "" or the message naming the flag, the value and
    /// what is accepted.
    using Handler = std::function<std::string(const std::string& value)>;

    const char* name;                ///< "--population": accepted as "--name value" and "--name=value"
    bool takesValue;                 ///< false: a switch, refused with a value ("--json=1")
    Handler handle;                  ///< called once per occurrence, in command-line order
    bool repeatable = false;         ///< true: may be given more than once (sweep --target)
    bool stops = false;              ///< true: parsing ends successfully here (an immediate --help)
    const char* alias = nullptr;     ///< a short spelling ("-h"), counted as the flag itself
    const char* twiceAdvice = "give it once";  ///< given twice: "NAME is given twice; " and this
    const char* valueName = nullptr; ///< the value as help shows it ("N", "X,Y"); none for a switch
    std::string help = {};           ///< what the flag does, one paragraph, wrapped where it is shown
    std::string fallback = {};       ///< the default as help states it ("20"); empty: none stated
    bool required = false;           ///< the command needs it: no brackets in the usage line

    /// This flag with its help: the value's name (nullptr for a switch), what it does and its default.
    Flag Describe(const char* value, std::string text, std::string byDefault = {}) && {
        valueName = value;
        help = std::move(text);
        fallback = std::move(byDefault);
        return std::move(*this);
    }
    /// This flag marked as one the command needs.
    Flag Required() && {
        required = true;
        return std::move(*this);
    }
};

/// What a command's help says besides its flags. The usage line and the list of flags are made from
/// the table, so neither can leave a flag out.
struct CommandText {
    std::string command;   ///< "kelvora-cli compare": how the command is called
    std::string operands;  ///< the arguments that are no flags, before the flags ("SWEEP.csv")
    std::string about;     ///< what the command does, before the flags: lines as shown, paragraphs split by an empty line
    std::string notes;     ///< after the flags: files, signals, exit status; lines as about
};

/// A command's whole command line: its flags in the order did-you-mean prefers them (the first of
/// equally close names wins), and what an argument that is no flag means.
struct FlagTable {
    std::vector<Flag> flags;
    /// Where the unknown-argument message points: "--help", "sweep --help".
    std::string help;
    /// Handles an argument that is no flag (not "-" followed by more); none: such an argument is unknown.
    Flag::Handler positional = {};
    /// Every unknown argument is reported before any other fault of the command line.
    bool unknownFirst = false;
    /// The message for an unknown argument; none: UnknownArgument against the table's names.
    std::function<std::string(const std::string& argument)> unknown = {};
    /// The command's usage line, prose and name, for its help and its manual page.
    CommandText text = {};
};

/// The usage line of a command: its name, operands and every flag ("[--epsilon E]"; a needed flag
/// without brackets; a switch without a value), wrapped at width columns under the operands for a
/// line that starts after prefix columns ("Usage: ").
std::string UsageLine(const FlagTable& table, std::size_t width = 100, std::size_t prefix = 7);

/// The whole --help text: "Usage: " and the usage line (then those of more, one a line), the about
/// prose, every flag with its value name, help and default, the notes, and with more a closing line
/// naming each of them; wrapped at 100 columns.
std::string HelpText(const FlagTable& table, const std::vector<const FlagTable*>& more = {});

/// Every flag of table, one a paragraph: "  --name VALUE" and its help and default beside it (under it
/// for a long name), wrapped at 100 columns.
std::string FlagList(const FlagTable& table);

/// The commands of one program as a manual page (troff, section 1): the first table is the program's
/// own command line (synopsis, description, options); each further one a subsection of COMMANDS with
/// its usage line, prose and flags. name: "kelvora-cli"; summary: the NAME line's words after the dash.
std::string ManPage(const std::string& name, const std::string& version, const std::string& summary,
                    const std::vector<const FlagTable*>& tables);

/// What ParseFlags found: a message, or success (stopped: a stopping flag ended it early).
struct FlagParse {
    std::string error;     ///< empty on success
    bool stopped = false;  ///< a flag with stops set was met; the arguments after it were not read
    bool ok() const { return error.empty(); }
};

/// Reads args (the arguments after the command's name) against table, left to right, and stops at the
/// first fault: an unknown argument (with a did-you-mean), "FLAG takes no value", "FLAG is given
/// twice; give it once", "FLAG needs a value" (a value may begin with '-': "--target -5,3"), or a
/// handler's message.
FlagParse ParseFlags(const FlagTable& table, const std::vector<std::string>& args);

/// The message for an argument that is no flag of the command: "unknown argument 'ARG' (did you
/// mean --population?)" when one of known is within two edits (insertions, deletions, changes) of the
/// argument's flag and closer than half its length, otherwise "unknown argument 'ARG' (see HELP)".
std::string UnknownArgument(const std::string& argument, const std::vector<const char*>& known,
                            const std::string& help);

/// text as an error message may echo it: bytes that do not show (controls, malformed UTF-8,
/// invisible or reordering characters) escaped as \xHH, \uHHHH, \n..., a backslash doubled, and
/// anything wider than limit columns cut to limit - 3 of them and "...".
std::string Printable(const std::string& text, std::size_t limit = 80);

/// An argument or a file name as a message echoes it: Printable, in single quotes.
std::string Quoted(const std::string& text);

/// The length (2..4) of the well-formed UTF-8 sequence at text[at], with its code point in code;
/// 0 when the bytes there are no such sequence (or a single ASCII byte).
std::size_t Utf8Sequence(const std::string& text, std::size_t at, char32_t& code);

}  // namespace kelvora::flags
