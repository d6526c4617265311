#include "landscape_args.h"

#include <algorithm>
#include <string>
#include <vector>

#include "helpers.h"
#include "commands.h"
#include "session/numbers.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

// The handler of a landscape flag that takes a value: "" or the refusal, naming the flag, the value
// and what is accepted.
kelvora::cli::Flag::Handler ValueOf(const std::string& flag, kelvora::cli::LandscapeArgs& out) {
    return [flag, &out](const std::string& v) -> std::string {
        const auto bad = [&](const std::string& expected) { return flag + ": " + Quoted(v) + " is not " + expected; };
        if (flag == "--target") {
            const auto xy = kelvora::session::ParseTarget(v);
            if (!xy) return bad(kelvora::session::ExpectedTargetText());
            out.targetX = xy->x;
            out.targetY = xy->y;
        } else if (flag == "--neighbourhood") {
            std::vector<std::string> items;
            std::string error;
            if (!SplitList(flag, v, items, error)) return error;
            for (const std::string& item : items) {
                const auto n = ParseNeighbourhood(item);
                if (!n) return flag + ": " + Quoted(item) + " is not binary, gray or creep:S with S in 1..128";
                if (std::find(out.neighbourhoods.begin(), out.neighbourhoods.end(), *n) != out.neighbourhoods.end())
                    return flag + ": " + Quoted(item) + " is listed twice";
                out.neighbourhoods.push_back(*n);
            }
        } else if (flag == "--epsilon") {
            const auto e = ParseFiniteDouble(v);
            if (!e || !(*e >= 0.0 && *e <= 1000.0)) return bad("a number of pixels in 0..1000");
            out.epsilon = *e;
        } else if (flag == "--step") {
            const auto s = ParseInteger(v);
            if (!s || *s < 1 || *s > kMaxTargetOffset) return bad("an integer in 1..199");
            out.step = static_cast<int>(*s);
        } else if (flag == "--shard") {
            const auto kn = ParseIntegerPair(v, '/');
            if (!kn || kn->second < 1 || kn->second > 10000 || kn->first < 1 || kn->first > kn->second)
                return bad("K/N with integers 1 <= K <= N <= 10000");
            out.shard = static_cast<int>(kn->first);
            out.shards = static_cast<int>(kn->second);
        } else {
            if (v.empty()) return flag + ": the file name is empty";
            (flag == "--optima" ? out.optima : out.output) = v;
        }
        return {};
    };
}

}  // namespace

namespace {

// One of the landscape commands' flags, by name, storing into out.
Flag LandscapeFlag(const char* name, LandscapeArgs& out) {
    const std::string flag = name;
    if (flag == "--help") return {name, false, nullptr, false, true, "-h"};
    if (flag == "--json" || flag == "--quiet" || flag == "--resume" || flag == "--plain")
        return {name, false, [&out, flag](const std::string&) {
                    (flag == "--json" ? out.json : flag == "--quiet" ? out.quiet : flag == "--resume" ? out.resume : out.plain) = true;
                    return std::string();
                }};
    return {name, true, ValueOf(flag, out)};
}

constexpr const char* kEpsilonHelp = "pixels, 0..1000; within means distance <= E";

}  // namespace

FlagTable kelvora::cli::LandscapeTable(LandscapeArgs& out) {
    FlagTable table{
        {
            LandscapeFlag("--target", out).Describe(
                "X,Y", "the target relative to the base, x right, y up, integers -199..199", "68,180"),
            LandscapeFlag("--neighbourhood", out)
                .Describe("LIST",
                          "comma list of binary (flip one bit of an angle byte), gray (flip one bit of its Gray "
                          "encoding) and creep:S (S 1..128: every angle within S of one gene's)",
                          "binary,gray,creep:4"),
            LandscapeFlag("--epsilon", out).Describe("E", kEpsilonHelp, "0.5"),
            LandscapeFlag("--json", out).Describe(
                nullptr, "one JSON object: {\"target\":[X,Y],\"optimum\":{...},\"epsilon\":E,"
                         "\"neighbourhoods\":[{\"name\":...,\"localOptima\":...,...},...]}"),
            LandscapeFlag("--optima", out)
                .Describe("FILE",
                          "also write every local optimum as CSV lines "
                          "neighbourhood,gene0,gene1,gene2,distance,basin_size after that header, in the order of "
                          "the list, then of gene0*65536+gene1*256+gene2; through FILE.part and a rename"),
            LandscapeFlag("--help", out).Describe(nullptr, "this text"),
        },
        "kelvora-cli landscape --help"};
    table.text = {
        "kelvora-cli landscape", "",
        "Prints the exact fitness landscape of a target over all 256^3 poses, for each neighbourhood:\n"
        "the local optima (poses no neighbour of which is strictly nearer the target), those within E px,\n"
        "the starts whose steepest ascent ends at the global optimum (the pose `optimum` names) and those\n"
        "whose ascent ends within E px, and the fitness-distance correlation. Nothing is run.",
        "Cost: an exhaustive enumeration on every core; about 0.1 s for the distances of all poses and\n"
        "0.3 s per neighbourhood on two cores, any S. Memory: about 220 MB (the 128 MiB distance table,\n"
        "64 MiB of successors, 16 MiB more for creep).\n"
        "\n"
        "Exit status: 0 done, 1 the output could not be written, 2 bad arguments."};
    return table;
}

FlagTable kelvora::cli::LandscapeMapTable(LandscapeArgs& out) {
    FlagTable table{
        {
            LandscapeFlag("--output", out)
                .Describe("FILE.png|FILE.csv",
                          ".csv: one line x,y,local_optima,starts_within,share per target, top row first, then left "
                          "to right, no header, LF line ends; .png: the 600 x 516 figure: the 399 x 399 map, one "
                          "pixel a target offset (the top row y = +199), each grid target's share over the PX x PX "
                          "cell around it: black for none, then dark blue (a share of 1e-6 or less) to yellow (1) on "
                          "a log scale; axes in px relative to the base and a colour bar. Replaced once complete "
                          "(through FILE.part and a rename)")
                .Required(),
            LandscapeFlag("--neighbourhood", out).Describe("N", "binary, gray or creep:S with S 1..128", "gray"),
            LandscapeFlag("--step", out).Describe("PX", "the grid's spacing in pixels, 1..199", "8: 49 x 49 targets"),
            LandscapeFlag("--epsilon", out).Describe("E", kEpsilonHelp, "0.5"),
            LandscapeFlag("--shard", out)
                .Describe("K/N",
                          "only the grid's targets K, K + N, K + 2N, ... in the order above (1 <= K <= N <= 10000), "
                          "as CSV: the N shards' files concatenated in any order and sorted hold the rows of the "
                          "whole grid, so a long map is made in pieces and on several machines"),
            LandscapeFlag("--resume", out).Describe(
                nullptr, "continue the map FILE.partial holds: keep its whole rows, compute the rest"),
            LandscapeFlag("--plain", out).Describe(
                nullptr, "with a .png name: the 399 x 399 map alone, no axes and no colour bar"),
            LandscapeFlag("--quiet", out).Describe(nullptr, "no progress bar (it is drawn only on a terminal anyway)"),
            LandscapeFlag("--help", out).Describe(nullptr, "this text"),
        },
        "kelvora-cli landscape-map --help"};
    table.text = {
        "kelvora-cli landscape-map", "",
        "For every target on a grid of the plot (x and y relative to the base, each a multiple of PX in\n"
        "-199..199, the base included), the share of all 256^3 starts whose steepest ascent under the\n"
        "neighbourhood ends within E px of the target (what `landscape` calls starts_within).",
        "Cost: each target is one exhaustive enumeration on every core, about 0.4 s on two cores and\n"
        "220 MB; the default grid takes about 20 minutes, the 1 px grid (159,201 targets) most of a day.\n"
        "While it works, each finished target's CSV row is added to FILE.partial, after a first line that\n"
        "names the map (landscape-map N step PX epsilon E shard K/N, E as the shortest exact decimal);\n"
        "the finished map replaces FILE and FILE.partial goes. Ctrl-C stops at the next target and leaves\n"
        "FILE as it was and FILE.partial holding the rows so far; --resume with the same arguments\n"
        "continues from there, to the same bytes an uninterrupted map writes. Without --resume an\n"
        "existing FILE.partial is started over.\n"
        "\n"
        "Exit status: 0 done, 1 the file could not be written, 2 bad arguments, 130 stopped."};
    return table;
}

FlagTable kelvora::cli::ReachMapTable(ReachMapArgs& out) {
    FlagTable table{
        {
            Flag{"--output", true,
                 [&out](const std::string& v) {
                     out.output = v, out.haveOutput = true;
                     return std::string();
                 }}
                .Describe("FILE.png|FILE.csv",
                          "a name ending in .png: a 600 x 516 PNG figure of the map, one pixel a target, white "
                          "where a pose reaches within half a pixel (greyer as the distance grows), orange to dark "
                          "red where none does, with axes in pixels relative to the base (y up), the base mark, the "
                          "arm's reach circle (200 px, dashed) and a colour bar in pixels; ending in .csv: one line "
                          "x,y,distance per target, top row first, LF line ends, no header. Any other name is "
                          "refused. The file is replaced once the whole map is written (through FILE.part and a "
                          "rename)")
                .Required(),
            Flag{"--plain", false, [&out](const std::string&) { out.plain = true; return std::string(); }}.Describe(
                nullptr, "with a .png name: the map alone, 399 x 399 pixels, no axes and no labels"),
            Flag{"--help", false, nullptr, false, true, "-h"}.Describe(nullptr, "this text"),
        },
        "reach-map --help"};
    table.text = {
        "kelvora-cli reach-map", "",
        "Writes, for every target the plot accepts (x and y relative to the base, each -199..199), the\n"
        "distance in pixels of the best pose of the whole search space, computed once for all of them.",
        "The figure's labels use the system's sans-serif font (fontconfig; Debian: fonts-dejavu-core).\n"
        "\n"
        "Exit status: 0 done, 1 the file could not be written or no font was found for the labels (the\n"
        "reason on stderr), 2 bad arguments."};
    return table;
}

FlagTable kelvora::cli::LandscapeFlags() {
    static LandscapeArgs unused;  // the handlers are never called
    return LandscapeTable(unused);
}

FlagTable kelvora::cli::LandscapeMapFlags() {
    static LandscapeArgs unused;
    return LandscapeMapTable(unused);
}

FlagTable kelvora::cli::ReachMapFlags() {
    static ReachMapArgs unused;
    return ReachMapTable(unused);
}
