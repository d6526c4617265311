// The flag-table parser every command reads its command line with: both value forms, a flag given
// twice, did-you-mean, a switch given a value, a missing value, repeats, a stopping flag, positionals.

#include <gtest/gtest.h>

#include "flags/flags.h"

namespace kelvora::flags {
namespace {

struct FlagCase {
    std::vector<std::string> args;
    std::string calls;  // the handlers' calls in order, "name=value;"
    std::string error;
    bool stopped = false;
    bool unknownFirst = false;
};

void PrintTo(const FlagCase& c, std::ostream* os) {
    for (const auto& a : c.args) *os << a << ' ';
}

class FlagTableParse : public testing::TestWithParam<FlagCase> {};

TEST_P(FlagTableParse, CallsTheHandlersOrNamesTheFirstFault) {
    std::string calls;
    const auto note = [&calls](const char* name) {
        return [&calls, name](const std::string& v) {
            calls += std::string(name) + "=" + v + ";";
            return v == "bad" ? std::string(name) + ": 'bad' is refused" : std::string();
        };
    };
    FlagTable table{
        {
            {"--alpha", true, note("alpha")},
            {"--alps", true, note("alps")},
            {"--beta", false, note("beta")},
            {"--list", true, note("list"), true},
            {"--seeds", true, note("seeds"), false, false, nullptr, "give its values once, as one comma list"},
            {"--help", false, nullptr, false, true, "-h"},
        },
        "t --help",
        note("file")};
    if (GetParam().args.size() > 0 && GetParam().args[0] == "stray") table.positional = nullptr;
    table.unknownFirst = GetParam().unknownFirst;
    const FlagParse parse = ParseFlags(table, GetParam().args);
    EXPECT_EQ(parse.error, GetParam().error);
    EXPECT_EQ(calls, GetParam().calls);
    EXPECT_EQ(parse.stopped, GetParam().stopped);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FlagTableParse,
    testing::Values(
        FlagCase{{"--alpha=3", "--beta"}, "alpha=3;beta=;", ""},
        FlagCase{{"--alpha", "3"}, "alpha=3;", ""},
        FlagCase{{"--alpha", "-5,2"}, "alpha=-5,2;", ""},       // a value may start with a dash
        FlagCase{{"--alpha="}, "alpha=;", ""},                   // an empty value is the handler's to judge
        FlagCase{{"--alpha=a=b"}, "alpha=a=b;", ""},             // split at the first '='
        FlagCase{{"--alpha", "1", "--alpha=2"}, "alpha=1;", "--alpha is given twice; give it once"},
        FlagCase{{"--beta", "--beta"}, "beta=;", "--beta is given twice; give it once"},
        FlagCase{{"--seeds", "1", "--seeds", "2"}, "seeds=1;", "--seeds is given twice; give its values once, as one comma list"},
        FlagCase{{"--list", "a", "--list=b"}, "list=a;list=b;", ""},
        FlagCase{{"--alpah", "1"}, "", "unknown argument '--alpah' (did you mean --alpha?)"},
        FlagCase{{"--alph=1"}, "", "unknown argument '--alph=1' (did you mean --alpha?)"},  // the first of two as close
        FlagCase{{"--zzz"}, "", "unknown argument '--zzz' (see t --help)"},
        FlagCase{{"-x"}, "", "unknown argument '-x' (see t --help)"},
        FlagCase{{"--beta=1"}, "", "--beta takes no value"},
        FlagCase{{"--beta="}, "", "--beta takes no value"},
        FlagCase{{"--beta", "--alpha"}, "beta=;", "--alpha needs a value"},
        FlagCase{{"--alpha", "bad", "--beta"}, "alpha=bad;", "alpha: 'bad' is refused"},
        FlagCase{{"--alpha", "bad", "--bta"}, "", "unknown argument '--bta' (did you mean --beta?)", false, true},
        FlagCase{{"--alpha", "--bta"}, "alpha=--bta;", "", false, true},  // a value is no unknown flag
        FlagCase{{"in.csv", "-", "--beta"}, "file=in.csv;file=-;beta=;", ""},
        FlagCase{{"stray"}, "", "unknown argument 'stray' (see t --help)"},
        FlagCase{{"--beta", "-h", "--bogus"}, "beta=;", "", true},
        FlagCase{{"--help", "--help"}, "", "", true}));

}  // namespace
}  // namespace kelvora::flags
