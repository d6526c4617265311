#include "io/run_record.h"

#include "io/result_files.h"
#include "model/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <ctime>
#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

namespace kelvora {
namespace {

std::string PathIn(const char* directory, const char* name) {
    std::string path = directory ? directory : "";
    if (!path.empty() && path.back() != '/') path += '/';
    return path + name;
}

std::string Quote(const std::string& text) { return nlohmann::json(text).dump(); }

std::string FileJson(const RecordedFile& f) {
    if (!f.present) return "null";
    return "{\"size\":" + std::to_string(f.size) + ",\"sha256\":\"" + f.sha256 + "\"}";
}

}  // namespace

std::string RecordTimeNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    return text;
}

RecordedFile DigestFile(const std::string& path) {
    RecordedFile file;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return file;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return file;
    }
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr);
    std::vector<unsigned char> buffer(1 << 20);
    std::uint64_t size = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return file;
        }
        if (n == 0) break;
        EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(n));
        size += static_cast<std::uint64_t>(n);
    }
    ::close(fd);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    static const char kHex[] = "0123456789abcdef";
    for (unsigned int i = 0; i < length; ++i) {
        file.sha256 += kHex[digest[i] >> 4];
        file.sha256 += kHex[digest[i] & 15];
    }
    file.size = size;
    file.present = true;
    return file;
}

std::string RunRecordJson(const RunRecord& r) {
    const Algorithm& a = r.algorithm;
    std::string json = "{";
    json += "\"program\":" + Quote(r.program) + ",\"version\":" + Quote(r.version);
    json += ",\"seed\":" + std::to_string(r.seed);
    json += ",\"population\":" + std::to_string(r.params.populationSize);
    json += ",\"generations\":" + std::to_string(r.params.generationCount);
    json += ",\"crossover\":" + ExactText(r.params.crossoverRate);
    json += ",\"mutation\":" + ExactText(r.params.mutationProbability);
    json += ",\"target\":[" + std::to_string(r.targetX) + "," + std::to_string(r.targetY) + "]";
    json += ",\"targetPixel\":[" + std::to_string(r.geometry.targetX) + "," + std::to_string(r.geometry.targetY) + "]";
    json += ",\"base\":[" + std::to_string(r.geometry.baseX) + "," + std::to_string(r.geometry.baseY) + "]";
    json += ",\"algorithm\":{\"method\":" + Quote(MethodName(a)) + ",\"encoding\":" + Quote(EncodingName(a)) +
            ",\"selection\":" + Quote(SelectionName(a)) + ",\"elitism\":" + std::to_string(a.elitism) +
            ",\"crossover\":" + Quote(CrossoverName(a)) + ",\"mutation\":" + Quote(MutationName(a)) + "}";
    json += ",\"started\":" + Quote(r.started) + ",\"ended\":" + Quote(r.ended);
    json += ",\"generationsRun\":" + std::to_string(r.generationsRun);
    json += std::string(",\"stopped\":") + (r.stopped ? "true" : "false");
    json += ",\"failure\":" + (r.failure.empty() ? std::string("null") : Quote(r.failure));
    json += ",\"files\":{\"results.csv\":" + FileJson(r.results) + ",\"fitness.csv\":" + FileJson(r.fitness) + "}";
    json += "}\n";
    return json;
}

std::optional<RunRecord> ParseRunRecord(const std::string& text, std::string& error) {
    try {
        const nlohmann::json j = nlohmann::json::parse(text);
        RunRecord r;
        r.program = j.at("program").get<std::string>();
        r.version = j.at("version").get<std::string>();
        r.seed = j.at("seed").get<std::uint32_t>();
        r.params.populationSize = j.at("population").get<int>();
        r.params.generationCount = j.at("generations").get<int>();
        r.params.crossoverRate = j.at("crossover").get<double>();
        r.params.mutationProbability = j.at("mutation").get<double>();
        r.targetX = j.at("target").at(0).get<int>();
        r.targetY = j.at("target").at(1).get<int>();
        r.geometry.targetX = j.at("targetPixel").at(0).get<int>();
        r.geometry.targetY = j.at("targetPixel").at(1).get<int>();
        r.geometry.baseX = j.at("base").at(0).get<int>();
        r.geometry.baseY = j.at("base").at(1).get<int>();
        const nlohmann::json& a = j.at("algorithm");
        for (const auto& [key, parse] :
             {std::pair{"method", &ParseMethod}, std::pair{"encoding", &ParseEncoding},
              std::pair{"selection", &ParseSelection}, std::pair{"crossover", &ParseCrossover},
              std::pair{"mutation", &ParseMutation}}) {
            if (const std::string bad = parse(a.at(key).get<std::string>(), r.algorithm); !bad.empty()) {
                error = bad;
                return std::nullopt;
            }
        }
        // The elite count by the --elitism flag's own rule and range: a fraction, a negative or an
        // out-of-range number is refused, not cut to an int.
        const nlohmann::json& elitism = a.at("elitism");
        const std::string bad = elitism.is_number_integer() ? ParseElitism(elitism.dump(), r.algorithm)
                                                            : "elitism " + elitism.dump() + " is not a whole number";
        if (!bad.empty()) {
            error = bad;
            return std::nullopt;
        }
        r.started = j.at("started").get<std::string>();
        r.ended = j.at("ended").get<std::string>();
        r.generationsRun = j.at("generationsRun").get<int>();
        r.stopped = j.at("stopped").get<bool>();
        if (!j.at("failure").is_null()) r.failure = j.at("failure").get<std::string>();
        for (const auto& [name, file] : {std::pair{"results.csv", &r.results}, std::pair{"fitness.csv", &r.fitness}}) {
            const nlohmann::json& f = j.at("files").at(name);
            if (f.is_null()) continue;
            file->present = true;
            file->size = f.at("size").get<std::uint64_t>();
            file->sha256 = f.at("sha256").get<std::string>();
        }
        return r;
    } catch (const nlohmann::json::exception& e) {
        error = e.what();
        return std::nullopt;
    }
}

// The window writes it on its run's thread: the reasons come from std::generic_category, not strerror.
std::string WriteRunRecord(RunRecord& record, const char* directory) {
    record.results = DigestFile(PathIn(directory, "results.csv"));
    record.fitness = DigestFile(PathIn(directory, "fitness.csv"));
    const std::string path = PathIn(directory, kRunRecordName);
    const std::string part = path + ".part";
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return part + ": " + std::generic_category().message(errno);
    const bool written = WriteText(fd, RunRecordJson(record));
    const int error = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(part.c_str());
        return path + ": " + std::generic_category().message(written ? errno : error);
    }
    if (::rename(part.c_str(), path.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(part.c_str());
        return path + ": " + std::generic_category().message(renameError);
    }
    return {};
}

RecordMatch ReadMatchingRecord(const std::string& directory, RunRecord& record, std::string& error,
                               const RecordedFile* current) {
    const std::string path = PathIn(directory.c_str(), kRunRecordName);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return RecordMatch::missing;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || text.size() > (1u << 20)) break;  // a record is a few hundred bytes
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    const std::optional<RunRecord> read = ParseRunRecord(text, error);
    if (!read) return RecordMatch::unreadable;
    record = *read;
    const RecordedFile now = current ? *current : DigestFile(PathIn(directory.c_str(), "results.csv"));
    return record.results.present && now == record.results ? RecordMatch::matches : RecordMatch::differs;
}

std::string ReproducingCommand(const RunRecord& r) {
    const Algorithm& a = r.algorithm;
    const Algorithm classic;
    // A stopped run's files are the bytes of a run given the generations it finished.
    const int generations = r.stopped ? r.generationsRun : r.params.generationCount;
    std::string command = "kelvora-cli --seed " + std::to_string(r.seed) + " --population " +
                          std::to_string(r.params.populationSize) + " --generations " +
                          std::to_string(generations) + " --crossover " + ExactText(r.params.crossoverRate) +
                          " --mutation " + ExactText(r.params.mutationProbability) + " --target=" + std::to_string(r.targetX) +
                          "," + std::to_string(r.targetY) + " --flush line";
    if (a.method != classic.method) command += " --algorithm " + MethodName(a);
    if (a.method == Method::geneticAlgorithm) {
        if (a.encoding != classic.encoding) command += " --encoding " + EncodingName(a);
        if (a.selection != classic.selection) command += " --selection " + SelectionName(a);
        if (a.elitism != classic.elitism) command += " --elitism " + ElitismName(a);
        if (a.crossover != classic.crossover) command += " --crossover-operator " + CrossoverName(a);
        if (a.mutation != classic.mutation) command += " --mutation-operator " + MutationName(a);
    }
    return command;
}

}  // namespace kelvora
