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
using namespace kelvora::cli;

namespace {

// optimum's flags: the run's --target, --json and --help, with their help here.
FlagTable OptimumTable(CliOptions& o) {
    FlagTable table = RunFlags(o);
    std::erase_if(table.flags, [](const Flag& flag) {
        return std::string_view(flag.name) != "--target" && std::string_view(flag.name) != "--json" &&
               std::string_view(flag.name) != "--help";
    });
    for (Flag& flag : table.flags)
        if (std::string_view(flag.name) == "--json")
            flag.help = "one JSON object: {\"target\":[X,Y],\"pose\":[a1,a2,a3],\"distance\":D,\"fitness\":F}; its "
                        "numbers read back exactly";
    table.help = "optimum --help";
    table.unknownFirst = true;
    table.text = {"kelvora-cli optimum", "",
                  "Prints the best of all 256^3 whole-degree poses for a target (relative to the base, x right,\n"
                  "y up, each -199..199): its genes, its distance to the target in pixels and its fitness. The\n"
                  "earliest pose in gene order wins a tie. Nothing is run and no file is written.",
                  "Exit status: 0 done, 1 the output could not be printed, 2 bad arguments."};
    return table;
}

}  // namespace

FlagTable kelvora::cli::OptimumFlags() {
    static CliOptions unused;  // the handlers are never called
    return OptimumTable(unused);
}

int kelvora::cli::OptimumCommand(const std::vector<std::string>& args) {
    // The run's --target, --json and --help; any other flag is named before a bad value is.
    CliOptions o;
    const FlagTable table = OptimumTable(o);
    if (const FlagParse parsed = ParseFlags(table, args); !parsed.ok()) return Refuse("optimum", parsed.error);
    if (o.help) {
        std::fputs(HelpText(table).c_str(), stdout);
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
