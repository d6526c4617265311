#include "batch/ioh_export.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "model/text.h"

namespace kelvora {
namespace {

constexpr const char* kFunction = "ArmReach";

std::string Failure(const std::string& path) { return path + ": " + std::strerror(errno); }

bool MakeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST; }

}  // namespace

std::string IohConfigurationName(const SweepCombination& c) {
    const Algorithm& a = c.algorithm;
    std::string name = MethodName(a);
    auto part = [&name](const char* prefix, const std::string& value) {
        name.append(prefix);
        name.append(value);
    };
    if (a.method == Method::geneticAlgorithm) {
        part("_", EncodingName(a));
        part("_", SelectionName(a));
        part("_e", ElitismName(a));
        part("_", CrossoverName(a));
        part("_", MutationName(a));
    }
    part("_p", std::to_string(c.params.populationSize));
    part("_g", std::to_string(c.params.generationCount));
    part("_c", ExactText(c.params.crossoverRate));
    part("_m", ExactText(c.params.mutationProbability));
    for (char& ch : name)
        if (ch == ':') ch = '-';  // tournament:3, creep:4: no colons in a folder name
    return name;
}

IohExport::IohExport(std::string directory) : directory_(std::move(directory)) {
    if (!directory_.empty() && directory_.back() == '/') directory_.pop_back();
}

IohExport::~IohExport() {
    for (auto& [name, configuration] : configurations_)
        if (configuration.data) std::fclose(configuration.data);
}

std::string IohExport::add(const SweepResult& r, int instance) {
    const std::string name = IohConfigurationName(r.combination);
    auto [it, added] = configurations_.try_emplace(name);
    Configuration& configuration = it->second;
    if (added) {
        configuration.combination = r.combination;
        const std::string folder = directory_ + "/" + name;
        const std::string data = folder + "/data_f1_" + kFunction;
        if (!MakeDirectory(folder)) return Failure(folder);
        if (!MakeDirectory(data)) return Failure(data);
        const std::string path = data + "/IOHprofiler_f1_DIM3.dat";
        configuration.data = std::fopen(path.c_str(), "w");
        if (!configuration.data) return Failure(path);
    }
    const long long population = r.combination.params.populationSize;
    const long long budget = population * r.combination.params.generationCount;
    std::string lines = "evaluations raw_y\n";
    Run run;
    run.instance = instance;
    run.evaluations = budget;
    run.optimumDistance = r.optimumDistance;
    for (const auto& [generation, distance] : r.improvements) {
        run.bestEvaluations = generation * population;
        run.best = distance;
        lines += std::to_string(run.bestEvaluations) + " " + ExactText(distance) + "\n";
    }
    if (run.bestEvaluations < budget) lines += std::to_string(budget) + " " + ExactText(run.best) + "\n";
    if (std::fputs(lines.c_str(), configuration.data) < 0) return Failure(name + "/IOHprofiler_f1_DIM3.dat");
    configuration.runs.push_back(run);
    return {};
}

std::string IohExport::finish() {
    std::string failure;
    for (auto& [name, configuration] : configurations_) {
        if (configuration.data && std::fclose(configuration.data) != 0 && failure.empty())
            failure = Failure(name + "/IOHprofiler_f1_DIM3.dat");
        configuration.data = nullptr;
        const SweepCombination& c = configuration.combination;
        std::string json = "{\n\t\"version\": \"0.3.3\",\n\t\"suite\": \"Kelvora\",\n\t\"function_id\": 1,\n";
        json += "\t\"function_name\": \"" + std::string(kFunction) + "\",\n\t\"maximization\": false,\n";
        json += "\t\"algorithm\": {\"name\": \"" + name + "\", \"info\": \"" + AlgorithmSummary(c.algorithm) +
                ", population " + std::to_string(c.params.populationSize) + ", generations " +
                std::to_string(c.params.generationCount) + ", crossover " + ExactText(c.params.crossoverRate) +
                ", mutation " + ExactText(c.params.mutationProbability) + "\"},\n";
        json += "\t\"attributes\": [\"evaluations\", \"raw_y\"],\n";
        json += "\t\"run_attributes\": [\"optimum_distance\"],\n";
        json += "\t\"scenarios\": [\n\t\t{\"dimension\": 3,\n\t\t\"path\": \"data_f1_" + std::string(kFunction) +
                "/IOHprofiler_f1_DIM3.dat\",\n\t\t\"runs\": [";
        for (std::size_t i = 0; i < configuration.runs.size(); ++i) {
            const Run& run = configuration.runs[i];
            json += std::string(i ? "," : "") + "\n\t\t\t{\"instance\": " + std::to_string(run.instance) +
                    ", \"evals\": " + std::to_string(run.evaluations) + ", \"best\": {\"evals\": " +
                    std::to_string(run.bestEvaluations) + ", \"y\": " + ExactText(run.best) +
                    "}, \"optimum_distance\": " + ExactText(run.optimumDistance) + "}";
        }
        json += "\n\t\t]}\n\t]\n}\n";
        const std::string path = directory_ + "/" + name + "/IOHprofiler_f1_" + kFunction + ".json";
        std::FILE* out = std::fopen(path.c_str(), "w");
        const bool written = out && std::fputs(json.c_str(), out) >= 0;
        if ((!out || std::fclose(out) != 0 || !written) && failure.empty()) failure = Failure(path);
    }
    return failure;
}

}  // namespace kelvora
