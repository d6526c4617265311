#include "report/report.h"

#include <nettle/base64.h>
#include <nettle/sha2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>

#include "batch/runlength.h"
#include "batch/sweep_table.h"
#include "experiment/experiment_model.h"
#include "experiment/outcomes.h"
#include "ga/algorithm.h"
#include "model/kelvora_version.h"
#include "model/text.h"

namespace kelvora::report {
namespace {

// Text in the page's language.
struct Words {
    Language language;
    const char* operator()(const char* english, const char* japanese) const {
        return language == Language::English ? english : japanese;
    }
};

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string Format(const char* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// A whole number with thousands separators: 15759 as "15,759".
std::string Grouped(long long n) {
    const std::string digits = std::to_string(n < 0 ? -n : n);
    std::string text = n < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

std::string Percent(double rate) { return Format("%.1f", 100.0 * rate) + "%"; }

std::string Distance(double px) { return Format(px < 10 ? "%.3g" : "%.1f", px); }

long long Budget(const SweepCombination& c) {
    return static_cast<long long>(c.params.populationSize) * c.params.generationCount;
}

// Eight colours (colour-blind safe), solid and then dashed: sixteen configurations told apart.
const char* const kColours[] = {"#0072b2", "#d55e00", "#009e73", "#cc79a7", "#e69f00", "#56b4e9", "#000000", "#999933"};
std::string Colour(std::size_t k) { return kColours[k % 8]; }
std::string Dash(std::size_t k) { return k / 8 % 2 ? " stroke-dasharray=\"6 3\"" : ""; }

// Coordinates in SVG text: two decimals are a hundredth of a user unit.
std::string N(double v) {
    std::string text = Format("%.2f", v);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
}

std::string SeedsText(const RunsByConfiguration& runs) {
    std::set<std::uint32_t> seeds;
    for (const ConfigurationRuns& g : runs.groups) seeds.insert(g.seeds.begin(), g.seeds.end());
    if (seeds.empty()) return "";
    const std::uint64_t span = static_cast<std::uint64_t>(*seeds.rbegin()) - *seeds.begin() + 1;
    if (span == seeds.size())
        return seeds.size() == 1 ? std::to_string(*seeds.begin())
                                 : std::to_string(*seeds.begin()) + ".." + std::to_string(*seeds.rbegin());
    std::string text;
    std::size_t shown = 0;
    for (const std::uint32_t s : seeds) {
        if (shown++ == 8) return text + ", …";
        text += (text.empty() ? "" : ", ") + std::to_string(s);
    }
    return text;
}

std::string TargetText(const SweepTarget& t) {
    std::string text = "(";
    text += std::to_string(t.x);
    text += ", ";
    text += std::to_string(t.y);
    return text += ")";
}

std::string EffectWord(double a12, Language language) {
    const std::string word = EffectSizeWord(a12);
    if (language == Language::English) return word;
    if (word == "large") return "大きい";
    if (word == "medium") return "中程度の";
    if (word == "small") return "小さい";
    return "無視できる";
}

// Each configuration's parameters, spelled as the flags take them.
std::string ParametersText(const SweepCombination& c) {
    return "population " + std::to_string(c.params.populationSize) + ", generations " +
           std::to_string(c.params.generationCount) + ", crossover " + ExactText(c.params.crossoverRate) +
           ", mutation " + ExactText(c.params.mutationProbability) + ", " + AlgorithmSummary(c.algorithm);
}

// The names of the columns whose values differ among the configurations.
std::vector<std::string> DifferingParameters(const RunsByConfiguration& runs) {
    static const char* const kNames[] = {"population", "generations", "crossover", "mutation", "algorithm",
                                         "encoding", "selection", "elitism", "crossover_operator", "mutation_operator"};
    const auto values = [](const SweepCombination& c) {
        std::vector<std::string> v{std::to_string(c.params.populationSize), std::to_string(c.params.generationCount),
                                   ExactText(c.params.crossoverRate), ExactText(c.params.mutationProbability)};
        for (const std::string& f : AlgorithmFields(c.algorithm)) v.push_back(f);
        return v;
    };
    const std::vector<std::string> first = values(runs.groups.front().first);
    std::vector<bool> differs(first.size(), false);
    for (const ConfigurationRuns& g : runs.groups) {
        const std::vector<std::string> v = values(g.first);
        for (std::size_t i = 0; i < v.size(); ++i) differs[i] = differs[i] || v[i] != first[i];
    }
    std::vector<std::string> names;
    for (std::size_t i = 0; i < differs.size(); ++i)
        if (differs[i]) names.push_back(kNames[i]);
    return names;
}

std::string Base64(const std::string& bytes) {
    std::string out(BASE64_ENCODE_RAW_LENGTH(bytes.size()), '\0');
    base64_encode_raw(reinterpret_cast<char*>(out.data()), bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    return out;
}

const char* const kStyle = R"(
:root { color-scheme: light; }
body { margin: 0; font-family: system-ui, -apple-system, "Segoe UI", "Noto Sans", "Noto Sans CJK JP", "IPAGothic",
       "IPAexGothic", "Hiragino Sans", "Yu Gothic", "Meiryo", sans-serif; color: #1a1a1a; background: #fff;
       line-height: 1.5; }
main { max-width: 52rem; margin: 0 auto; padding: 1rem; }
h1 { font-size: 1.6rem; margin: 0.5rem 0 0.2rem; }
h2 { font-size: 1.2rem; margin: 1.6rem 0 0.4rem; border-bottom: 1px solid #ccc; }
.date { color: #555; margin: 0; }
.caption, figcaption { font-size: 0.92rem; color: #333; }
figure { margin: 0.5rem 0; }
svg { width: 100%; height: auto; display: block; }
.wide { overflow-x: auto; }
table { border-collapse: collapse; font-size: 0.88rem; margin: 0.4rem 0; }
th, td { border-bottom: 1px solid #ddd; padding: 0.2rem 0.5rem; text-align: right; vertical-align: top; }
th { background: #f3f3f3; }
td { white-space: nowrap; }
td.label, th.label { text-align: left; white-space: normal; }
.swatch { display: inline-block; width: 1.6em; vertical-align: middle; }
ul.legend { list-style: none; padding: 0; margin: 0.2rem 0; columns: 2 16rem; font-size: 0.88rem; }
p.warning { border-left: 4px solid #c0392b; background: #fbeeee; padding: 0.4rem 0.6rem; }
p.provenance { border-left: 4px solid #2e8b57; padding: 0.2rem 0.6rem; }
ul.verdicts li { margin: 0.3rem 0; }
code, pre { font-family: ui-monospace, "DejaVu Sans Mono", "Noto Sans Mono CJK JP", monospace; font-size: 0.85rem; }
pre { background: #f6f6f6; padding: 0.5rem; overflow-x: auto; white-space: pre-wrap; word-break: break-all; }
@page { size: A4; margin: 14mm; }
@media print {
  main { max-width: none; padding: 0; }
  h2 { break-after: avoid; }
  figure, table { break-inside: avoid; }
  .wide { overflow: visible; }
  table { font-size: 0.72rem; width: 100%; }
  th, td { white-space: normal; padding: 0.15rem 0.3rem; }
}
)";

}  // namespace

ReportFault CompareRuns(ReportInput& in, const std::string& baseline, double alpha) {
    if (in.runs.groups.size() < 2)
        return {ReportFault::Kind::oneConfiguration,
                in.runs.groups.empty() ? std::string() : AlgorithmSummary(in.runs.groups.front().first.algorithm)};
    const std::optional<PairChoice> choice = ChoosePairs(in.runs, baseline);
    if (!choice) return {ReportFault::Kind::baseline, baseline};
    in.comparison = Compare(in.runs, *choice, alpha);
    return {};
}

std::string ExperimentReportHtml(ReportInput in, const experiment::ExperimentModel& model, const std::string& baseline) {
    in.date = ReportDate();
    in.version = kVersion;
    if (in.title.empty() && model.title()) in.title = *model.title();
    in.epsilon = model.epsilon();
    in.epsilonRecorded = model.epsilonRecorded();
    std::vector<SweepResult> all;
    for (const auto& runs : model.results()) all.insert(all.end(), runs.begin(), runs.end());
    in.runs = experiment::GroupRuns(all, model.labels());
    if (CompareRuns(in, baseline, 0.05)) CompareRuns(in, "", 0.05);
    const std::string csv = model.RunsCsv();
    in.inputSize = csv.size();
    in.inputSha256 = Sha256Text(csv);
    return RenderHtml(in);
}

std::string Sha256Text(std::string_view bytes) {
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
    unsigned char digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

std::string ReportDate() {
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

std::string ErtText(double evaluations) {
    if (std::isinf(evaluations)) return "∞";
    if (!std::isfinite(evaluations)) return "–";
    return Grouped(std::llround(evaluations));
}

std::string VerdictText(const PairVerdictInput& in, double alpha, Language language) {
    if (language == Language::English) return PairVerdict(in, alpha);
    const std::string a = in.a, b = in.b;
    const std::string effect = "、" + EffectWord(in.a12, language) + "効果";
    if (in.fisherPHolm < alpha) {
        const bool more = in.aSuccesses * in.bRuns > in.bSuccesses * in.aRuns;
        return a + " は " + b + (more ? " より成功が多い (" : " より成功が少ない (") + std::to_string(in.aSuccesses) + "/" +
               std::to_string(in.aRuns) + " 対 " + std::to_string(in.bSuccesses) + "/" + std::to_string(in.bRuns) +
               ", Holm 補正後 p " + PValueText(in.fisherPHolm) + ")" + effect;
    }
    if (in.mwuPHolm < alpha)
        return a + " は " + b + (in.a12 > 0.5 ? " より目標点に近く終わる (A12 = " : " より目標点から遠く終わる (A12 = ") +
               Format("%.3f", in.a12) + ", Holm 補正後 p " + PValueText(in.mwuPHolm) + ")" + effect;
    return a + " と " + b + " の差の証拠なし (" + std::to_string(in.seeds) + " シード" +
           (in.targets > 1 ? " × 目標点 " + std::to_string(in.targets) + " 個" : std::string()) + ")";
}

std::string ProvenanceText(const ReportInput& in) {
    const Words w{in.language};
    const std::string runs = in.inputName;
    if (in.experimentName.empty()) return {};
    if (in.ranNow)
        return w("No runs file was there: the runs were made for this report from the experiment file and written to ",
                 "実行ファイルがなかったため、このレポートのために実験ファイルから実行し、結果を ") + runs +
               w(".", " に書き出した。");
    if (!in.check)
        return w("Not verified: the runs in ", "未検証: ") + runs +
               w(" were not made again, so that they are the experiment's runs is not known.",
                 " の実行はやり直されておらず、実験の実行であるかは確かめられていない。");
    const experiment::RunsCheck& c = *in.check;
    const std::string line = std::to_string(c.line);
    switch (c.kind) {
        case experiment::RunsCheck::Kind::reproduced:
            return w("Verified: every one of the experiment's ", "検証済み: 実験の ") + std::to_string(c.expected) +
                   w(" runs was made again and writes exactly its row of ", " 回の実行をすべてやり直し、") + runs +
                   w(".", " の各行と完全に一致した。");
        case experiment::RunsCheck::Kind::differs:
            return w("Does not match: ", "一致しない: ") + runs + w(" is not reproduced; the first row that differs is line ",
                                                                      " は再現しない。最初に異なる行は ") +
                   line + w(" (its run made again writes another row). The numbers in this report are the file's, not the experiment's.",
                            " 行目 (やり直した実行が別の行を書く)。このレポートの数値はファイルのもので、実験のものではない。");
        case experiment::RunsCheck::Kind::foreign:
            return w("Does not match: ", "一致しない: ") + runs + w(" is not reproduced; line ", " は再現しない。") + line +
                   w(" is no run of the experiment (", " 行目は実験の実行ではない (") +
                   (c.why == experiment::RunsCheck::Foreign::configuration ? w("its configuration is none of the experiment's", "構成が実験にない")
                    : c.why == experiment::RunsCheck::Foreign::target      ? w("its target is none of the experiment's", "目標点が実験にない")
                                                                           : w("its seed is none of the experiment's", "シードが実験にない")) +
                   w("). The numbers in this report are the file's, not the experiment's.", ")。このレポートの数値はファイルのもので、実験のものではない。");
        case experiment::RunsCheck::Kind::incomplete:
            return w("Does not match: ", "一致しない: ") + runs + w(" holds ", " は実験の ") +
                   (in.language == Language::English ? std::to_string(c.held) + " of the experiment's " + std::to_string(c.expected) + " runs"
                                                     : std::to_string(c.expected) + " 回の実行のうち " + std::to_string(c.held) + " 回") +
                   w(" only; those it holds reproduce.", " しか含まない。含まれる実行は再現する。");
        case experiment::RunsCheck::Kind::stopped: break;
    }
    return w("Not verified: the check of the runs was stopped.", "未検証: 実行の確認が中断された。");
}

std::string SetupLine(const std::vector<SweepResult>& runs, double epsilon, bool epsilonRecorded, Language language) {
    ReportInput in;
    in.language = language;
    in.runs = experiment::GroupRuns(runs);
    in.epsilon = epsilon;
    in.epsilonRecorded = epsilonRecorded;
    return in.runs.groups.empty() ? std::string() : SetupLine(in);
}

std::string SetupLine(const std::vector<std::vector<SweepResult>>& lists, double epsilon, bool epsilonRecorded,
                      Language language) {
    ReportInput in;
    in.language = language;
    for (const std::vector<SweepResult>& list : lists)
        for (const SweepResult& r : list) in.runs.Add(r);  // the line names no label: none is made
    in.epsilon = epsilon;
    in.epsilonRecorded = epsilonRecorded;
    return in.runs.groups.empty() ? std::string() : SetupLine(in);
}

std::string SetupLine(const ReportInput& in) {
    const Words w{in.language};
    const RunsByConfiguration& runs = in.runs;
    const std::size_t seeds = runs.groups.empty() ? 0 : runs.groups.front().seeds.size();
    // Runs of a file that did not record their epsilon: in the words the file's readers use.
    std::string line = (in.epsilonRecorded ? "ε = " + ExactText(in.epsilon) + " px"
                                           : w("ε not recorded; assumed ", "ε の記録なし、") + ExactText(in.epsilon) +
                                                 w("", " と仮定")) +
                       " · " + std::to_string(seeds) + w(seeds == 1 ? " seed (" : " seeds (", " シード (") + SeedsText(runs) + ") × " +
                       std::to_string(runs.targets.size()) + w(runs.targets.size() == 1 ? " target " : " targets ", " 目標点 ");
    for (std::size_t t = 0; t < runs.targets.size() && t < 4; ++t) line += (t ? ", " : "") + TargetText(runs.targets[t]);
    if (runs.targets.size() > 4) line += ", …";
    bool one = true;
    for (const ConfigurationRuns& g : runs.groups) one &= Budget(g.first) == Budget(runs.groups.front().first);
    const SweepCombination& c = runs.groups.front().first;
    if (one)
        line += " · " + std::to_string(c.params.populationSize) + " × " + std::to_string(c.params.generationCount) + " = " +
                Grouped(Budget(c)) + w(" evaluations", " 評価");
    else
        line += w(" · budget per configuration", " · 予算は構成ごと");
    return line;
}

std::string RunLengthSvg(const ReportInput& in, int width, int height) {
    const RunsByConfiguration& runs = in.runs;
    const Words w{in.language};
    const double left = 56, right = 12, top = 10, bottom = 40;
    const double pw = width - left - right, ph = height - top - bottom;
    long long budget = 1;
    for (const ConfigurationRuns& g : runs.groups) budget = std::max(budget, Budget(g.first));
    const auto X = [&](double e) { return left + pw * e / static_cast<double>(budget); };
    const auto Y = [&](double r) { return top + ph * (1.0 - r); };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + std::to_string(width) + " " +
                      std::to_string(height) + "\" role=\"img\" font-size=\"11\" font-family=\"sans-serif\">";
    // Grid and axes: the share of runs in tenths, evaluations in fifths of the largest budget.
    for (int i = 0; i <= 10; i += 2) {
        svg += "<line x1=\"" + N(left) + "\" x2=\"" + N(left + pw) + "\" y1=\"" + N(Y(i / 10.0)) + "\" y2=\"" + N(Y(i / 10.0)) +
               "\" stroke=\"#e4e4e4\"/><text x=\"" + N(left - 4) + "\" y=\"" + N(Y(i / 10.0) + 4) +
               "\" text-anchor=\"end\">" + std::to_string(i * 10) + "%</text>";
    }
    for (int i = 0; i <= 5; ++i) {
        const double e = static_cast<double>(budget) * i / 5.0;
        svg += "<line x1=\"" + N(X(e)) + "\" x2=\"" + N(X(e)) + "\" y1=\"" + N(top) + "\" y2=\"" + N(top + ph) +
               "\" stroke=\"#e4e4e4\"/><text x=\"" + N(X(e)) + "\" y=\"" + N(top + ph + 14) + "\" text-anchor=\"" +
               (i == 0 ? "start" : i == 5 ? "end" : "middle") + "\">" + Grouped(std::llround(e)) + "</text>";
    }
    svg += "<rect x=\"" + N(left) + "\" y=\"" + N(top) + "\" width=\"" + N(pw) + "\" height=\"" + N(ph) +
           "\" fill=\"none\" stroke=\"#888\"/>";
    svg += "<text x=\"" + N(left + pw / 2) + "\" y=\"" + N(height - 6.0) + "\" text-anchor=\"middle\">" +
           w("evaluations", "評価回数") + "</text>";
    // Each configuration: its band, then its steps, drawn where the share changes.
    std::string bands, steps;
    for (std::size_t k = 0; k < runs.groups.size(); ++k) {
        const ConfigurationRuns& g = runs.groups[k];
        const std::vector<RunLengthPoint> points =
            RunLengthDistribution(g.firstWithin, g.first.params.generationCount, g.first.params.populationSize, true);
        struct Step {
            double x, rate, low, high;
        };
        std::vector<Step> changes;
        for (const RunLengthPoint& p : points)
            if (p.within.successes > 0 && (changes.empty() || p.within.rate != changes.back().rate))
                changes.push_back({X(static_cast<double>(p.x)), p.within.rate, p.within.low, p.within.high});
        const double end = X(static_cast<double>(Budget(g.first)));
        // Path commands appended one at a time: "H12.5V80".
        const auto to = [](std::string& path, char command, double v) {
            path += command;
            path += N(v);
        };
        std::string line;
        to(line, 'M', X(0));
        to(line, ',', Y(0));
        for (const Step& s : changes) {
            to(line, 'H', s.x);
            to(line, 'V', Y(s.rate));
        }
        to(line, 'H', end);
        if (!changes.empty()) {
            // The band: along the upper bounds to the budget, back along the lower ones.
            std::string band;
            to(band, 'M', changes.front().x);
            to(band, ',', Y(0));
            for (const Step& s : changes) {
                to(band, 'H', s.x);
                to(band, 'V', Y(s.high));
            }
            to(band, 'H', end);
            to(band, 'V', Y(changes.back().low));
            for (std::size_t i = changes.size(); i-- > 1;) {
                to(band, 'H', changes[i].x);
                to(band, 'V', Y(changes[i - 1].low));
            }
            to(band, 'H', changes.front().x);
            band += 'Z';
            bands += "<path d=\"" + band + "\" fill=\"" + Colour(k) + "\" fill-opacity=\"0.12\" stroke=\"none\"/>";
        }
        steps += "<path d=\"" + line + "\" fill=\"none\" stroke=\"" + Colour(k) + "\" stroke-width=\"1.8\"" + Dash(k) +
                 "><title>" + Escaped(g.label) + "</title></path>";
    }
    return svg + bands + steps + "</svg>";
}

std::string DistanceBoxSvg(const ReportInput& in, int width, int rowHeight) {
    const RunsByConfiguration& runs = in.runs;
    const Words w{in.language};
    const double left = 8, labelWidth = 210, right = 14, top = 8, bottom = 40;
    const double plotLeft = left + labelWidth, pw = width - plotLeft - right;
    const double height = top + bottom + rowHeight * static_cast<double>(runs.groups.size());
    // A log scale from a decade below the smallest distance above zero to a decade above the largest;
    // a run that ended on the target sits at the left edge.
    double smallest = std::numeric_limits<double>::infinity(), largest = 0.0;
    for (const ConfigurationRuns& g : runs.groups)
        for (const double d : g.distances) {
            if (d > 0.0) smallest = std::min(smallest, d);
            largest = std::max(largest, d);
        }
    smallest = std::min(smallest, in.epsilon);
    largest = std::max(largest, in.epsilon);
    const int lo = static_cast<int>(std::floor(std::log10(smallest))), hi = std::max(lo + 1, static_cast<int>(std::ceil(std::log10(largest))));
    const auto X = [&](double d) {
        const double v = std::clamp(std::log10(std::max(d, std::pow(10.0, lo))), double(lo), double(hi));
        return plotLeft + pw * (v - lo) / (hi - lo);
    };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + std::to_string(width) + " " + N(height) +
                      "\" role=\"img\" font-size=\"11\" font-family=\"sans-serif\">";
    const double bottomY = top + rowHeight * static_cast<double>(runs.groups.size());
    for (int e = lo; e <= hi; ++e) {
        const double x = X(std::pow(10.0, e));
        std::string text = e >= 0 ? Grouped(std::llround(std::pow(10.0, e))) : "0." + std::string(static_cast<std::size_t>(-e - 1), '0') + "1";
        svg += "<line x1=\"" + N(x) + "\" x2=\"" + N(x) + "\" y1=\"" + N(top) + "\" y2=\"" + N(bottomY) +
               "\" stroke=\"#e4e4e4\"/><text x=\"" + N(x) + "\" y=\"" + N(bottomY + 14) + "\" text-anchor=\"" + (e == hi ? "end" : "middle") + "\">" + text +
               "</text>";
    }
    const double ex = X(in.epsilon);
    svg += "<line x1=\"" + N(ex) + "\" x2=\"" + N(ex) + "\" y1=\"" + N(top) + "\" y2=\"" + N(bottomY) +
           "\" stroke=\"#c00\" stroke-dasharray=\"4 3\"/><text x=\"" + N(ex + 3) + "\" y=\"" + N(top + 9) +
           "\" fill=\"#c00\">ε</text>";
    svg += "<text x=\"" + N(plotLeft + pw / 2) + "\" y=\"" + N(height - 6) + "\" text-anchor=\"middle\">" +
           w("final distance to the target (px, log scale)", "最終距離 (px、対数目盛)") + "</text>";
    for (std::size_t k = 0; k < runs.groups.size(); ++k) {
        const ConfigurationRuns& g = runs.groups[k];
        const Quartiles q = QuartilesOf(g.distances);
        const double y = top + rowHeight * (static_cast<double>(k) + 0.5);
        const double h = rowHeight * 0.55;
        // Whiskers to the farthest runs within 1.5 IQR of the box; the rest drawn one by one.
        const double reachLow = q.q1 - 1.5 * q.iqr(), reachHigh = q.q3 + 1.5 * q.iqr();
        double whiskerLow = q.q1, whiskerHigh = q.q3;
        std::string outliers;
        for (const double d : g.distances) {
            if (d >= reachLow && d <= reachHigh) {
                whiskerLow = std::min(whiskerLow, d);
                whiskerHigh = std::max(whiskerHigh, d);
            } else {
                outliers += "<circle cx=\"" + N(X(d)) + "\" cy=\"" + N(y) + "\" r=\"1.8\"/>";
            }
        }
        const std::string colour = Colour(k);
        svg += "<text x=\"" + N(plotLeft - 6) + "\" y=\"" + N(y + 4) + "\" text-anchor=\"end\">" + Escaped(g.label) + "</text>";
        svg += "<g stroke=\"" + colour + "\" fill=\"" + colour + "\"" + Dash(k) + ">";
        svg += "<line x1=\"" + N(X(whiskerLow)) + "\" x2=\"" + N(X(q.q1)) + "\" y1=\"" + N(y) + "\" y2=\"" + N(y) + "\"/>";
        svg += "<line x1=\"" + N(X(q.q3)) + "\" x2=\"" + N(X(whiskerHigh)) + "\" y1=\"" + N(y) + "\" y2=\"" + N(y) + "\"/>";
        svg += "<rect x=\"" + N(X(q.q1)) + "\" y=\"" + N(y - h / 2) + "\" width=\"" + N(std::max(1.0, X(q.q3) - X(q.q1))) +
               "\" height=\"" + N(h) + "\" fill-opacity=\"0.18\"/>";
        svg += "<line x1=\"" + N(X(q.median)) + "\" x2=\"" + N(X(q.median)) + "\" y1=\"" + N(y - h / 2) + "\" y2=\"" +
               N(y + h / 2) + "\" stroke-width=\"2.5\"/>";
        svg += "<g fill-opacity=\"0.5\" stroke=\"none\">" + outliers + "</g></g>";
    }
    return svg + "</svg>";
}

std::string CriticalDifferenceSvg(const ReportInput& in, int width) {
    const Comparison& c = in.comparison;
    if (!c.friedman) return "";
    const std::vector<double>& ranks = c.friedman->meanRanks;
    const std::size_t k = ranks.size();
    std::vector<std::size_t> order(k);
    for (std::size_t i = 0; i < k; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return ranks[a] < ranks[b]; });
    const double left = 40, right = 40, axisY = 44, rowStep = 16;
    const double pw = width - left - right;
    const auto X = [&](double r) { return left + pw * (r - 1.0) / std::max(1.0, static_cast<double>(k) - 1.0); };
    const double height = axisY + 36 + rowStep * static_cast<double>((k + 1) / 2);
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + std::to_string(width) + " " + N(height) +
                      "\" role=\"img\" font-size=\"11\" font-family=\"sans-serif\">";
    // The critical difference as a bar above the axis.
    svg += "<line x1=\"" + N(X(1)) + "\" x2=\"" + N(X(1 + c.criticalDifference)) + "\" y1=\"12\" y2=\"12\" stroke=\"#000\" stroke-width=\"2\"/>" +
           "<text x=\"" + N(X(1) + 4) + "\" y=\"26\">CD = " + Format("%.3f", c.criticalDifference) + "</text>";
    svg += "<line x1=\"" + N(X(1)) + "\" x2=\"" + N(X(static_cast<double>(k))) + "\" y1=\"" + N(axisY) + "\" y2=\"" + N(axisY) +
           "\" stroke=\"#000\"/>";
    for (std::size_t r = 1; r <= k; ++r)
        svg += "<line x1=\"" + N(X(double(r))) + "\" x2=\"" + N(X(double(r))) + "\" y1=\"" + N(axisY - 4) + "\" y2=\"" +
               N(axisY) + "\" stroke=\"#000\"/><text x=\"" + N(X(double(r))) + "\" y=\"" + N(axisY - 7) +
               "\" text-anchor=\"middle\">" + std::to_string(r) + "</text>";
    // Each configuration from its mean rank down to its label, the better half left, the rest right.
    for (std::size_t i = 0; i < k; ++i) {
        const std::size_t j = order[i];
        const bool leftSide = i < (k + 1) / 2;
        const double y = axisY + 30 + rowStep * static_cast<double>(leftSide ? i : k - 1 - i);
        const double x = X(ranks[j]);
        svg += "<path d=\"M" + N(x) + "," + N(axisY) + "V" + N(y) + "H" + N(leftSide ? left + 4 : width - right - 4) +
               "\" fill=\"none\" stroke=\"" + Colour(j) + "\"/>";
        svg += "<text x=\"" + N(leftSide ? left + 6 : width - right - 6) + "\" y=\"" + N(y - 3) + "\" text-anchor=\"" +
               (leftSide ? "start" : "end") + "\">" + Escaped(in.runs.groups[j].label) + " (" + Format("%.2f", ranks[j]) +
               ")</text>";
    }
    // Runs of configurations whose mean ranks lie within the critical difference, joined by a bar.
    double lastEnd = -1;
    int line = 0;
    for (std::size_t a = 0; a < k; ++a) {
        std::size_t b = a;
        while (b + 1 < k && ranks[order[b + 1]] - ranks[order[a]] < c.criticalDifference) ++b;
        if (b == a || static_cast<double>(b) <= lastEnd) continue;
        lastEnd = static_cast<double>(b);
        const double y = axisY + 8 + 5 * (line++ % 3);
        svg += "<line x1=\"" + N(X(ranks[order[a]]) - 3) + "\" x2=\"" + N(X(ranks[order[b]]) + 3) + "\" y1=\"" + N(y) +
               "\" y2=\"" + N(y) + "\" stroke=\"#000\" stroke-width=\"3\"/>";
    }
    return svg + "</svg>";
}

std::string RenderHtml(const ReportInput& in) {
    const Words w{in.language};
    const RunsByConfiguration& runs = in.runs;
    const Comparison& c = in.comparison;
    const std::string title = !in.title.empty() ? in.title : std::string(w("Experiment report", "実験レポート")) + ": " +
                                                       (in.experimentName.empty() ? in.inputName : in.experimentName);
    std::string h = std::string("<!DOCTYPE html>\n<html lang=\"") + w("en", "ja") +
                    "\">\n<head>\n<meta charset=\"utf-8\">\n<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                    "<title>" + Escaped(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<main>\n";
    h += "<h1>" + Escaped(title) + "</h1>\n<p class=\"date\">" + Escaped(in.date) + " · Kelvora " + Escaped(in.version) + "</p>\n";
    const std::string provenance = ProvenanceText(in);
    const bool matches = in.ranNow || (in.check && in.check->kind == experiment::RunsCheck::Kind::reproduced);
    if (!provenance.empty()) h += std::string("<p class=\"") + (matches ? "provenance" : "warning") + "\">" + Escaped(provenance) + "</p>\n";

    // The setup in one caption, and each configuration's parameters.
    const std::vector<std::string> differing = DifferingParameters(runs);
    std::string differ;
    for (const std::string& name : differing) differ += (differ.empty() ? "" : ", ") + name;
    const std::size_t seeds = runs.groups.front().seeds.size();
    h += std::string("<section id=\"setup\">\n<h2>") + w("Setup", "設定") + "</h2>\n<p class=\"caption\">";
    h += std::to_string(runs.groups.size()) + w(" configurations", " 構成") + " (" +
         w("they differ in ", "違い: ") + Escaped(differ.empty() ? "-" : differ) + ") · ";
    h += std::to_string(seeds) + w(seeds == 1 ? " seed" : " seeds", " シード") + " (" + Escaped(SeedsText(runs)) + ") " +
         w("on ", "× 目標点 ") + std::to_string(runs.targets.size()) +
         w(runs.targets.size() == 1 ? " target" : " targets", " 個") + ": ";
    for (std::size_t t = 0; t < runs.targets.size(); ++t) h += (t ? ", " : "") + TargetText(runs.targets[t]);
    h += " · ε = " + ExactText(in.epsilon) + " px";
    if (!in.epsilonRecorded) h += w(" (ε not recorded; assumed 0.5)", " (ε の記録なし、0.5 と仮定)");
    h += " · α = " + ExactText(c.alpha) + " · ";
    const std::string budget = SetupLine(in);
    h += Escaped(budget.substr(budget.rfind(" · ") + 3)) + " · Kelvora " + Escaped(in.version) + "</p>\n";
    h += std::string("<div class=\"wide\"><table>\n<tr><th class=\"label\">") + w("label", "ラベル") +
         "</th><th class=\"label\">" + w("parameters", "パラメーター") + "</th><th>" + w("budget (evaluations)", "予算 (評価回数)") +
         "</th><th>" + w("runs", "実行数") + "</th></tr>\n";
    for (std::size_t k = 0; k < runs.groups.size(); ++k) {
        const ConfigurationRuns& g = runs.groups[k];
        h += "<tr><td class=\"label\">" + Escaped(g.label) + (!c.choice.all && k == c.choice.baseline ? w(" (baseline)", " (基準)") : "") +
             "</td><td class=\"label\">" + Escaped(ParametersText(g.first)) + "</td><td>" + Grouped(Budget(g.first)) +
             "</td><td>" + std::to_string(g.runs()) + "</td></tr>\n";
    }
    h += "</table></div>\n</section>\n";

    // The results table.
    h += std::string("<section id=\"results\">\n<h2>") + w("Results", "結果") + "</h2>\n<div class=\"wide\"><table>\n<tr><th class=\"label\">" +
         w("configuration", "構成") + "</th><th>" + w("within ε", "ε 以内") + "</th><th>" + w("95% interval", "95% 区間") +
         "</th><th>ERT</th><th>" + w("median final distance (q1–q3), px", "最終距離の中央値 (q1–q3)、px") + "</th><th>" +
         w("median generation to ε (runs)", "ε に達した世代の中央値 (実行数)") + "</th></tr>\n";
    for (const ConfigurationRuns& g : runs.groups) {
        const SweepSummaryRow o = experiment::Outcome(g);
        h += "<tr><td class=\"label\">" + Escaped(g.label) + "</td><td>" + std::to_string(o.withinEpsilon.successes) + "/" +
             std::to_string(o.withinEpsilon.trials) + " (" + Percent(o.withinEpsilon.rate) + ")</td><td>" + Percent(o.withinEpsilon.low) + "–" +
             Percent(o.withinEpsilon.high) + "</td><td>" + ErtText(o.ertEvaluations) + "</td><td>" + Distance(o.eliteDistance.median) + " (" +
             Distance(o.eliteDistance.q1) + "–" + Distance(o.eliteDistance.q3) + ")</td><td>" +
             (o.firstWithinEpsilon.count ? Format("%.1f", o.firstWithinEpsilon.median) : std::string("–")) + " (" +
             std::to_string(o.firstWithinEpsilon.count) + ")</td></tr>\n";
    }
    h += std::string("</table></div>\n<p class=\"caption\">") +
         w("Within ε: the runs whose best tip came within ε of the target, with the Wilson 95% interval. ERT (expected "
           "running time): every evaluation of every run (a success counted to its first generation within ε, a failure at "
           "its whole budget) over the successes; ∞ when none succeeded.",
           "ε 以内: 最良の先端が目標点から ε 以内に達した実行とその Wilson 95% 区間。ERT (期待実行時間): 全実行の評価回数 "
           "(成功は ε 以内に初めて達した世代まで、失敗は予算全体) を成功数で割ったもの。成功がなければ ∞。") +
         "</p>\n</section>\n";

    // The two charts, with a legend.
    std::string legend = "<ul class=\"legend\">";
    for (std::size_t k = 0; k < runs.groups.size(); ++k)
        legend += "<li><svg class=\"swatch\" viewBox=\"0 0 24 8\" width=\"24\" height=\"8\"><line x1=\"0\" y1=\"4\" x2=\"24\" y2=\"4\" stroke=\"" +
                  Colour(k) + "\" stroke-width=\"2.5\"" + Dash(k) + "/></svg> " + Escaped(runs.groups[k].label) + "</li>";
    legend += "</ul>\n";
    const std::string setupLine = Escaped(SetupLine(in));
    h += std::string("<section id=\"run-length\">\n<h2>") + w("Run length", "ε に達するまでの評価回数") + "</h2>\n<figure>\n" +
         RunLengthSvg(in, 720, 320) + "\n" + legend + "<figcaption>" +
         w("The share of runs that had come within ε of the target by each number of evaluations (the empirical "
           "distribution of the run length), with each configuration's Wilson 95% band shaded. Higher and further left is "
           "better: a curve that rises early reaches ε with fewer evaluations; its height at the right end is the share that "
           "ever did. ",
           "評価回数ごとに目標点から ε 以内に達していた実行の割合 (実行長の経験分布) と、各構成の Wilson 95% 帯 (薄い色)。"
           "上ほど、左ほど良い: 早く立ち上がる曲線は少ない評価回数で ε に達し、右端の高さは最終的に達した割合。") +
         setupLine + "</figcaption>\n</figure>\n</section>\n";
    h += std::string("<section id=\"distances\">\n<h2>") + w("Final distances", "最終距離") + "</h2>\n<figure>\n" +
         DistanceBoxSvg(in, 720, 26) + "\n<figcaption>" +
         w("Each configuration's final distances to the target on a log scale: the box spans the middle half of the runs "
           "(q1 to q3), the thick line is the median, the whiskers reach the farthest runs within 1.5 box lengths and the "
           "dots are the runs beyond. The dashed red line is ε; further left is closer. ",
           "各構成の目標点までの最終距離 (対数目盛): 箱は実行の中央の半分 (q1 から q3)、太線は中央値、ひげは箱の長さの "
           "1.5 倍以内で最も遠い実行まで、点はその外の実行。赤い破線が ε で、左ほど近い。") +
         setupLine + "</figcaption>\n</figure>\n</section>\n";

    // The statistics.
    h += std::string("<section id=\"statistics\">\n<h2>") + w("Statistics", "統計") + "</h2>\n<p class=\"caption\">" +
         (c.choice.all ? std::string(w("Every pair of configurations", "構成のすべての組"))
                       : std::string(w("Each configuration against the baseline, ", "各構成と基準 ")) + Escaped(runs.groups[c.choice.baseline].label) +
                             w("", " の比較")) +
         w(": the successes within ε by Fisher's exact test, the final distances by the Mann–Whitney U test with "
           "Vargha–Delaney A12 (the chance that a run of the first ends closer), both p-values adjusted by Holm's method over ",
           ": ε 以内の成功数を Fisher の正確検定で、最終距離を Mann–Whitney の U 検定と Vargha–Delaney の A12 "
           "(前者の実行の方が近く終わる確率) で検定し、両方の p 値を Holm の方法で補正 (組の数 ") +
         std::to_string(c.pairs.size()) + w(" pairs", ")") + w("; α = ", "、α = ") + ExactText(c.alpha) + w(".", "。") +
         "</p>\n<ul class=\"verdicts\">\n";
    for (const PairOutcome& p : c.pairs) h += "<li>" + Escaped(VerdictText(p.counts, c.alpha, in.language)) + "</li>\n";
    h += std::string("</ul>\n<div class=\"wide\"><table>\n<tr><th class=\"label\">a</th><th class=\"label\">b</th><th>") +
         w("within ε", "ε 以内") + "</th><th>Fisher p</th><th>Holm</th><th>U</th><th>" + w("U test p", "U 検定 p") +
         "</th><th>Holm</th><th>A12</th></tr>\n";
    for (const PairOutcome& p : c.pairs) {
        const PairVerdictInput& v = p.counts;
        h += "<tr><td class=\"label\">" + Escaped(v.a) + "</td><td class=\"label\">" + Escaped(v.b) + "</td><td>" +
             std::to_string(v.aSuccesses) + "/" + std::to_string(v.aRuns) + " · " + std::to_string(v.bSuccesses) + "/" +
             std::to_string(v.bRuns) + "</td><td>" + Format("%.2g", p.test.fisherP) + "</td><td>" +
             Format("%.2g", p.test.fisherPHolm) + "</td><td>" + Format("%.1f", p.test.u) + "</td><td>" +
             Format("%.2g", p.test.mwuP) + "</td><td>" + Format("%.2g", p.test.mwuPHolm) + "</td><td>" +
             Format("%.3f", p.test.a12) + "</td></tr>\n";
    }
    h += "</table></div>\n";
    if (c.friedman) {
        h += std::string("<h3>") + w("Across the targets", "目標点をまたいで") + "</h3>\n<p class=\"caption\">" +
             w("Friedman's test of the success rates with the ", "成功率の Friedman 検定 (目標点 ") + std::to_string(runs.targets.size()) +
             w(" targets as blocks: χ² = ", " 個をブロックとして): χ² = ") + Format("%.4g", c.friedman->chi2) + ", p " +
             PValueText(c.friedman->p) + w(". The diagram places each configuration at its mean rank (1: succeeds most often); "
                                           "configurations joined by a bar differ by less than Nemenyi's critical difference (CD) at α = ",
                                           "。図は各構成を平均順位 (1: 最もよく成功) に置く。横棒でつながれた構成の差は α = ") +
             ExactText(c.alpha) + w(".", " での Nemenyi の臨界差 (CD) より小さい。") + "</p>\n<figure>\n" + CriticalDifferenceSvg(in, 720) +
             "\n</figure>\n";
    } else if (c.incompleteTargets) {
        h += std::string("<p class=\"caption\">") + w("No Friedman test: not every configuration ran every target.",
                                                     "Friedman 検定なし: すべての構成がすべての目標点を実行したわけではない。") + "</p>\n";
    }
    h += "</section>\n";

    // The exact optimum of each target: a column each (up to ten), and all of them.
    const std::size_t shownTargets = runs.targets.size() <= 10 ? runs.targets.size() : 0;
    h += std::string("<section id=\"optimum\">\n<h2>") + w("The exact optimum", "厳密な最適解") + "</h2>\n<p class=\"caption\">" +
         w("The closest any of the 256³ poses comes to each target (the optimum distance, px, under it), and how many runs "
           "of each configuration found a pose that close.",
           "256³ 通りの姿勢のうち各目標点に最も近いものの距離 (最適距離、px、目標点の下) と、各構成でそこまで近い姿勢を"
           "見つけた実行の数。") +
         "</p>\n<div class=\"wide\"><table>\n<tr><th class=\"label\">" + w("configuration", "構成") + "</th>";
    for (std::size_t t = 0; t < shownTargets; ++t)
        h += "<th>" + TargetText(runs.targets[t]) + "<br>" + Format("%.4g", runs.optimumDistance[t]) + "</th>";
    h += std::string("<th>") + w("all targets", "全目標点") + "</th></tr>\n";
    for (const ConfigurationRuns& g : runs.groups) {
        h += "<tr><td class=\"label\">" + Escaped(g.label) + "</td>";
        std::vector<long long> ran(runs.targets.size(), 0), reached(runs.targets.size(), 0);
        for (std::size_t r = 0; r < g.targetOf.size(); ++r) {
            ++ran[g.targetOf[r]];
            reached[g.targetOf[r]] += g.firstAtOptimum[r] > 0;
        }
        for (std::size_t t = 0; t < shownTargets; ++t)
            h += "<td>" + (ran[t] ? std::to_string(reached[t]) + "/" + std::to_string(ran[t]) : std::string("–")) + "</td>";
        h += "<td>" + std::to_string(experiment::Outcome(g).reached.successes) + "/" + std::to_string(g.runs()) + "</td></tr>\n";
    }
    h += "</table></div>\n</section>\n";

    // How to make it again.
    const std::string name = Escaped(in.inputName);
    h += std::string("<section id=\"reproduce\">\n<h2>") + w("Reproduce", "再現") + "</h2>\n";
    if (!in.experimentJson.empty()) {
        const std::string experiment = Escaped(in.experimentName);
        h += std::string("<p>") + w("The experiment file: ", "実験ファイル: ") + "<a download=\"" + experiment +
             "\" href=\"data:application/json;base64," + Base64(in.experimentJson) + "\">" + experiment + "</a></p>\n<pre>kelvora-cli experiment run " +
             experiment + " --output " + name + "\nkelvora-cli experiment verify " + experiment + " " + name + "</pre>\n";
    } else {
        h += std::string("<p>") + w("The experiment these runs were made by, then its runs made again and compared with these:",
                                     "これらの実行を作った実験を取り出し、その実行をもう一度行ってこれらと比べる:") +
             "</p>\n<pre>kelvora-cli experiment from " + name + " --output experiment.kelvora.json\nkelvora-cli experiment verify experiment.kelvora.json " +
             name + "</pre>\n";
    }
    if (!provenance.empty()) h += std::string("<p class=\"") + (matches ? "provenance" : "warning") + "\">" + Escaped(provenance) + "</p>\n";
    h += std::string("<p>") + w("This report was made from ", "このレポートの元: ") + "<code>" + name + "</code> (" +
         Grouped(static_cast<long long>(in.inputSize)) + w(" bytes", " バイト") + "), SHA-256 <code>" + in.inputSha256 +
         "</code>. " +
         (in.check || in.ranNow ? std::string() : std::string(w("The report does not make the runs again: that the file is the one described, <code>sha256sum</code> tells; "
           "that its runs reproduce, <code>verify</code> tells.",
           "このレポートは実行をやり直さない: ファイルが同じものかは <code>sha256sum</code> が、実行が再現するかは "
           "<code>verify</code> が示す。"))) +
         "</p>\n</section>\n</main>\n</body>\n</html>\n";
    return h;
}

}  // namespace kelvora::report
