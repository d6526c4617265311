#include "io/trace_step.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <stdexcept>
#include <string>

#include "io/trace_file.h"
#include "model/arm.h"

namespace kelvora {

double GenotypeFitness(const Geometry& geometry, std::uint32_t genotype, Encoding encoding) {
    Chromosome c;
    for (int k = 0; k < 3; ++k) {
        const int byte = static_cast<int>((genotype >> (16 - 8 * k)) & 0xFFu);
        c.gene[k] = static_cast<std::uint8_t>(encoding == Encoding::gray ? GrayDecode(byte) : byte);
    }
    return Fitness(geometry, c);
}

namespace {

// Keeps the chosen step whole, the last kLineageDepth steps' links, and each individual's set of
// initial ancestors as a bit set (one bit per initial individual).
class StepKeeper final : public StepRecorder {
public:
    StepKeeper(const RunSetup& setup, int generation, GenerationStep& out)
        : setup_(setup), g_(generation), out_(out),
          encoding_(setup.algorithm.method == Method::geneticAlgorithm ? setup.algorithm.encoding : Encoding::binary) {
        const int depth = std::min(kLineageDepth, generation);
        out_.links.resize(static_cast<std::size_t>(depth) + 1);
    }

    void onInitial(const Chromosome* genotypes, int n) override {
        n_ = n;
        words_ = (n + 63) / 64;
        sets_.assign(static_cast<std::size_t>(n) * words_, 0);
        for (int i = 0; i < n; ++i) sets_[static_cast<std::size_t>(i) * words_ + i / 64] |= std::uint64_t{1} << (i % 64);
        out_.ancestors.push_back(n);
        keep(0, genotypes, nullptr);
    }

    void onStep(int step, const SlotOrigin* origins, const Chromosome* before, const Chromosome* after, int n) override {
        const int t = step + 1;  // the generation this step made
        if (t > g_) return;
        // Ancestor sets of the new population: the union of its parents' sets.
        next_.assign(sets_.size(), 0);
        std::vector<std::uint64_t> all(static_cast<std::size_t>(words_), 0);
        for (int i = 0; i < n; ++i) {
            const SlotOrigin& o = origins[i];
            if (o.kind == SlotKind::random) continue;
            const std::uint64_t* a = &sets_[static_cast<std::size_t>(o.parents[0]) * words_];
            const std::uint64_t* b = &sets_[static_cast<std::size_t>(o.kind == SlotKind::child ? o.parents[1] : o.parents[0]) * words_];
            std::uint64_t* to = &next_[static_cast<std::size_t>(i) * words_];
            for (int w = 0; w < words_; ++w) {
                to[w] = a[w] | b[w];
                all[static_cast<std::size_t>(w)] |= to[w];
            }
        }
        sets_.swap(next_);
        int count = 0;
        for (std::uint64_t w : all) count += std::popcount(w);
        out_.ancestors.push_back(count);
        if (count * 2 < words_ * 64 && words_ > 1) Compact(all, count, n);
        keep(t, after, origins);
        if (t != g_) return;
        const Geometry& geometry = setup_.geometry;
        out_.next.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const SlotOrigin& o = origins[i];
            StepSlot& s = out_.next[static_cast<std::size_t>(i)];
            s.kind = o.kind;
            s.parents = {o.parents[0], o.kind == SlotKind::child ? o.parents[1] : o.parents[0]};
            s.mask = o.mask;
            s.redraws = o.redraws;
            s.before = Genotype(before[i]);
            s.after = Genotype(after[i]);
            s.fitness = GenotypeFitness(geometry, s.after, encoding_);
        }
    }

private:
    // Once most initial individuals have no descendants left, their bits go: each set keeps only
    // the columns of those still alive, renumbered in order (the counts stay the same).
    void Compact(const std::vector<std::uint64_t>& all, int count, int n) {
        std::vector<int> alive;
        alive.reserve(static_cast<std::size_t>(count));
        for (int b = 0; b < words_ * 64; ++b)
            if (all[static_cast<std::size_t>(b / 64)] >> (b % 64) & 1u) alive.push_back(b);
        const int words = std::max(1, (count + 63) / 64);
        next_.assign(static_cast<std::size_t>(n) * words, 0);
        for (int i = 0; i < n; ++i) {
            const std::uint64_t* from = &sets_[static_cast<std::size_t>(i) * words_];
            std::uint64_t* to = &next_[static_cast<std::size_t>(i) * words];
            for (int k = 0; k < count; ++k) {
                const int b = alive[static_cast<std::size_t>(k)];
                if (from[b / 64] >> (b % 64) & 1u) to[k / 64] |= std::uint64_t{1} << (k % 64);
            }
        }
        sets_.swap(next_);
        words_ = words;
    }

    // Generation t's population into links[g - t] when it is among those kept; the parent population
    // into out.parents when t = g - 1.
    void keep(int t, const Chromosome* population, const SlotOrigin* origins) {
        const int k = g_ - t;
        if (t == g_ - 1) {
            out_.parents.resize(static_cast<std::size_t>(n_));
            out_.parentFitness.resize(static_cast<std::size_t>(n_));
            for (int i = 0; i < n_; ++i) {
                out_.parents[static_cast<std::size_t>(i)] = Genotype(population[i]);
                out_.parentFitness[static_cast<std::size_t>(i)] =
                    GenotypeFitness(setup_.geometry, out_.parents[static_cast<std::size_t>(i)], encoding_);
            }
        }
        if (k < 0 || k >= static_cast<int>(out_.links.size())) return;
        StepLinks& links = out_.links[static_cast<std::size_t>(k)];
        links.genotypes.resize(static_cast<std::size_t>(n_));
        links.fitness.resize(static_cast<std::size_t>(n_));
        for (int i = 0; i < n_; ++i) {
            links.genotypes[static_cast<std::size_t>(i)] = Genotype(population[i]);
            links.fitness[static_cast<std::size_t>(i)] = GenotypeFitness(setup_.geometry, links.genotypes[static_cast<std::size_t>(i)], encoding_);
        }
        if (origins == nullptr || k + 1 >= static_cast<int>(out_.links.size())) return;
        links.kinds.resize(static_cast<std::size_t>(n_));
        links.parents.resize(static_cast<std::size_t>(n_));
        for (int i = 0; i < n_; ++i) {
            const SlotOrigin& o = origins[i];
            links.kinds[static_cast<std::size_t>(i)] = o.kind;
            links.parents[static_cast<std::size_t>(i)] = {o.parents[0], o.kind == SlotKind::child ? o.parents[1] : o.parents[0]};
        }
    }

    const RunSetup& setup_;
    int g_;
    GenerationStep& out_;
    Encoding encoding_;
    int n_ = 0, words_ = 0;
    std::vector<std::uint64_t> sets_, next_;
};

}  // namespace

GenerationStep TraceGenerationStep(const RunSetup& setup, int generation, const std::atomic<bool>* stop) {
    if (generation < 1 || generation > setup.params.generationCount)
        throw std::invalid_argument("TraceGenerationStep: generation " + std::to_string(generation) + " is outside 1.." +
                                    std::to_string(setup.params.generationCount));
    RunSetup shorter = setup;
    shorter.params.generationCount = generation;  // the first generations of a run do not depend on its length
    GenerationStep step;
    step.generation = generation;
    step.algorithm = setup.algorithm;
    step.geometry = setup.geometry;
    StepKeeper keeper(setup, generation, step);
    const RunOutcome outcome = RunSolver(shorter, {}, stop, &keeper);
    if (outcome.generationsRun < generation || static_cast<int>(step.next.size()) != setup.params.populationSize)
        return {};
    const Algorithm& a = setup.algorithm;
    const int n = setup.params.populationSize;
    if (a.method == Method::geneticAlgorithm && a.selection == Selection::roulette) {
        step.weights = step.parentFitness;
    } else if (a.method == Method::geneticAlgorithm && a.selection == Selection::rank) {
        // Rank p (0 = fittest, a tie to the lower index) weighs N - p.
        std::vector<int> order(static_cast<std::size_t>(n));
        std::iota(order.begin(), order.end(), 0);
        const std::vector<double>& f = step.parentFitness;
        std::stable_sort(order.begin(), order.end(), [&f](int i, int j) {
            return f[static_cast<std::size_t>(i)] > f[static_cast<std::size_t>(j)];
        });
        step.weights.assign(static_cast<std::size_t>(n), 0.0);
        for (int p = 0; p < n; ++p) step.weights[static_cast<std::size_t>(order[static_cast<std::size_t>(p)])] = n - p;
    }
    for (double w : step.weights) step.weightTotal += w;
    return step;
}

std::vector<std::vector<AncestorNode>> AncestryOf(const GenerationStep& step, int slot, int depth) {
    std::vector<std::vector<AncestorNode>> levels;
    if (step.links.empty() || slot < 0 || slot >= static_cast<int>(step.links[0].genotypes.size())) return levels;
    levels.push_back({{step.generation, slot, step.links[0].genotypes[static_cast<std::size_t>(slot)],
                       step.links[0].fitness[static_cast<std::size_t>(slot)], {}}});
    for (int k = 0; k < depth && k + 1 < static_cast<int>(step.links.size()); ++k) {
        const StepLinks& links = step.links[static_cast<std::size_t>(k)];
        const StepLinks& older = step.links[static_cast<std::size_t>(k) + 1];
        std::vector<AncestorNode> level;
        for (AncestorNode& node : levels.back()) {
            if (links.kinds[static_cast<std::size_t>(node.index)] == SlotKind::random) continue;
            const std::array<int, 2> p = links.parents[static_cast<std::size_t>(node.index)];
            for (int j = 0; j < (p[1] != p[0] ? 2 : 1); ++j) {
                int at = 0;
                while (at < static_cast<int>(level.size()) && level[static_cast<std::size_t>(at)].index != p[j]) ++at;
                if (at == static_cast<int>(level.size()))
                    level.push_back({step.generation - k - 1, p[j], older.genotypes[static_cast<std::size_t>(p[j])],
                                     older.fitness[static_cast<std::size_t>(p[j])], {}});
                node.parents.push_back(at);
            }
        }
        if (level.empty()) break;
        levels.push_back(std::move(level));
    }
    return levels;
}

}  // namespace kelvora
