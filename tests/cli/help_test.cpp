// Help made from the flag tables: every flag of every command's table is named in the command's own
// --help, on its line of the program's usage and in its part of the manual page; the window's
// program likewise in its --help and manual page.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "cli_test_support.h"
#include "commands.h"
#include "flags/window_flags.h"
#include "model/kelvora_version.h"

namespace kelvora::cli {
namespace {

using flags::Flag;
using flags::FlagTable;

// What a command prints to standard output.
std::string Output(const std::string& arguments) {
    std::string out;
    if (std::FILE* pipe = ::popen((std::string(KELVORA_CLI_PATH) + " " + arguments + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

// The lines of text from the one that starts with start (after indent columns) through the lines
// indented deeper that continue it: one usage line, unwrapped to single spaces.
std::string UsageOf(const std::string& text, const std::string& start) {
    std::string usage;
    bool inside = false;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const std::string body = line.size() > 7 ? line.substr(7) : "";
        if (inside && line.rfind("        ", 0) != 0) break;
        if (inside || body.rfind(start, 0) == 0) {
            inside = true;
            usage += ' ';
            usage.append(line, line.find_first_not_of(' '));
        }
    }
    return usage;
}

// The part of a manual page from the line opening through the next section or subsection.
std::string PartOf(const std::string& page, const std::string& opening) {
    const std::size_t at = page.find("\n" + opening + "\n");
    if (at == std::string::npos) return {};
    const std::size_t end = std::min({page.find("\n.SS", at + 1), page.find("\n.SH", at + 1), page.size()});
    return page.substr(at, end - at);
}

std::string Troff(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '-') out += '\\';
        out += c;
    }
    return out;
}

std::string Label(const Flag& flag) { return flag.valueName ? std::string(flag.name) + " " + flag.valueName : flag.name; }

// One command: its table, and its help, its usage line and its part of the manual page.
struct Command {
    FlagTable table;
    std::string help, usage, manual;
};

// The command by name: "" the plain run, a subcommand, "kelvora" or "kelvora --plot" (the window's
// program).
Command Find(const std::string& name) {
    if (name.rfind("kelvora", 0) == 0 && name.rfind("kelvora-cli", 0) != 0) {
        static flags::PlotArgs unused;  // the handlers are never called
        const std::string help = flags::WindowHelp();
        const std::string manual = flags::WindowManPage(kVersion);
        if (name == "kelvora") return {flags::WindowTable(), help, UsageOf(help, "kelvora ["), PartOf(manual, ".SH OPTIONS")};
        return {flags::PlotTable(unused), help, UsageOf(help, "kelvora --plot"), PartOf(manual, ".SS \"kelvora\"")};
    }
    const std::string programHelp = Output("--help");
    const std::string manual = clitest::ReadFile(KELVORA_CLI_MANUAL);
    for (const FlagTable& table : ProgramTables()) {
        if (table.text.command != (name.empty() ? "kelvora-cli" : "kelvora-cli " + name)) continue;
        if (name.empty()) return {table, programHelp, UsageOf(programHelp, "kelvora-cli ["), PartOf(manual, ".SH OPTIONS")};
        return {table, Output(name + " --help"), UsageOf(programHelp, "kelvora-cli " + name + " "),
                PartOf(manual, ".SS \"" + Troff(table.text.command) + "\"")};
    }
    return {};
}

std::vector<std::string> Names() {
    std::vector<std::string> names{""};
    for (const Subcommand& command : Subcommands()) names.push_back(command.name);
    names.push_back("kelvora");
    names.push_back("kelvora --plot");
    return names;
}

class EveryFlag : public testing::TestWithParam<std::string> {};

TEST_P(EveryFlag, IsInItsHelpItsUsageLineAndItsManualPart) {
    const Command c = Find(GetParam());
    ASSERT_FALSE(c.table.flags.empty()) << "no table";
    ASSERT_FALSE(c.usage.empty()) << "no usage line";
    ASSERT_FALSE(c.manual.empty()) << "no part of the manual page";
    for (const Flag& flag : c.table.flags) {
        EXPECT_FALSE(flag.help.empty()) << flag.name << " has no help text";
        const std::size_t listed = c.help.find("\n  " + Label(flag));
        const char after = listed == std::string::npos ? '\0' : c.help[listed + 3 + Label(flag).size()];
        EXPECT_TRUE(after == ' ' || after == '\n') << flag.name << " in --help's list of flags";
        std::string item = flag.required ? " " : " [";
        item += Label(flag);
        if (!flag.required) item += ']';
        EXPECT_NE(c.usage.find(item), std::string::npos) << flag.name << " in the usage line " << c.usage;
        const std::string entry = flag.valueName ? ".BI \"" + Troff(flag.name) + " \" \"" + Troff(flag.valueName) + "\""
                                                  : ".B " + Troff(flag.name) + "\n";
        EXPECT_NE(c.manual.find(entry), std::string::npos)
            << flag.name << " in the manual page";
    }
}

INSTANTIATE_TEST_SUITE_P(Help, EveryFlag, testing::ValuesIn(Names()), [](const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.empty() ? "run" : info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

}  // namespace
}  // namespace kelvora::cli
