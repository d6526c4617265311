#include "session/labels.h"

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "batch/sweep_table.h"
#include "model/text.h"
#include "session/lines.h"

namespace kelvora::session {

std::vector<std::string> DifferingLabels(const std::vector<SweepCombination>& configurations) {
    std::vector<std::string> labels;
    if (configurations.empty()) return labels;
    const SweepCombination& first = configurations.front();
    for (const SweepCombination& c : configurations) {
        std::string text;
        const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
        if (c.params.populationSize != first.params.populationSize) add("pop " + std::to_string(c.params.populationSize));
        if (c.params.generationCount != first.params.generationCount) add("gen " + std::to_string(c.params.generationCount));
        if (c.params.crossoverRate != first.params.crossoverRate) add("cross " + ExactText(c.params.crossoverRate));
        if (c.params.mutationProbability != first.params.mutationProbability)
            add("mut " + ExactText(c.params.mutationProbability));
        if (text.empty() || !(c.algorithm == first.algorithm)) add(AlgorithmSummary(c.algorithm));
        labels.push_back(text);
    }
    return labels;
}

std::string ConfigurationKey(const SweepCombination& c) {
    return std::to_string(c.params.populationSize) + "," + std::to_string(c.params.generationCount) + "," +
           ExactText(c.params.crossoverRate) + "," + ExactText(c.params.mutationProbability) + "," +
           AlgorithmColumns(c.algorithm);
}

std::string LabelsPath(const std::string& sweepPath) {
    const std::size_t n = sweepPath.size();
    std::string lower = n >= 4 ? sweepPath.substr(n - 4) : std::string();
    for (char& ch : lower) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    return (lower == ".csv" ? sweepPath.substr(0, n - 4) : sweepPath) + ".labels.json";
}

std::string LabelsJson(const std::vector<SweepCombination>& configurations, const std::vector<std::string>& labels) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < configurations.size() && i < labels.size(); ++i)
        list.push_back({{"configuration", ConfigurationKey(configurations[i])}, {"label", labels[i]}});
    nlohmann::ordered_json file;
    file["labels"] = std::move(list);
    // Labels are the user's text: bytes that are no UTF-8 are replaced, never a failure.
    return file.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string ReadLabels(const std::string& path, const std::string& shown,
                       const std::vector<SweepCombination>& configurations, std::vector<std::string>& labels) {
    // A labels file holds a line per label: a long line is no labels file of ours.
    constexpr std::size_t kLongest = 1 << 16;
    std::string text;
    bool tooLong = false;
    const std::string reason = ReadFileLines(path, kLongest, [&](std::string_view line, LineEnd end) {
        tooLong = end == LineEnd::tooLong;
        text.append(line);
        text.push_back('\n');
        return !tooLong;
    });
    if (!reason.empty()) return shown + ": cannot read: " + reason;
    if (tooLong) return shown + ": not a labels file (a line longer than 65536 bytes)";
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded()) return shown + ": not JSON";
    const auto list = json.is_object() ? json.find("labels") : json.end();
    if (list == json.end() || !list->is_array()) return shown + ": not a labels file (no \"labels\" list)";
    std::vector<std::string> keys;
    for (const SweepCombination& c : configurations) keys.push_back(ConfigurationKey(c));
    std::vector<std::string> found = labels;
    found.resize(configurations.size());
    for (const nlohmann::json& entry : *list) {
        if (!entry.is_object() || !entry.contains("configuration") || !entry.contains("label") ||
            !entry["configuration"].is_string() || !entry["label"].is_string())
            return shown + ": not a labels file (an entry without a configuration and a label, both text)";
        const std::string key = entry["configuration"].get<std::string>();
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i] == key) found[i] = entry["label"].get<std::string>();
    }
    labels = std::move(found);
    return {};
}

std::vector<std::string> SweepFileLabels(const std::string& sweepPath, const std::vector<SweepCombination>& configurations,
                                         std::string& warning) {
    std::vector<std::string> labels = DifferingLabels(configurations);
    warning.clear();
    const std::string path = LabelsPath(sweepPath);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return labels;  // no labels file: the short labels
    warning = ReadLabels(path, path, configurations, labels);
    return labels;
}

}  // namespace kelvora::session
