#pragma once
// The operator choices of a run: how genes encode angles, how parents are selected, how many of
// the fittest pass on unchanged, how parents are crossed and how genes mutate. The default of each
// is the classic algorithm, whose runs are the program's original ones byte for byte.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora {

/// What searches: the genetic algorithm, blind sampling, or another baseline (ga/baseline.h),
/// each on the same budget of population x generations evaluations.
enum class Method : std::uint8_t {
    geneticAlgorithm,       ///< the genetic algorithm with the choices below
    randomSearch,           ///< every generation N fresh poses, rand() % 256 per gene, nothing inherited
    ccd,                    ///< cyclic coordinate descent, restarted when it stalls
    fabrik,                 ///< forward and backward reaching inverse kinematics, restarted when it stalls
    jacobianTranspose,      ///< the Jacobian transpose with the optimal step, restarted when it stalls
    dampedLeastSquares,     ///< damped least squares with adaptive damping, restarted when it stalls
    differentialEvolution,  ///< DE/rand/1/bin, F 0.8, CR 0.9
    particleSwarm,          ///< particle swarm with constriction and the global best
    cmaEs,                  ///< (mu/mu_w, lambda)-CMA-ES with the default learning rates
    simulatedAnnealing,     ///< simulated annealing, one coordinate a step, geometric cooling
    onePlusOne,             ///< the (1+1) EA, bits flipped with probability 1/24 (takes the encoding)
    hillClimbing,           ///< steepest ascent with restarts (takes the encoding and mutation: its neighbourhood)
};

/// Every method, in the order above.
inline constexpr Method kMethods[] = {
    Method::geneticAlgorithm,  Method::randomSearch,          Method::ccd,           Method::fabrik,
    Method::jacobianTranspose, Method::dampedLeastSquares,    Method::differentialEvolution,
    Method::particleSwarm,     Method::cmaEs,                 Method::simulatedAnnealing,
    Method::onePlusOne,        Method::hillClimbing,
};

/// How a gene byte (the genotype) gives its joint angle.
enum class Encoding : std::uint8_t {
    binary,  ///< the angle is the byte
    gray,    ///< the angle is the byte's Gray decoding; an angle a is encoded as a ^ (a >> 1)
};

/// How a parent is drawn.
enum class Selection : std::uint8_t {
    roulette,    ///< fitness-proportional, the classic draw
    tournament,  ///< K draws rand() % N, the fittest drawn wins (a tie: the one drawn first)
    rank,        ///< the classic draw over rank weights N, N - 1, ..., 1 (fittest first)
};

/// How two parents' 24-bit strings gene0 * 65536 + gene1 * 256 + gene2 are exchanged.
enum class CrossoverOperator : std::uint8_t {
    onePoint,  ///< r = rand() % 24; the r + 1 lowest bits exchanged
    twoPoint,  ///< r1, r2 = rand() % 24 each; bits min..max inclusive exchanged (bit 0: gene 2's lowest)
    uniform,   ///< h = rand(), l = rand(); the bits of ((h << 15) | l) & 0xFFFFFF exchanged
};

/// What a gene that mutates undergoes (the per-gene test rand() / 32767 <= P is the same for both).
enum class MutationOperator : std::uint8_t {
    bitFlip,  ///< bit rand() % 8 of the byte flips
    creep,    ///< rand() % (2S + 1) - S is added to the angle, clamped to 0..255, encoded back
};

/// Largest creep step S.
inline constexpr int kMaxCreepStep = 128;

/// The five choices of a run, and the method. The default is the classic algorithm. Random search
/// draws its initial population as the genetic algorithm does, then replaces the whole population
/// with fresh draws every generation; the five choices do not apply to it.
struct Algorithm {
    Method method = Method::geneticAlgorithm;
    Encoding encoding = Encoding::binary;
    Selection selection = Selection::roulette;
    int tournamentSize = 2;  ///< K, 2..population, used with Selection::tournament
    int elitism = 0;         ///< E, 0..population - 1: the E fittest pass on unchanged
    CrossoverOperator crossover = CrossoverOperator::onePoint;
    MutationOperator mutation = MutationOperator::bitFlip;
    int creepStep = 1;       ///< S, 1..kMaxCreepStep, used with MutationOperator::creep

    /// Every choice is the classic one (and the method the genetic algorithm).
    bool classic() const {
        return method == Method::geneticAlgorithm && encoding == Encoding::binary && selection == Selection::roulette && elitism == 0 &&
               crossover == CrossoverOperator::onePoint && mutation == MutationOperator::bitFlip;
    }
    friend bool operator==(const Algorithm& a, const Algorithm& b);
};

/// Whether a method takes the encoding (the GA, one-plus-one, hill-climbing), the mutation
/// operator (the GA, hill-climbing) and the selection, elitism and crossover (the GA alone).
bool TakesEncoding(Method method);
bool TakesMutation(Method method);
bool TakesSelection(Method method);

/// algorithm with every choice its method does not take put back to the classic one: the form
/// the sweep files, run.json and comparisons use.
Algorithm Canonical(const Algorithm& algorithm);

/// Operator choices an algorithm sets that its method does not take; each front end words it.
struct UntakenFault {
    enum Kind : std::uint8_t {
        none,
        any,                  ///< the method takes no operator choice at all
        allButEncoding,       ///< the method takes only the encoding
        allButEncodingAndMutation,  ///< the method takes only the encoding and the mutation operator
    };
    Kind kind = none;
    Method method = Method::geneticAlgorithm;  ///< the method given
    Algorithm given;  ///< the choices given that it does not take (method: the genetic algorithm)
    explicit operator bool() const { return kind != none; }
};

/// What of algorithm's choices its method does not take; kind none when it takes all it sets.
UntakenFault CheckTakenChoices(const Algorithm& algorithm);

inline bool operator==(const Algorithm& x, const Algorithm& y) {
    const Algorithm a = Canonical(x), b = Canonical(y);
    {
        if (a.method != b.method) return false;
        return a.encoding == b.encoding && a.selection == b.selection &&
               (a.selection != Selection::tournament || a.tournamentSize == b.tournamentSize) &&
               a.elitism == b.elitism && a.crossover == b.crossover && a.mutation == b.mutation &&
               (a.mutation != MutationOperator::creep || a.creepStep == b.creepStep);
    }
}

/// The angle a gene byte encodes: g ^ g >> 1 ^ g >> 2 ^ ... ^ g >> 7.
inline int GrayDecode(int g) {
    int a = g;
    for (int shift = 1; shift < 8; ++shift) a ^= g >> shift;
    return a;
}

/// The gene byte that encodes angle a (0..255): a ^ (a >> 1).
inline int GrayEncode(int a) { return a ^ (a >> 1); }

/// The spellings the command line, the settings and the sweep files use: "binary" | "gray";
/// "roulette" | "tournament:K" | "rank"; "E"; "one-point" | "two-point" | "uniform";
/// "bit-flip" | "creep:S".
std::string MethodName(const Algorithm& algorithm);  ///< "ga" | "random-search" | "ccd" | ... (ParseMethod's)
std::string EncodingName(const Algorithm& algorithm);
std::string SelectionName(const Algorithm& algorithm);
std::string ElitismName(const Algorithm& algorithm);
std::string CrossoverName(const Algorithm& algorithm);
std::string MutationName(const Algorithm& algorithm);

/// One word of an algorithm's short description: a choice that is not the classic one.
struct AlgorithmPart {
    enum Kind : std::uint8_t {
        randomSearch,  ///< blind sampling (then the only part)
        method,        ///< another baseline, the first part; count is its Method
        gray,          ///< Gray encoding
        tournament,    ///< tournament selection of count K
        rank,          ///< rank selection
        elitism,       ///< count E elite
        twoPoint,      ///< two-point crossover
        uniform,       ///< uniform crossover
        creep,         ///< creep mutation of step count S
    };
    Kind kind;
    int count = 0;  ///< K, E or S for the kinds that have one, else 0
    friend bool operator==(const AlgorithmPart&, const AlgorithmPart&) = default;
};

/// The choices that are not classic, in the order encoding, selection, elitism, crossover,
/// mutation, after the method for a baseline and only those its method takes (Canonical); random
/// search alone for blind sampling; empty for the classic algorithm. Every front end
/// words an algorithm from these parts (the window translates each kind).
std::vector<AlgorithmPart> AlgorithmParts(const Algorithm& algorithm);

/// "gray, tournament:3, elitism 1, two-point, creep:4": AlgorithmParts spelled as the flags take
/// them, comma-separated; "classic" when none; "random-search" for blind sampling, a baseline's
/// method name first ("hill-climbing, creep:4").
std::string AlgorithmSummary(const Algorithm& algorithm);

/// Each parses one spelling into algorithm and returns "" on success, or a message naming the
/// value and what is accepted (nothing is changed then). Counts are checked against their own
/// ranges only; ValidateAlgorithm checks them against a population.
std::string ParseMethod(std::string_view text, Algorithm& algorithm);
std::string ParseEncoding(std::string_view text, Algorithm& algorithm);
std::string ParseSelection(std::string_view text, Algorithm& algorithm);
std::string ParseElitism(std::string_view text, Algorithm& algorithm);
std::string ParseCrossover(std::string_view text, Algorithm& algorithm);
std::string ParseMutation(std::string_view text, Algorithm& algorithm);

/// Why an algorithm does not suit a population: a count outside its range. Each front end words it
/// in its own terms and language.
struct AlgorithmFault {
    enum Kind : std::uint8_t {
        none,
        tournamentSize,  ///< the tournament's K is outside 2..limit (limit: the population)
        elitism,         ///< the elite count is outside 0..limit (limit: the population less one)
        creepStep,       ///< the creep step S is outside 1..limit (limit: kMaxCreepStep)
    };
    Kind kind = none;
    int value = 0;  ///< the count given
    int limit = 0;  ///< the largest count allowed
    explicit operator bool() const { return kind != none; }
    friend bool operator==(const AlgorithmFault&, const AlgorithmFault&) = default;
};

/// The first count of algorithm that does not suit a population of populationSize
/// (1..kMaxPopulation), in the order tournament, elitism, creep step; kind none when all do. Only
/// the counts of choices the method takes are held to a range; random search's are none.
AlgorithmFault CheckAlgorithm(const Algorithm& algorithm, int populationSize);

/// CheckAlgorithm's fault in English, for exceptions and the files' readers: "" for none,
/// "tournament size 4 is outside 2..3 (the population)", "elitism 5 is outside 0..2 (the
/// population less one)", "creep step 129 is outside 1..128".
std::string AlgorithmFaultText(const AlgorithmFault& fault);

/// AlgorithmFaultText(CheckAlgorithm(algorithm, populationSize)).
std::string ValidateAlgorithm(const Algorithm& algorithm, int populationSize);

}  // namespace kelvora
