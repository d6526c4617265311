// kelvora-cli optimum: the best pose of the whole search space for a target.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "helpers.h"
#include "options.h"
#include "output.h"
#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"

using namespace kelvora;

namespace {

constexpr const char* kUsage =
    "Usage: kelvora-cli optimum --target X,Y [--json]\n"
    "Prints the best of all 256^3 whole-degree poses for a target (relative to the base, x right,\n"
    "y up, each -199..199): its genes, its distance to the target in pixels and its fitness. The\n"
    "earliest pose in gene order wins a tie. Nothing is run and no file is written.\n"
    "\n"
    "  --target X,Y   the target, integers -199..199 (default 68,180)\n"
    "  --json         one JSON object: {\"target\":[X,Y],\"pose\":[a1,a2,a3],\"distance\":D,\"fitness\":F};\n"
    "                 its numbers read back exactly\n"
    "  --help         this text\n"
    "\n"
    "Exit status: 0 done, 1 the output could not be printed, 2 bad arguments.\n";

}  // namespace

int kelvora::cli::OptimumCommand(const std::vector<std::string>& args) {
    // The run's --target, --json and --help; any other flag is named before a bad value is.
    CliOptions o;
    FlagTable table = RunFlags(o);
    std::erase_if(table.flags, [](const Flag& flag) {
        return std::string_view(flag.name) != "--target" && std::string_view(flag.name) != "--json" &&
               std::string_view(flag.name) != "--help";
    });
    table.help = "optimum --help";
    table.unknownFirst = true;
    if (const FlagParse parsed = ParseFlags(table, args); !parsed.ok()) return Refuse("optimum", parsed.error);
    if (o.help) {
        std::fputs(kUsage, stdout);
        return FinishStdout();
    }
    const Optimum best = FindOptimum(kBaseX, kBaseY, kBaseX + o.targetX, kBaseY - o.targetY);
    if (o.json) {
        const nlohmann::ordered_json json{{"target", {o.targetX, o.targetY}},
                                          {"pose", PoseArray(best.pose)},
                                          {"distance", best.distance},
                                          {"fitness", best.fitness}};
        std::printf("%s\n", JsonLine(json).c_str());
    } else {
        std::printf("target            %d,%d (pixel %d,%d)\n"
                    "optimum pose      %d, %d, %d\n"
                    "distance          %.6f px\n"
                    "fitness           %.6f\n",
                    o.targetX, o.targetY, kBaseX + o.targetX, kBaseY - o.targetY, best.pose.a1, best.pose.a2,
                    best.pose.a3, best.distance, best.fitness);
    }
    return FinishStdout();  // 1 when what was printed did not arrive
}
