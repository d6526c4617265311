#pragma once
// What became of a result file, in English: the one table stderr and run.json word a failure with.
// The window words the same kinds in its own language (FileProblem is the kind).

#include <string>

#include "io/result_files.h"

namespace kelvora::session {

/// "PATH: another run is writing this file; nothing was run", "PATH: cannot open: a FIFO, not a
/// regular file or a character device", "PATH: deleted during the run, its lines are lost",
/// "PATH: cannot open: REASON", "PATH: write failed, lines lost: REASON" (REASON: the system's
/// words for the failure's errno). path is the file as the front end names it.
std::string FileFailureText(const ResultFileFailure& failure, const std::string& path);

}  // namespace kelvora::session
