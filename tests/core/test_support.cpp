#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace kelvora::testing_support {

Geometry MakeGeometry(int targetX, int targetY) { return {300, 220, targetX, targetY}; }

TestRun RunInto(const char* directory, const SolverParams& params, const Geometry& geometry, std::uint32_t seed,
                const GenerationProgress& progress, FlushMode flush, const std::atomic<bool>* stop, LineWriter writer) {
    TestRun run;
    ResultWriter files(flush, writer);
    ProgressObserver observer(progress);
    RunObserver* observers[] = {&observer};
    const auto buffers = std::make_unique<RunBuffers>();
    run.report = RunWithFiles({params, geometry, seed}, files, directory, observers, *buffers, stop, &run.outcome);
    return run;
}

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvora-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed for " << pattern;
    path_ = pattern;
    text_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "text does not end in CR LF after line " << lines.size();
            break;
        }
        std::string line = text.substr(start, end - start);
        if (line.find_first_of("\r\n") != std::string::npos) ADD_FAILURE() << "stray CR or LF in line " << lines.size();
        lines.push_back(std::move(line));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return fields;
        start = comma + 1;
    }
}

std::uint32_t StateBefore(std::uint32_t next) {
    // 214013 is odd, so it has an inverse modulo 2^32; Newton's iteration doubles its correct bits.
    std::uint32_t inverse = 214013u;
    for (int i = 0; i < 5; ++i) inverse *= 2u - 214013u * inverse;
    return (next - 2531011u) * inverse;
}

std::string PrintfG(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace kelvora::testing_support
