// kelvora-cli report: a lab report of a sweep's or an experiment's runs, one self-contained HTML page
// and, on request, the same page as a PDF printed by a headless browser.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "files.h"
#include "flags/flags.h"
#include "helpers.h"
#include "io/run_record.h"
#include "model/kelvora_version.h"
#include "output.h"
#include "experiment/runs.h"
#include "report/report.h"
#include "session/labels.h"
#include "session/ui_language.h"
#include "signals.h"
#include "sweep_input.h"

extern char** environ;

using namespace kelvora;
using namespace kelvora::cli;

namespace {

int Fail(const std::string& message) { return Refuse("report", message); }

struct Options {
    std::string input, output, pdf, title, baseline;
    std::optional<report::Language> language;
    std::optional<double> alpha;
    int threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 1024u));
    bool quiet = false, noVerify = false;
};

// report's flags, each storing into o as it is read, with its help.
FlagTable ReportTable(Options& o) {
    const auto named = [](std::string& field, const char* flag) {
        return [&field, flag](const std::string& v) {
            field = v;
            return v.empty() ? std::string(flag) + ": empty" : std::string();
        };
    };
    FlagTable table{
        {
            Flag{"--output", true, named(o.output, "--output")}
                .Describe("REPORT.html", "the HTML page, written through FILE.part and a rename")
                .Required(),
            Flag{"--pdf", true, named(o.pdf, "--pdf")}.Describe(
                "REPORT.pdf", "also the page as an A4 PDF, printed by headless Chromium (Debian: chromium)"),
            Flag{"--title", true, named(o.title, "--title")}.Describe(
                "TEXT", "the title", "an experiment file's title, else \"Experiment report: INPUT\" in the report's language"),
            Flag{"--baseline", true, named(o.baseline, "--baseline")}.Describe(
                "LABEL|all", "as compare takes it: each configuration against this one, or all pairs"),
            Flag{"--lang", true,
                 [&o](const std::string& v) {
                     if (v == "ja") o.language = report::Language::Japanese;
                     else if (v == "en") o.language = report::Language::English;
                     else return "--lang: " + Quoted(v) + " is not ja or en";
                     return std::string();
                 }}
                .Describe("ja|en", "the report's language", "the locale's, as the window decides it"),
            Flag{"--alpha", true,
                 [&o](const std::string& v) {
                     const std::optional<double> alpha = ParseFiniteDouble(v);
                     if (!alpha || !(*alpha > 0.0 && *alpha < 1.0)) return "--alpha: " + Quoted(v) + " is not a level in (0, 1)";
                     o.alpha = *alpha;
                     return std::string();
                 }}
                .Describe("A", "the level of the verdicts and the critical difference, 0 < A < 1",
                          "the experiment file's, else 0.05"),
            Flag{"--threads", true,
                 [&o](const std::string& v) {
                     const auto t = ParseInteger(v);
                     if (!t || *t < 1 || *t > 1024) return "--threads: " + Quoted(v) + " is not an integer in 1..1024";
                     o.threads = static_cast<int>(*t);
                     return std::string();
                 }}
                .Describe("N", "worker threads making an experiment's runs (again), 1..1024", "the hardware's count"),
            Flag{"--no-verify", false, [&o](const std::string&) { o.noVerify = true; return std::string(); }}.Describe(
                nullptr, "an experiment's runs file is not made again (the report says it is not verified)"),
            Flag{"--quiet", false, [&o](const std::string&) { o.quiet = true; return std::string(); }}.Describe(
                nullptr, "no progress bar"),
            Flag{"--help", false, nullptr, false, true, "-h"}.Describe(nullptr, "this text"),
        },
        "report --help",
        [&o](const std::string& name) {
            if (!o.input.empty()) return "one input file only, got " + Quoted(o.input) + " and " + Quoted(name);
            o.input = name;
            return std::string();
        }};
    table.text = {
        "kelvora-cli report", "INPUT",
        "Writes a lab report of the runs in INPUT: a sweep file (as sweep, sweep-merge or the window write\n"
        "them) or an experiment file (NAME.kelvora.json). Of an experiment file, the runs file beside it,\n"
        "NAME.runs.csv, is made again run by run as experiment verify does, and the report says whether it\n"
        "matches and which row first differs; without that file the experiment is run and its runs written\n"
        "there (with the labels file), which the report says. The report is one self-contained HTML page (no script, no request of any kind: styles inline, charts as\n"
        "inline SVG) with the setup, the results table (successes within epsilon with their Wilson 95%\n"
        "interval, ERT, median final distance, median generation to epsilon), the run-length chart and the\n"
        "final distances' box plot, the tests of compare with their verdicts in words (and Friedman's test\n"
        "with a critical-difference diagram over several targets), what the exact optimum says, and how to\n"
        "reproduce the runs with the SHA-256 of INPUT.",
        "Exit status: 0 done (a runs file that does not match is reported, not refused), 1 an output could\n"
        "not be written (or the PDF not printed), 2 bad arguments or a bad input file, 130, 143 or 129\n"
        "stopped by SIGINT, SIGTERM or SIGHUP."};
    return table;
}

std::string ParseArguments(const std::vector<std::string>& args, Options& o, bool& help) {
    const FlagTable table = ReportTable(o);
    const FlagParse parsed = ParseFlags(table, args);
    if (!parsed.ok()) return parsed.error;
    if ((help = parsed.stopped)) return {};
    if (o.input.empty()) return "no input file given (see report --help)";
    if (o.output.empty()) return "no --output given: where the HTML report goes";
    return {};
}

// The first headless browser found on PATH, or "".
std::string Browser() {
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/bin:/bin";
    for (const char* name : {"chromium", "chromium-browser", "google-chrome", "google-chrome-stable"}) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t colon = dirs.find(':', start);
            const std::string dir = dirs.substr(start, colon - start);
            const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
            if (colon == std::string::npos) break;
            start = colon + 1;
        }
    }
    return {};
}

// Prints the HTML page at html to a PDF's bytes; "" or the reason.
std::string PrintPdf(const std::string& html, std::string& pdf) {
    const std::string browser = Browser();
    if (browser.empty()) return "no headless browser found on PATH (chromium; Debian: apt install chromium)";
    char scratch[] = "/tmp/kelvora-report-XXXXXX";
    if (!::mkdtemp(scratch)) return std::string("cannot make a temporary directory: ") + std::strerror(errno);
    const std::filesystem::path dir = scratch;
    const std::string out = (dir / "report.pdf").string();
    std::vector<std::string> args{browser, "--headless", "--disable-gpu", "--no-first-run", "--no-default-browser-check",
                                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                                  "--disable-extensions", "--user-data-dir=" + (dir / "profile").string(),
                                  "--no-pdf-header-footer", "--print-to-pdf=" + out,
                                  "file://" + std::filesystem::absolute(html).string()};
    // Chromium's sandbox refuses to start as root.
    if (::geteuid() == 0) args.insert(args.begin() + 1, "--no-sandbox");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, (dir / "browser.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    std::string reason;
    if (spawned != 0) {
        reason = "cannot start " + browser + ": " + std::strerror(spawned);
    } else {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        std::string bytes;
        if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0) || !ReadInput(out, bytes).empty() ||
            bytes.compare(0, 5, "%PDF-") != 0)
            reason = browser + " did not print the page (status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
        else
            pdf = std::move(bytes);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return reason;
}

bool IsExperimentPath(const std::string& path) {
    return path.size() > 5 && path.compare(path.size() - 5, 5, ".json") == 0;
}

// The runs of an experiment file: its runs file made again row by row (unless --no-verify), or,
// without one, the experiment run into it. -1 to go on, else the exit status (the reason told).
int MakeOrCheckRuns(const Options& o, const experiment::ExperimentPlan& plan, const std::string& runsPath,
                    report::ReportInput& in) {
    const std::string runs = Printable(runsPath), exp = Printable(o.input);
    const long long total = experiment::TotalRuns(plan);
    InstallStopSignals();
    ProgressBar bar(!o.quiet);
    const auto draw = [&bar](const char* tail) {
        return [&bar, tail](long long done, long long all) {
            if (bar.Due(done == all)) bar.Draw(done, all, tail);
        };
    };
    struct stat st{};
    if (::stat(runsPath.c_str(), &st) == 0) {
        if (o.noVerify) return -1;
        if (!o.quiet)
            std::fprintf(stderr, "kelvora-cli report: making the %s runs of %s again to check them against %s\n",
                         std::to_string(total).c_str(), runs.c_str(), exp.c_str());
        experiment::RunsCheck check;
        const std::string error = experiment::VerifyRuns(plan, runsPath, runs, o.threads, &StopFlag(), check, draw("runs made again"));
        bar.Finish();
        if (!error.empty()) return Fail(error);
        if (StopFlag().load()) {
            std::fprintf(stderr, "kelvora-cli report: stopped by %s; no report written\n", StopSignalName());
            return StopExitStatus();
        }
        in.check = check;
        using Kind = experiment::RunsCheck::Kind;
        if (check.kind == Kind::differs || check.kind == Kind::foreign)
            std::fprintf(stderr, "kelvora-cli report: %s:%lld: not reproduced (%s); the report says so\n", runs.c_str(), check.line,
                         check.kind == Kind::differs ? "the run made again writes another row"
                                                     : experiment::ForeignText(check.why).c_str());
        else if (check.kind == Kind::incomplete)
            std::fprintf(stderr, "kelvora-cli report: %s: not reproduced in full: it holds %lld of the experiment's %lld runs; the report says so\n",
                         runs.c_str(), check.held, check.expected);
        return -1;
    }
    std::fprintf(stderr, "kelvora-cli report: %s is not there: running the experiment %s (%s runs) into it\n", runs.c_str(),
                 exp.c_str(), std::to_string(total).c_str());
    OutputFile file, labelsFile;
    if (const std::string error = OpenOutput(runsPath, file); !error.empty()) return Fail(error);
    if (const std::string error = OpenOutput(session::LabelsPath(runsPath), labelsFile); !error.empty()) {
        Abandon(file);
        return Fail(error);
    }
    const std::string written = WriteWhole(file, [&](int fd) {
        const bool ok = experiment::RunExperiment(
            plan, o.threads, &StopFlag(), [fd](const std::string& text) { return WriteAll(fd, text); }, draw("runs"));
        if (!ok && StopFlag().load()) errno = EINTR;
        return ok;
    });
    bar.Finish();
    if (StopFlag().load()) {
        Abandon(labelsFile);
        std::fprintf(stderr, "kelvora-cli report: stopped by %s; %s not written, no report written\n", StopSignalName(),
                     runs.c_str());
        return StopExitStatus();
    }
    std::vector<SweepCombination> configurations;
    std::vector<std::string> labels;
    for (const experiment::PlannedConfiguration& c : plan.configurations) {
        configurations.push_back({c.params, {}, 0, c.algorithm});
        labels.push_back(c.label);
    }
    std::string failure = written;
    if (failure.empty()) failure = WriteWhole(labelsFile, session::LabelsJson(configurations, labels));
    else Abandon(labelsFile);
    if (!failure.empty()) {
        std::fprintf(stderr, "kelvora-cli report: %s: %s\n", runs.c_str(), failure.c_str());
        return 1;
    }
    in.ranNow = true;
    return -1;
}

}  // namespace

FlagTable kelvora::cli::ReportFlags() {
    static Options unused;  // the handlers are never called
    return ReportTable(unused);
}

int kelvora::cli::ReportCommand(const std::vector<std::string>& args) {
    Options o;
    bool help = false;
    if (const std::string error = ParseArguments(args, o, help); !error.empty()) return Fail(error);
    if (help) {
        std::fputs(HelpText(ReportFlags()).c_str(), stdout);
        return FinishStdout();
    }
    const bool experimentInput = IsExperimentPath(o.input);
    const std::string runsPath = experimentInput ? experiment::RunsPathOf(o.input) : o.input;
    std::vector<std::string> paths{o.output};
    if (!o.pdf.empty()) paths.push_back(o.pdf);
    if (experimentInput) paths.push_back(runsPath);
    paths.push_back(o.input);
    if (const auto same = SameFile(paths, paths.size() - 1); same.first >= 0)
        return Fail(static_cast<std::size_t>(same.second) == paths.size() - 1
                        ? Quoted(paths[same.first]) + " is the input file itself"
                        : "--output and --pdf name the same file, " + Quoted(paths[same.first]));

    OutputFile html, pdf;
    for (auto [path, file] : {std::pair{&o.output, &html}, std::pair{&o.pdf, &pdf}}) {
        if (path->empty()) continue;
        if (const std::string error = OpenOutput(*path, *file); !error.empty()) {
            std::fprintf(stderr, "kelvora-cli report: %s\n", error.c_str());
            return 1;
        }
    }
    const auto refuse = [&](const std::string& message) {
        Abandon(html);
        Abandon(pdf);
        return Fail(message);
    };

    report::ReportInput in;
    in.language = o.language ? *o.language
                             : session::EnglishFromEnvironment() ? report::Language::English : report::Language::Japanese;
    if (experimentInput) {
        experiment::Experiment e;
        experiment::ExperimentPlan plan;
        experiment::ExperimentFault fault = experiment::ReadExperimentFile(o.input, e);
        if (!fault) fault = experiment::PlanExperiment(e, plan);
        if (fault) return refuse(Printable(o.input) + ": " + experiment::ExperimentFaultText(fault));
        if (!ReadInput(o.input, in.experimentJson).empty()) return refuse(Printable(o.input) + ": cannot read it again");
        in.experimentName = std::filesystem::path(o.input).filename().string();
        if (!o.alpha) o.alpha = plan.alpha;
        if (o.baseline.empty()) o.baseline = plan.baseline;
        if (o.title.empty()) o.title = e.title.value_or("");
        const int status = MakeOrCheckRuns(o, plan, runsPath, in);
        if (status >= 0) {
            Abandon(html);
            Abandon(pdf);
            return status;
        }
    }
    const std::string error = ReadSweepRuns(runsPath, in.runs, [&](const ParsedSweepRow& row, long long, std::size_t) {
        in.epsilonRecorded = row.epsilon.has_value();
        in.epsilon = row.epsilon.value_or(kDefaultEpsilon);
    });
    if (!error.empty()) return refuse(error);
    const std::string shown = Printable(runsPath);
    std::string labelsWarning;
    in.runs.Label(session::SweepFileLabels(runsPath, in.runs.configurations(), labelsWarning));
    if (!labelsWarning.empty())
        std::fprintf(stderr, "kelvora-cli report: %s (the short labels are used)\n", Printable(labelsWarning).c_str());
    if (const report::ReportFault fault = report::CompareRuns(in, o.baseline, o.alpha.value_or(0.05))) {
        if (fault.kind == report::ReportFault::Kind::oneConfiguration)
            return refuse(shown + ": the file holds one configuration (" + fault.value + "): a report compares two or more");
        std::string labels;
        for (const experiment::ConfigurationRuns& g : in.runs.groups) labels += (labels.empty() ? "" : "; ") + g.label;
        return refuse("--baseline: " + Quoted(o.baseline) + " is not a configuration of " + shown + " (" +
                      Printable(labels, 400) + ", or all)");
    }
    in.title = o.title;
    in.date = report::ReportDate();
    in.version = kVersion;
    in.inputName = std::filesystem::path(runsPath).filename().string();
    const RecordedFile digest = DigestFile(runsPath);
    if (!digest.present) return refuse(shown + ": cannot read it again for its SHA-256");
    in.inputSize = digest.size;
    in.inputSha256 = digest.sha256;

    if (const std::string reason = WriteWhole(html, report::RenderHtml(in)); !reason.empty()) {
        std::fprintf(stderr, "kelvora-cli report: %s: cannot write: %s\n", Printable(o.output).c_str(),
                     Printable(reason, SIZE_MAX).c_str());
        Abandon(pdf);
        return 1;
    }
    if (!o.pdf.empty()) {
        std::string bytes;
        std::string reason = PrintPdf(o.output, bytes);
        if (reason.empty()) reason = WriteWhole(pdf, bytes);
        if (!reason.empty()) {
            std::fprintf(stderr, "kelvora-cli report: %s: no PDF: %s; the HTML report was written\n",
                         Printable(o.pdf).c_str(), Printable(reason, SIZE_MAX).c_str());
            Abandon(pdf);
            return 1;
        }
    }
    return FinishStdout();
}
