// kelvora-cli landscape: the exact fitness landscape of one target under mutation neighbourhoods.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "files.h"
#include "helpers.h"
#include "landscape_args.h"
#include "output.h"
#include "analysis/landscape.h"

using namespace kelvora;
using namespace kelvora::cli;

namespace {

int Fail(const std::string& message) { return Refuse("landscape", message); }

double Share(long long count) { return static_cast<double>(count) / kPoseCount; }

void PrintTable(const LandscapeArgs& a, const DistanceTable& table, const std::vector<LandscapeSummary>& rows) {
    const Optimum& o = table.optimum;
    std::printf("target         %d,%d (pixel %d,%d)\n"
                "optimum pose   %d, %d, %d at %.6f px\n"
                "epsilon        %s px\n\n",
                a.targetX, a.targetY, table.geometry.targetX, table.geometry.targetY, o.pose.a1, o.pose.a2, o.pose.a3,
                o.distance, ExactText(a.epsilon).c_str());
    std::printf("%-13s %12s %8s %22s %22s %10s\n", "neighbourhood", "localOptima", "within", "basinOptimum",
                "startsWithin", "fdc");
    for (const LandscapeSummary& s : rows) {
        std::printf("%-13s %12lld %8lld %10lld (%7.4f%%) %10lld (%7.4f%%) %10.6f\n",
                    NeighbourhoodName(s.neighbourhood).c_str(), s.localOptima, s.localOptimaWithin, s.basinOptimum,
                    100 * Share(s.basinOptimum), s.startsWithin, 100 * Share(s.startsWithin), s.fdc);
    }
}

void PrintJson(const LandscapeArgs& a, const DistanceTable& table, const std::vector<LandscapeSummary>& rows) {
    nlohmann::ordered_json j;
    j["target"] = {a.targetX, a.targetY};
    const Optimum& o = table.optimum;
    j["optimum"] = {{"pose", {o.pose.a1, o.pose.a2, o.pose.a3}}, {"distance", o.distance}, {"fitness", o.fitness}};
    j["epsilon"] = a.epsilon;
    j["neighbourhoods"] = nlohmann::ordered_json::array();
    for (const LandscapeSummary& s : rows) {
        j["neighbourhoods"].push_back({{"name", NeighbourhoodName(s.neighbourhood)},
                                       {"localOptima", s.localOptima},
                                       {"localOptimaWithin", s.localOptimaWithin},
                                       {"basinOptimum", s.basinOptimum},
                                       {"basinOptimumShare", Share(s.basinOptimum)},
                                       {"startsWithin", s.startsWithin},
                                       {"startsWithinShare", Share(s.startsWithin)},
                                       {"fdc", s.fdc}});
    }
    std::printf("%s\n", JsonLine(j).c_str());
}

std::string OptimaCsv(const std::vector<LandscapeSummary>& rows) {
    std::string text = "neighbourhood,gene0,gene1,gene2,distance,basin_size\n";
    for (const LandscapeSummary& s : rows) {
        const std::string name = NeighbourhoodName(s.neighbourhood) + ",";
        for (const LocalOptimum& o : s.optima) {
            text += name + std::to_string(o.pose.a1) + "," + std::to_string(o.pose.a2) + "," + std::to_string(o.pose.a3) +
                    "," + ExactText(o.distance) + "," + std::to_string(o.basinSize) + "\n";
        }
    }
    return text;
}

}  // namespace


int kelvora::cli::LandscapeCommand(const std::vector<std::string>& args) {
    LandscapeArgs a;
    const FlagTable flags = LandscapeTable(a);
    const FlagParse parsed = ParseFlags(flags, args);
    if (!parsed.ok()) return Fail(parsed.error);
    if (parsed.stopped) {
        std::fputs(HelpText(flags).c_str(), stdout);
        return FinishStdout();
    }
    if (a.neighbourhoods.empty())
        a.neighbourhoods = {*ParseNeighbourhood("binary"), *ParseNeighbourhood("gray"), *ParseNeighbourhood("creep:4")};
    // Held (locked) before the work, so that a file that cannot be written is named at once.
    OutputFile optima;
    if (!a.optima.empty()) {
        if (const std::string error = OpenOutput(a.optima, optima); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli landscape: %s\n", error.c_str());
            return OpenFailureStatus(optima);
        }
    }
    DistanceTable table;
    FillDistanceTable(GeometryFor(a.targetX, a.targetY), table);
    std::vector<LandscapeSummary> rows;
    for (const Neighbourhood& n : a.neighbourhoods) rows.push_back(AnalyseLandscape(table, n, a.epsilon));
    if (const std::string reason = a.optima.empty() ? "" : WriteWhole(optima, OptimaCsv(rows)); !reason.empty()) {
        std::fprintf(stderr, "kelvora-cli landscape: %s: write failed: %s\n", Printable(a.optima).c_str(),
                     Printable(reason, SIZE_MAX).c_str());
        Abandon(optima);
        return std::max(1, FinishStdout());
    }
    if (a.json) PrintJson(a, table, rows);
    else PrintTable(a, table, rows);
    return FinishStdout();
}
