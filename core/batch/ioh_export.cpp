#include "batch/ioh_export.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "io/leftovers.h"
#include "io/replace_file.h"
#include "io/result_files.h"
#include "model/text.h"

namespace kelvora {
namespace {

constexpr const char* kFunction = "ArmReach";

std::string Failure(const std::string& path) { return path + ": " + std::strerror(errno); }

// text inside a JSON string: quotes, backslashes and control characters escaped.
std::string JsonEscaped(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (static_cast<unsigned char>(ch) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(ch));
            out += escape;
        } else {
            out += ch;
        }
    }
    return out;
}

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
    discard();
    if (lock_ >= 0) ::close(lock_);
}

void IohExport::discard() {
    for (auto& [name, configuration] : configurations_) {
        if (configuration.fd >= 0) DiscardTemporary(configuration.fd, configuration.temporary);
        configuration.fd = -1;
    }
}

std::string IohExport::lock() {
    lock_ = ::open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock_ < 0) return Failure(directory_);
    int locked;
    while ((locked = ::flock(lock_, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    // Any other lock failure (a file system without locks) does not keep the user from working.
    if (locked != 0 && errno == EWOULDBLOCK)
        return directory_ + ": another kelvora-cli is writing this directory; nothing was written";
    return {};
}

std::string IohExport::add(const SweepResult& r, int instance) {
    const SweepCombination& c = r.combination;
    const long long population = c.params.populationSize;
    std::vector<std::pair<long long, double>> improvements;
    improvements.reserve(r.improvements.size());
    for (const auto& [generation, distance] : r.improvements) improvements.emplace_back(generation * population, distance);
    const std::string info = AlgorithmSummary(c.algorithm) + ", population " + std::to_string(c.params.populationSize) +
                             ", generations " + std::to_string(c.params.generationCount) + ", crossover " +
                             ExactText(c.params.crossoverRate) + ", mutation " + ExactText(c.params.mutationProbability);
    return addRun(IohConfigurationName(c), info, instance, population * c.params.generationCount, improvements,
                  r.optimumDistance);
}

std::string IohExport::addEvaluations(const std::string& name, const std::string& info, int instance, long long budget,
                                      const std::vector<std::pair<long long, double>>& improvements,
                                      double optimumDistance) {
    const bool spelled = !name.empty() && name.size() <= 64 && name.front() != '.' &&
                         std::all_of(name.begin(), name.end(), [](char ch) {
                             return std::isalnum(static_cast<unsigned char>(ch)) || ch == '.' || ch == '_' || ch == '-';
                         });
    if (!failure_.empty()) return failure_;
    if (!spelled) return failure_ = name + ": not a folder name";
    if (budget < 1) return failure_ = name + ": a budget of " + std::to_string(budget) + " evaluations";
    return addRun(name, info, instance, budget, improvements, optimumDistance);
}

std::string IohExport::addRun(const std::string& name, const std::string& info, int instance, long long budget,
                              const std::vector<std::pair<long long, double>>& improvements, double optimumDistance) {
    if (!failure_.empty()) return failure_;
    auto [it, added] = configurations_.try_emplace(name);
    Configuration& configuration = it->second;
    if (added) {
        configuration.info = info;
        const std::string folder = directory_ + "/" + name;
        const std::string data = folder + "/data_f1_" + kFunction;
        if (!MakeDirectory(folder)) return failure_ = Failure(folder);
        if (!MakeDirectory(data)) return failure_ = Failure(data);
        configuration.data = data + "/IOHprofiler_f1_DIM3.dat";
        configuration.temporary = configuration.data + ".part";
        std::string reason;
        configuration.fd = CreateTemporary(configuration.temporary, reason);
        if (configuration.fd < 0) return failure_ = configuration.data + ": " + reason;
    }
    std::string lines = "evaluations raw_y\n";
    Run run;
    run.instance = instance;
    run.evaluations = budget;
    run.optimumDistance = optimumDistance;
    for (const auto& [evaluations, distance] : improvements) {
        run.bestEvaluations = evaluations;
        run.best = distance;
        lines += std::to_string(run.bestEvaluations) + " " + ExactText(distance) + "\n";
    }
    if (run.bestEvaluations < budget) lines += std::to_string(budget) + " " + ExactText(run.best) + "\n";
    if (!WriteText(configuration.fd, lines)) return failure_ = Failure(configuration.temporary);
    configuration.runs.push_back(run);
    return {};
}

std::string IohExport::finish() {
    // Every JSON file is written under its temporary name before any file is renamed into place.
    std::vector<std::string> jsons;
    for (auto& [name, configuration] : configurations_) {
        if (!failure_.empty()) break;
        std::string json = "{\n\t\"version\": \"0.3.3\",\n\t\"suite\": \"Kelvora\",\n\t\"function_id\": 1,\n";
        json += "\t\"function_name\": \"" + std::string(kFunction) + "\",\n\t\"maximization\": false,\n";
        json += "\t\"algorithm\": {\"name\": \"" + name + "\", \"info\": \"" + JsonEscaped(configuration.info) + "\"},\n";
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
        std::string reason;
        const int fd = CreateTemporary(path + ".part", reason);
        if (fd < 0) {
            failure_ = path + ": " + reason;
        } else {
            const bool written = WriteText(fd, json);
            const int error = errno;
            if (::close(fd) != 0 || !written) {
                if (!written) errno = error;
                failure_ = Failure(path + ".part");
                ::unlink((path + ".part").c_str());
                ClearLeftover(path + ".part");
            } else {
                jsons.push_back(path);
            }
        }
    }
    if (!failure_.empty()) {
        for (const std::string& path : jsons) {
            ::unlink((path + ".part").c_str());
            ClearLeftover(path + ".part");
        }
        discard();
        return failure_ + "; the export was not written: the files in " + directory_ + " are as they were";
    }
    std::size_t next = 0;
    for (auto& [name, configuration] : configurations_) {
        const std::string& json = jsons[next++];
        const int fd = configuration.fd;
        configuration.fd = -1;
        std::string reason = CommitTemporary(fd, configuration.temporary, configuration.data);
        if (reason.empty() && ::rename((json + ".part").c_str(), json.c_str()) != 0) reason = std::strerror(errno);
        if (!reason.empty() && failure_.empty()) failure_ = name + ": " + reason;
        ::unlink((json + ".part").c_str());
        ClearLeftover(json + ".part");
    }
    return failure_;
}

}  // namespace kelvora
