#pragma once
// run.json, the file: how a run's two result files were made, written beside them as the run's last
// file. What fills a record and what a record says of a file are the application layer's.
// It names the program, the seed, the parameters, the target and the algorithm, when the run started
// and ended, whether it was stopped or failed, and each file's size and SHA-256, so that a replay or
// an inspection can tell whether the files are still the ones it describes.

#include <cstdint>
#include <optional>
#include <string>

#include "ga/algorithm.h"
#include "io/result_files.h"
#include "model/arm.h"
#include "model/types.h"

namespace kelvora {

/// The name of the record beside results.csv and fitness.csv.
inline constexpr const char* kRunRecordName = "run.json";

/// One result file as the record saw it at the run's end.
struct RecordedFile {
    bool present = false;      ///< the file could be read at the run's end
    std::uint64_t size = 0;    ///< bytes
    std::string sha256;        ///< 64 lower-case hex digits
    friend bool operator==(const RecordedFile&, const RecordedFile&) = default;
};

/// What run.json holds.
struct RunRecord {
    std::string program;             ///< "kelvora" or "kelvora-cli"
    std::string version;             ///< the program's version
    std::uint32_t seed = 0;
    SolverParams params;
    int targetX = 0;                 ///< relative to the base, x right, y up (as --target takes it)
    int targetY = 0;
    Geometry geometry;               ///< base and target in client pixels
    Algorithm algorithm;
    std::string started;             ///< UTC, ISO 8601 with milliseconds: 2026-12-09T03:50:00.123Z
    std::string ended;
    int generationsRun = 0;          ///< generations finished and logged
    bool stopped = false;            ///< ended early on request
    std::string failure;             ///< "" or what went wrong with the files (as the program reported it)
    RecordedFile results;
    RecordedFile fitness;
    std::optional<FlushMode> flush;  ///< how the lines reached results.csv; none in older records
};

/// The current time as RunRecord::started takes it.
std::string RecordTimeNow();

/// SHA-256 and size of the file at path; present false when it cannot be read (a device too).
RecordedFile DigestFile(const std::string& path);

/// The record as JSON: one object, keys in a fixed order, LF at the end.
std::string RunRecordJson(const RunRecord& record);

/// Reads a record back from JSON; nullopt with a reason in error when it is not one. Every number
/// is held to the range its flag takes (seed 0..4294967295, population, generations, rates, target
/// within kMaxTargetOffset, generationsRun 0..generations), the algorithm to its flags' spellings
/// and to the population, and the target pixel to the target from the base.
std::optional<RunRecord> ParseRunRecord(const std::string& json, std::string& error);

/// Digests results.csv and fitness.csv in directory (nullptr or "": the current directory) into
/// record, then writes record as run.json there through a temporary file and a rename, so that
/// run.json is whole or absent. Returns "" or the reason it could not be written.
std::string WriteRunRecord(RunRecord& record, const char* directory);

}  // namespace kelvora
