#include "io/run_record.h"
#include "io/replace_file.h"

#include "io/result_files.h"
#include "model/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nettle/sha2.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <ctime>
#include <memory>
#include <set>
#include <string>
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

const char* FlushName(FlushMode mode) { return mode == FlushMode::line ? "line" : "generation"; }

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
    sha256_ctx context;
    sha256_init(&context);
    // Sized by the file (a page at least, a MiB at most) and not zero-filled: a small run's files
    // cost a page each. (new[] rather than make_unique_for_overwrite, which the browser build's C++
    // library lacks.)
    const std::size_t capacity = static_cast<std::size_t>(
        std::clamp<off_t>(info.st_size + 1, off_t{4096}, off_t{1} << 20));
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[capacity]);
    std::uint64_t size = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.get(), capacity);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return file;
        }
        if (n == 0) break;
        sha256_update(&context, static_cast<std::size_t>(n), buffer.get());
        size += static_cast<std::uint64_t>(n);
    }
    ::close(fd);
    unsigned char digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    static const char kHex[] = "0123456789abcdef";
    for (const unsigned char byte : digest) {
        file.sha256 += kHex[byte >> 4];
        file.sha256 += kHex[byte & 15];
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
    if (r.flush) json += std::string(",\"flush\":\"") + FlushName(*r.flush) + "\"";
    json += "}\n";
    return json;
}

namespace {

// A record's field as the matching flag takes it: an integer or a number within the flag's range,
// or a reason naming the field, its value and the range.
struct FieldReader {
    const nlohmann::json& object;
    std::string& error;

    template <class Int>
    bool Integer(const char* key, const nlohmann::json& value, long long low, long long high, Int& out) {
        long long v = 0;
        bool ok = value.is_number_integer();
        if (ok && value.is_number_unsigned()) {
            const auto u = value.get<std::uint64_t>();
            ok = u <= static_cast<std::uint64_t>(high);
            v = static_cast<long long>(u);
        } else if (ok) {
            v = value.get<long long>();
        }
        if (!ok || v < low || v > high) {
            error = std::string(key) + ": " + value.dump() + " is not an integer in " + std::to_string(low) + ".." +
                    std::to_string(high);
            return false;
        }
        out = static_cast<Int>(v);
        return true;
    }
    template <class Int>
    bool Integer(const char* key, long long low, long long high, Int& out) {
        return Integer(key, object.at(key), low, high, out);
    }
    bool Number(const char* key, double low, double high, double& out) {
        const nlohmann::json& value = object.at(key);
        if (!value.is_number() || !(value.get<double>() >= low && value.get<double>() <= high)) {
            error = std::string(key) + ": " + value.dump() + " is not a number in " + ExactText(low) + ".." +
                    ExactText(high);
            return false;
        }
        out = value.get<double>();
        return true;
    }
    bool Pair(const char* key, long long low, long long high, int& x, int& y) {
        const nlohmann::json& value = object.at(key);
        if (!value.is_array() || value.size() != 2) {
            error = std::string(key) + ": " + value.dump() + " is not a pair [X, Y]";
            return false;
        }
        return Integer(key, value.at(0), low, high, x) && Integer(key, value.at(1), low, high, y);
    }
};

bool Sha256Text(const std::string& text) {
    if (text.size() != 64) return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

}  // namespace

std::optional<RunRecord> ParseRunRecord(const std::string& text, std::string& error) {
    try {
        // A key given twice in one object is refused: which of the two a reader takes is no one's guess.
        std::vector<std::set<std::string>> keys;
        std::string repeated;
        const nlohmann::json j = nlohmann::json::parse(text, [&](int, nlohmann::json::parse_event_t event, nlohmann::json& value) {
            if (event == nlohmann::json::parse_event_t::object_start) keys.emplace_back();
            if (event == nlohmann::json::parse_event_t::object_end && !keys.empty()) keys.pop_back();
            if (event == nlohmann::json::parse_event_t::key && !keys.empty() && !keys.back().insert(value.get<std::string>()).second &&
                repeated.empty())
                repeated = value.get<std::string>();
            return true;
        });
        if (!repeated.empty()) {
            error = "the key \"" + repeated + "\" is given twice";
            return std::nullopt;
        }
        RunRecord r;
        FieldReader field{j, error};
        r.program = j.at("program").get<std::string>();
        r.version = j.at("version").get<std::string>();
        constexpr long long kPixels = 1 << 20;  // far beyond any client area
        if (!field.Integer("seed", 0, 0xFFFFFFFFLL, r.seed) ||
            !field.Integer("population", kMinPopulation, kMaxPopulation, r.params.populationSize) ||
            !field.Integer("generations", kMinGenerations, kMaxGenerations, r.params.generationCount) ||
            !field.Number("crossover", kMinCrossoverRate, kMaxCrossoverRate, r.params.crossoverRate) ||
            !field.Number("mutation", kMinMutationProbability, kMaxMutationProbability, r.params.mutationProbability) ||
            !field.Pair("target", -kMaxTargetOffset, kMaxTargetOffset, r.targetX, r.targetY) ||
            !field.Pair("targetPixel", -kPixels, kPixels, r.geometry.targetX, r.geometry.targetY) ||
            !field.Pair("base", -kPixels, kPixels, r.geometry.baseX, r.geometry.baseY) ||
            !field.Integer("generationsRun", 0, r.params.generationCount, r.generationsRun))
            return std::nullopt;
        if (r.geometry.targetX - r.geometry.baseX != r.targetX || r.geometry.baseY - r.geometry.targetY != r.targetY) {
            error = "targetPixel: " + j.at("targetPixel").dump() + " is not the target " + j.at("target").dump() +
                    " from the base " + j.at("base").dump();
            return std::nullopt;
        }
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
        // The elite count as --elitism takes it, then every count against the population.
        const nlohmann::json& elitism = a.at("elitism");
        if (const std::string bad = elitism.is_number_integer() ? ParseElitism(elitism.dump(), r.algorithm)
                                                                : "elitism " + elitism.dump() + " is not an integer";
            !bad.empty()) {
            error = bad;
            return std::nullopt;
        }
        if (const std::string bad = ValidateAlgorithm(r.algorithm, r.params.populationSize); !bad.empty()) {
            error = bad;
            return std::nullopt;
        }
        r.started = j.at("started").get<std::string>();
        r.ended = j.at("ended").get<std::string>();
        r.stopped = j.at("stopped").get<bool>();
        if (!j.at("failure").is_null()) r.failure = j.at("failure").get<std::string>();
        for (const auto& [name, file] : {std::pair{"results.csv", &r.results}, std::pair{"fitness.csv", &r.fitness}}) {
            const nlohmann::json& f = j.at("files").at(name);
            if (f.is_null()) continue;
            file->present = true;
            file->size = f.at("size").get<std::uint64_t>();
            file->sha256 = f.at("sha256").get<std::string>();
            if (!Sha256Text(file->sha256)) {
                error = std::string(name) + ": sha256 " + f.at("sha256").dump() + " is not 64 lower-case hex digits";
                return std::nullopt;
            }
        }
        if (j.contains("flush")) {
            const std::string flush = j.at("flush").get<std::string>();
            if (flush != "line" && flush != "generation") {
                error = "flush: '" + flush + "' is not 'line' or 'generation'";
                return std::nullopt;
            }
            r.flush = flush == "line" ? FlushMode::line : FlushMode::generation;
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
    const std::string json = RunRecordJson(record);
    if (const std::string reason = ReplaceWhole(path, [&json](int fd) { return WriteText(fd, json); });
        !reason.empty())
        return path + ": " + reason;
    return {};
}

}  // namespace kelvora
