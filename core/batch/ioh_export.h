#pragma once
// A sweep's runs in the IOHprofiler format (the analyzer's JSON meta-data with its .dat files), so
// that they can be loaded into IOHanalyzer beside other optimizers' runs.
//
// Layout, one folder per configuration (algorithm and parameter set) below the export directory:
//   <dir>/<name>/IOHprofiler_f1_ArmReach.json
//   <dir>/<name>/data_f1_ArmReach/IOHprofiler_f1_DIM3.dat
// The problem is function 1, "ArmReach", of dimension 3 (the three joint angles), minimised: y is
// the distance in pixels from the elite's tip to the target. Each target of the sweep is an
// instance (numbered from 1 in the sweep's order) and each seed a run. A run in the .dat file is a
// header line "evaluations raw_y" and a line at each improvement of the elite's distance, at the
// evaluations done when the generation that found it was complete (generation x population), and
// a last line at the run's budget (generations x population) where the last improvement came
// earlier. The optimum's distance for the run's target is the run attribute "optimum_distance".

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "batch/sweep.h"

namespace kelvora {

/// The folder name of a configuration: its algorithm and parameters, e.g.
/// "ga_binary_roulette_e0_one-point_bit-flip_p20_g100_c0.5_m0.1".
std::string IohConfigurationName(const SweepCombination& combination);

/// Writes the runs of a sweep as they come, in any order of configurations. Nothing in the
/// directory changes before finish(): each .dat file grows under a temporary name ("NAME.part")
/// and finish() renames every file into place, so that each holds all of the old export's bytes
/// or all of the new one's; an export that failed leaves the old files as they were.
class IohExport {
public:
    /// directory must exist; nothing is written before the first run.
    explicit IohExport(std::string directory);
    ~IohExport();  ///< the temporary files of an export not finished are removed
    IohExport(const IohExport&) = delete;
    IohExport& operator=(const IohExport&) = delete;

    /// Takes an exclusive flock(2) lock on the directory, held until the export is destroyed, so
    /// that a second export into it is refused before it writes anything. Returns "" or the reason:
    /// "PATH: another kelvora-cli is writing this directory; nothing was written", or the system's.
    std::string lock();

    /// Appends one run; instance is its target's number in the sweep, from 1. Returns "" or what
    /// could not be written ("PATH: reason"); the export then takes no more runs.
    std::string add(const SweepResult& result, int instance);

    /// Appends one run of any optimiser, measured in evaluations: name is its folder's (1..64 of
    /// A-Z a-z 0-9 . _ -, not starting with '.'), info its description, budget its evaluations
    /// (>= 1), improvements each (evaluations, px) at which its best came closer, in order.
    /// Returns "" or the failure, as add does ("NAME: not a folder name" for a bad name).
    std::string addEvaluations(const std::string& name, const std::string& info, int instance, long long budget,
                               const std::vector<std::pair<long long, double>>& improvements, double optimumDistance);

    /// Writes every configuration's JSON file and renames the files into place; after a failure
    /// (of add or of finish itself) removes the temporary files instead and leaves the directory as
    /// it was. Returns "" or the failure.
    std::string finish();

private:
    struct Run {
        int instance = 0;
        long long evaluations = 0;  ///< the run's budget
        long long bestEvaluations = 0;
        double best = 0.0;
        double optimumDistance = 0.0;
    };
    struct Configuration {
        std::string info;       ///< the algorithm's description in the JSON file
        std::string data;       ///< the .dat file's path
        std::string temporary;  ///< its temporary file's path ("….dat.part")
        int fd = -1;            ///< the temporary file, open
        std::vector<Run> runs;
    };
    void discard();
    std::string addRun(const std::string& name, const std::string& info, int instance, long long budget,
                       const std::vector<std::pair<long long, double>>& improvements, double optimumDistance);

    std::string directory_;
    int lock_ = -1;
    std::string failure_;
    std::map<std::string, Configuration> configurations_;
};

}  // namespace kelvora
