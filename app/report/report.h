#pragma once
// A lab report of an experiment: one self-contained HTML page (styles inline, charts as inline SVG,
// no script and no request of any kind) with the setup, the results table, the run-length and
// distance charts, the verdicts in words, what the exact optimum says and how to reproduce it, in
// Japanese or English. Fed plain numbers: the runs grouped by configuration and their comparison.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "experiment/runs.h"
#include "report/comparison.h"

namespace kelvora::experiment {
class ExperimentModel;
}

namespace kelvora::report {

enum class Language { Japanese, English };

/// Everything a report shows.
struct ReportInput {
    Language language = Language::Japanese;
    std::string title;             ///< "" for the default title
    std::string date;              ///< when it was made, YYYY-MM-DD
    std::string version;           ///< the program's version
    RunsByConfiguration runs;      ///< grouped and labelled (at least two groups)
    Comparison comparison;         ///< of runs
    double epsilon = 0.5;          ///< px, the epsilon first_generation_within_epsilon was measured at
    bool epsilonRecorded = false;  ///< false: the file did not say; 0.5 assumed
    std::string inputName;         ///< the runs file as the reader should name it (its base name)
    std::uint64_t inputSize = 0;   ///< bytes of the runs file the report was made from
    std::string inputSha256;       ///< its SHA-256, 64 lower-case hex digits
    std::string experimentName;    ///< the experiment file's base name, "" when there is none
    std::string experimentJson;    ///< its text, embedded as a download; "" when there is none
    /// With an experiment file: how the runs file stood when its runs were made again (nullopt: they
    /// were not, see ranNow).
    std::optional<experiment::RunsCheck> check;
    bool ranNow = false;           ///< the runs were made for this report: no runs file was there
};

/// Why runs make no report.
struct ReportFault {
    enum class Kind {
        none,
        oneConfiguration,  ///< the runs are of one configuration (value: its algorithm's summary)
        baseline,          ///< no configuration has the baseline's label (value: that label)
    };
    Kind kind = Kind::none;
    std::string value;
    explicit operator bool() const { return kind != Kind::none; }
};

/// Compares input.runs (grouped and labelled) into input.comparison: the pairs baseline names (as
/// ChoosePairs takes it) at alpha, 0 < alpha < 1.
ReportFault CompareRuns(ReportInput& input, const std::string& baseline, double alpha);

/// The page of the runs a person's experiment shows (at least two configurations with runs): in
/// with today's date, this version, the model's title (where in has none), epsilon and runs, grouped
/// by label and compared at 0.05 against baseline (a label, or "all"; every pair where no
/// configuration has that label), the runs CSV's size and SHA-256. On any thread, over a copy.
std::string ExperimentReportHtml(ReportInput in, const experiment::ExperimentModel& model, const std::string& baseline);

/// The SHA-256 of bytes: 64 lower-case hex digits.
std::string Sha256Text(std::string_view bytes);

/// Today in UTC as YYYY-MM-DD, or the day of SOURCE_DATE_EPOCH (seconds) when it is set: a report
/// made again reads the same.
std::string ReportDate();

/// An ERT as the report and the tables print it: a whole number of evaluations with thousands
/// separators ("15,759"); "∞" when no run succeeded.
std::string ErtText(double evaluations);

/// The verdict on one pair in the report's language (English: exactly compare's words).
std::string VerdictText(const PairVerdictInput& counts, double alpha, Language language);

/// What the page says of whether the runs shown are the experiment's; "" for a sweep file alone.
std::string ProvenanceText(const ReportInput& input);

/// The page: UTF-8 HTML, LF line ends.
std::string RenderHtml(const ReportInput& input);

/// The charts alone, as the page embeds them: SVG elements, width x height user units.
std::string RunLengthSvg(const ReportInput& input, int width, int height);
std::string DistanceBoxSvg(const ReportInput& input, int width, int height);
std::string CriticalDifferenceSvg(const ReportInput& input, int width);

/// One line that says what a chart shows: epsilon, seeds, populations, targets and budget
/// ("ε = 0.5 px · 100 seeds (1..100) × 1 target (68, 180) · 20 × 100 = 2,000 evaluations").
std::string SetupLine(const ReportInput& input);

/// The same line of any runs (grouped here by configuration), as a chart saved alone carries it
/// under the picture. epsilonRecorded false: the runs' file did not say their epsilon.
std::string SetupLine(const std::vector<SweepResult>& runs, double epsilon, bool epsilonRecorded, Language language);
/// The same of runs given as lists (one per configuration, as a window holds them), none copied.
std::string SetupLine(const std::vector<std::vector<SweepResult>>& lists, double epsilon, bool epsilonRecorded,
                      Language language);

}  // namespace kelvora::report
