#pragma once
// A plain, slow transcription of the search, written to be read rather than to be fast: sine and
// cosine per call, the roulette as a linear scan of a fitness table built afresh each step,
// crossover gene by gene, and both files formatted with iostreams. The solver's tables, binary
// search, fitness cache and hand-made formatting must give exactly its bytes; the benchmark times
// one of its generations as the baseline. The operator choices are written out the same way from
// their definitions: Gray decoding bit by bit, the rank order by a stable sort, exchange masks
// built bit by bit and applied gene by gene.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/optimum.h"
#include "ga/run.h"
#include "io/result_files.h"

namespace kelvora::reference {

/// Base and target pixels of a search.
struct Geometry {
    int baseX = 300;
    int baseY = 220;
    int targetX = 368;
    int targetY = 40;
};

TipPoint Tip(const Geometry& geometry, int a1, int a2, int a3);
double Distance(const Geometry& geometry, int a1, int a2, int a3);
double Fitness(const Geometry& geometry, const Chromosome& c);

/// The angle a gene byte holds under encoding: the byte itself, or its Gray decoding (each bit of
/// the angle is the angle's next higher bit XOR the byte's own bit).
int AngleOf(Encoding encoding, int gene);

/// The gene byte that holds angle (0..255) under encoding.
int GeneOf(Encoding encoding, int angle);

/// The generation loop of one run, one step at a time; results.csv lines go to the given stream.
class Search {
public:
    Search(const Geometry& geometry, const SolverParams& params, std::uint32_t seed, std::ostream& results,
           const Algorithm& algorithm = {});

    /// Reproduces, mutates, evaluates and logs the next generation; returns its error.
    double Step();

    /// The three parts of a step, each on its own.
    void Reproduce();
    void Mutate();
    void Evaluate();

    const std::vector<Chromosome>& population() const { return population_; }
    const std::vector<GenerationStat>& history() const { return history_; }
    ArmPose currentPose() const { return currentPose_; }
    ArmPose elitePose() const { return elitePose_; }
    double eliteFitness() const { return eliteFitness_; }
    const CrtRandom& rng() const { return rng_; }

private:
    int Select(const std::vector<double>& fitness, double total);
    int SelectParent(const std::vector<double>& fitness, double total, const std::vector<double>& weights);
    Chromosome Angles(const Chromosome& c) const;
    std::uint32_t ExchangeMask();

    Geometry geometry_;
    SolverParams params_;
    Algorithm algorithm_;
    CrtRandom rng_;
    std::ostream& results_;
    std::vector<Chromosome> population_;
    std::vector<GenerationStat> history_;
    ArmPose currentPose_{};
    ArmPose elitePose_{};
    double eliteFitness_ = 0.0;
};

/// Gene-by-gene crossover with cut r (0..23), by the table of which gene the cut falls into.
void CrossoverByGene(const Chromosome& a, const Chromosome& b, int r, Chromosome& child1, Chromosome& child2);

/// Everything a whole run leaves behind.
struct RunOutcome {
    std::string results;
    std::string fitness;
    std::vector<double> errors;  ///< per generation
    std::vector<GenerationStat> history;
    ArmPose currentPose{};
    ArmPose elitePose{};
    double eliteFitness = 0.0;
};

RunOutcome Run(const Geometry& geometry, const SolverParams& params, std::uint32_t seed, const Algorithm& algorithm = {});

}  // namespace kelvora::reference
