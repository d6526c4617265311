// The worker's module: a run as kelvora-cli makes it, from the same flags, its two result files
// written into the module's in-memory file system for the page to read back; the exact optimum
// of a target. Progress goes to the worker as each generation ends.
#include <emscripten.h>

#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "analysis/optimum.h"
#include "io/result_files.h"
#include "model/arm.h"

namespace {

std::string message;  // the last refusal, in kelvora-cli's words

EM_JS(void, ReportGeneration, (int generation, int generations, double error, double best, double average, int a1,
                                int a2, int a3), {
    if (Module.onGeneration) Module.onGeneration(generation, generations, error, best, average, [a1, a2, a3]);
});

class Progress final : public kelvora::RunObserver {
public:
    explicit Progress(int generations) : generations_(generations) {}
    void onGeneration(const kelvora::GenerationView& view) override {
        ReportGeneration(view.generation, generations_, view.error, view.best, view.average, view.currentPose.a1,
                         view.currentPose.a2, view.currentPose.a3);
    }

private:
    int generations_;
};

}  // namespace

extern "C" {

/// Runs the run that kelvora-cli's flags in args (one flag or value a line) describe, writing
/// results.csv and fitness.csv into directory. 0: run and written; 2: the flags were refused
/// (kv_message says why); 1: a file could not be written.
EMSCRIPTEN_KEEPALIVE int kv_run(const char* args, const char* directory) {
    std::vector<std::string> list;
    std::string line;
    for (const char* p = args; *p; ++p) {
        if (*p == '\n') {
            list.push_back(line);
            line.clear();
        } else {
            line += *p;
        }
    }
    if (!line.empty()) list.push_back(line);
    const kelvora::cli::ParseResult parsed = kelvora::cli::ParseCommandLine(list);
    if (!parsed.ok()) {
        message = parsed.error;
        return 2;
    }
    const kelvora::cli::CliOptions& o = parsed.options;
    if (!o.seed) {
        message = "a seed is needed";
        return 2;
    }
    message.clear();
    const kelvora::RunSetup setup{o.params, kelvora::GeometryFor(o.targetX, o.targetY), *o.seed, o.algorithm};
    kelvora::ResultWriter writer(kelvora::FlushMode::generation);
    Progress progress(o.params.generationCount);
    kelvora::RunObserver* observers[] = {&progress};
    static kelvora::RunBuffers buffers;
    const kelvora::RunReport report = kelvora::RunWithFiles(setup, writer, directory, observers, buffers);
    return report.filesComplete() ? 0 : 1;
}

EMSCRIPTEN_KEEPALIVE const char* kv_message() { return message.c_str(); }

/// The exact optimum for the target (relative x right, y up) as "a1,a2,a3,distance", distance
/// written in its shortest exact text.
EMSCRIPTEN_KEEPALIVE const char* kv_optimum(int targetX, int targetY) {
    const kelvora::Geometry g = kelvora::GeometryFor(targetX, targetY);
    const kelvora::Optimum best = kelvora::FindOptimum(g.baseX, g.baseY, g.targetX, g.targetY);
    static char text[96];
    std::snprintf(text, sizeof text, "%d,%d,%d,%.17g", best.pose.a1, best.pose.a2, best.pose.a3, best.distance);
    return text;
}

}  // extern "C"
