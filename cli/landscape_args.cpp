#include "landscape_args.h"

#include <algorithm>
#include <string>
#include <vector>

#include "helpers.h"
#include "output.h"
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

std::string kelvora::cli::ParseLandscapeArgs(const std::vector<std::string>& args,
                                             std::initializer_list<const char*> known, LandscapeArgs& out) {
    // The command's own flags, in the order it lists them, from the one table of their handlers.
    std::vector<Flag> flags;
    for (const char* name : known) {
        const std::string flag = name;
        if (flag == "--help") {
            flags.push_back({name, false, nullptr, false, true, "-h"});
        } else if (flag == "--json" || flag == "--quiet" || flag == "--resume" || flag == "--plain") {
            flags.push_back({name, false, [&out, flag](const std::string&) {
                                 (flag == "--json" ? out.json : flag == "--quiet" ? out.quiet : flag == "--resume" ? out.resume : out.plain) = true;
                                 return std::string();
                             }});
        } else {
            flags.push_back({name, true, ValueOf(flag, out)});
        }
    }
    const FlagParse parsed = ParseFlags(FlagTable{flags, CommandName() + std::string(" --help")}, args);
    if (!parsed.ok()) return parsed.error;
    out.help = parsed.stopped;
    return {};
}
