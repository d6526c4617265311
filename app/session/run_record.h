#pragma once
// A run's record (run.json) as the front ends use it: filled from the run that was made, read back
// for a file a person names, and turned into the command that makes the same files again. The
// file's format is core/io's (io/run_record.h); what a record means is here, once.

#include <cstdint>
#include <string>

#include "ga/run.h"
#include "io/result_files.h"
#include "io/run_record.h"

namespace kelvora::session {

/// The record of a run that was not refused: program ("kelvora" or "kelvora-cli") and version, the
/// setup's seed (report.seed), parameters, geometry, target relative to the base and algorithm, the
/// start time given and the end time now, the generations finished, whether it stopped, and each
/// failed file worded by FileFailureText with its path in shownDirectory (as the front end names it;
/// "": the bare name).
/// The files' digests are WriteRunRecord's to fill.
RunRecord RecordOfRun(const std::string& program, const RunSetup& setup, const RunReport& report,
                      const std::string& started, const std::string& shownDirectory);

/// The kelvora-cli command that makes the same files: seed, parameters, target, --flush line, and
/// every choice of the algorithm that is not the default (--algorithm random-search for the
/// baseline, with no operator flags); for a stopped run, the generations it finished.
std::string ReproducingCommand(const RunRecord& record);

/// What a record says of a file.
enum class RecordMatch {
    missing,     ///< no run.json beside the file
    unreadable,  ///< run.json is not a record (error says why): bad JSON, a field out of its range
    differs,     ///< the record is not of this file: its size or SHA-256, or its population or
                 ///< generations, are not the file's
    matches,     ///< the record describes this very file
};

/// What the file's own lines show, for the record to agree with.
struct FileShape {
    int population = 0;         ///< individuals per generation
    long long generations = 0;  ///< whole generations the file holds
};

/// Reads run.json in the directory of file (a results.csv under any name) and compares the record's
/// results.csv entry with digest, the digest of that very file (DigestFile(file), taken by the
/// caller), and the record's population and generations finished with shape (fewer generations
/// only when the record notes a failed file). record holds what was read (also when it differs).
RecordMatch ReadRecordOf(const std::string& file, const RecordedFile& digest, const FileShape& shape,
                         RunRecord& record, std::string& error);

/// What the run a record names writes when it is made again.
enum class Rerun {
    reproduces,  ///< results.csv, and fitness.csv where the record has it, byte for byte
    differs,     ///< other bytes: the record's fields are not the run's (edited after it)
    notMade,     ///< the run could not be made again (why says); only the digests were compared
};

/// Makes the run record names again (its seed, parameters, geometry and algorithm; a stopped run
/// to the generations it finished) into a temporary directory under $TMPDIR (else /tmp), compares
/// each file's size and SHA-256 with the record's, and removes the files. A record that notes a
/// failed file is not made again: its files hold fewer lines than its run wrote. The run takes as
/// long as the original and needs as much room for its files while it goes.
Rerun RerunRecord(const RunRecord& record, std::string& why);

/// The directory part of path with its slash ("dir/" of "dir/results.csv"), "" for a bare name.
std::string DirectoryOf(const std::string& path);

}  // namespace kelvora::session
