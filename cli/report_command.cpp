// kelvora-cli report: a lab report of a sweep's or an experiment's runs, one self-contained HTML page
// and, on request, the same page as a PDF printed by a headless browser.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "files.h"
#include "flags/flags.h"
#include "helpers.h"
#include "io/run_record.h"
#include "model/kelvora_version.h"
#include "output.h"
#include "report/report.h"
#include "session/labels.h"
#include "session/ui_language.h"
#include "sweep_input.h"

extern char** environ;

using namespace kelvora;
using namespace kelvora::cli;

namespace {

const char* const kUsage =
    "Usage: kelvora-cli report INPUT --output REPORT.html [--pdf REPORT.pdf] [--lang ja|en] [--title TEXT]\n"
    "                          [--baseline LABEL|all] [--alpha A]\n"
    "Writes a lab report of the runs in INPUT (a sweep file, as sweep, sweep-merge or the window write\n"
    "them): one self-contained HTML page (no script, no request of any kind: styles inline, charts as\n"
    "inline SVG) with the setup, the results table (successes within epsilon with their Wilson 95%\n"
    "interval, ERT, median final distance, median generation to epsilon), the run-length chart and the\n"
    "final distances' box plot, the tests of compare with their verdicts in words (and Friedman's test\n"
    "with a critical-difference diagram over several targets), what the exact optimum says, and how to\n"
    "reproduce the runs with the SHA-256 of INPUT.\n"
    "\n"
    "  --output FILE     the HTML page, written through FILE.part and a rename\n"
    "  --pdf FILE        also the page as an A4 PDF, printed by headless Chromium (Debian: chromium)\n"
    "  --lang ja|en      the report's language (default: the locale's, as the window decides it)\n"
    "  --title TEXT      the title (default: \"Experiment report: INPUT\" in the report's language)\n"
    "  --baseline LABEL  as compare takes it: each configuration against this one, or all pairs\n"
    "  --alpha A         the level of the verdicts and the critical difference (0 < A < 1; 0.05)\n"
    "  --help            this text\n"
    "\n"
    "Exit status: 0 done, 1 an output could not be written (or the PDF not printed), 2 bad arguments or\n"
    "a bad input file.\n";

int Fail(const std::string& message) { return Refuse("report", message); }

struct Options {
    std::string input, output, pdf, title, baseline;
    std::optional<report::Language> language;
    double alpha = 0.05;
};

std::string ParseArguments(const std::vector<std::string>& args, Options& o, bool& help) {
    const auto named = [](std::string& field, const char* flag) {
        return [&field, flag](const std::string& v) {
            field = v;
            return v.empty() ? std::string(flag) + ": empty" : std::string();
        };
    };
    const FlagTable table{
        {
            {"--output", true, named(o.output, "--output")},
            {"--pdf", true, named(o.pdf, "--pdf")},
            {"--title", true, named(o.title, "--title")},
            {"--baseline", true, named(o.baseline, "--baseline")},
            {"--lang", true,
             [&o](const std::string& v) {
                 if (v == "ja") o.language = report::Language::Japanese;
                 else if (v == "en") o.language = report::Language::English;
                 else return "--lang: " + Quoted(v) + " is not ja or en";
                 return std::string();
             }},
            {"--alpha", true,
             [&o](const std::string& v) {
                 const std::optional<double> alpha = ParseFiniteDouble(v);
                 if (!alpha || !(*alpha > 0.0 && *alpha < 1.0)) return "--alpha: " + Quoted(v) + " is not a level in (0, 1)";
                 o.alpha = *alpha;
                 return std::string();
             }},
            {"--help", false, nullptr, false, true, "-h"},
        },
        "report --help",
        [&o](const std::string& name) {
            if (!o.input.empty()) return "one input file only, got " + Quoted(o.input) + " and " + Quoted(name);
            o.input = name;
            return std::string();
        }};
    const FlagParse parsed = ParseFlags(table, args);
    if (!parsed.ok()) return parsed.error;
    if ((help = parsed.stopped)) return {};
    if (o.input.empty()) return "no input file given (see report --help)";
    if (o.output.empty()) return "no --output given: where the HTML report goes";
    return {};
}

// Today in UTC, or the day of SOURCE_DATE_EPOCH when it is set (a report made again reads the same).
std::string Today() {
    std::time_t now = std::time(nullptr);
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        char* end = nullptr;
        const long long seconds = std::strtoll(epoch, &end, 10);
        if (end && !*end && seconds >= 0) now = static_cast<std::time_t>(seconds);
    }
    std::tm day{};
    gmtime_r(&now, &day);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &day);
    return text;
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

}  // namespace

int kelvora::cli::ReportCommand(const std::vector<std::string>& args) {
    Options o;
    bool help = false;
    if (const std::string error = ParseArguments(args, o, help); !error.empty()) return Fail(error);
    if (help) {
        std::fputs(kUsage, stdout);
        return FinishStdout();
    }
    std::vector<std::string> paths{o.output};
    if (!o.pdf.empty()) paths.push_back(o.pdf);
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
    std::vector<SweepCombination> configurations;
    const std::string error = ReadSweepConfigurations(
        o.input, configurations, [&](const ParsedSweepRow& row, long long, std::size_t k) {
            in.runs.Add(row.result, k);
            in.epsilonRecorded = row.epsilon.has_value();
            in.epsilon = row.epsilon.value_or(kDefaultEpsilon);
        });
    if (!error.empty()) return refuse(error);
    const std::string shown = Printable(o.input);
    if (in.runs.groups.size() < 2)
        return refuse(shown + ": the file holds one configuration (" + AlgorithmSummary(in.runs.groups.front().first.algorithm) +
                      "): a report compares two or more");
    std::string labelsWarning;
    in.runs.Label(session::SweepFileLabels(o.input, configurations, labelsWarning));
    if (!labelsWarning.empty())
        std::fprintf(stderr, "kelvora-cli report: %s (the short labels are used)\n", Printable(labelsWarning).c_str());
    const std::optional<report::PairChoice> choice = report::ChoosePairs(in.runs, o.baseline);
    if (!choice) {
        std::string labels;
        for (const report::ConfigurationRuns& g : in.runs.groups) labels += (labels.empty() ? "" : "; ") + g.label;
        return refuse("--baseline: " + Quoted(o.baseline) + " is not a configuration of " + shown + " (" +
                      Printable(labels, 400) + ", or all)");
    }
    in.comparison = report::Compare(in.runs, *choice, o.alpha);
    in.title = o.title;
    in.date = Today();
    in.version = kVersion;
    in.inputName = std::filesystem::path(o.input).filename().string();
    const RecordedFile digest = DigestFile(o.input);
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
