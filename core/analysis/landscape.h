#pragma once
// The exact fitness landscape of one target: every one of the 256^3 poses, its neighbours under a
// mutation's neighbourhood, the local optima, the steepest-ascent basins and the fitness-distance
// correlation, by exhaustive enumeration on every core.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/optimum.h"
#include "model/arm.h"

namespace kelvora {

/// Poses in the search space: 256^3. A pose's index is gene0 * 65536 + gene1 * 256 + gene2.
inline constexpr std::uint32_t kPoseCount = 1u << 24;

/// The index of a pose, 0..kPoseCount - 1, and back.
inline std::uint32_t PoseIndex(int a1, int a2, int a3) {
    return (static_cast<std::uint32_t>(a1) << 16) | (static_cast<std::uint32_t>(a2) << 8) | static_cast<std::uint32_t>(a3);
}
inline ArmPose PoseAt(std::uint32_t index) {
    return {static_cast<int>(index >> 16), static_cast<int>((index >> 8) & 0xff), static_cast<int>(index & 0xff)};
}

/// Which poses a mutation reaches in one step. Each pose's neighbours are listed gene 0 first:
/// binary: for bit 0..7, the angle byte with that bit flipped (24 neighbours);
/// gray: for bit 0..7, the Gray decoding of the angle's Gray encoding with that bit flipped (24);
/// creep:S: the angles max(0, a - S) .. min(255, a + S) in increasing order, a left out (up to 6S).
struct Neighbourhood {
    enum class Kind { binary, gray, creep };
    Kind kind = Kind::binary;
    int step = 0;  ///< S of creep:S, 1..kMaxLandscapeCreepStep; 0 otherwise
    friend bool operator==(const Neighbourhood&, const Neighbourhood&) = default;
};

/// Largest creep step S of a neighbourhood.
inline constexpr int kMaxLandscapeCreepStep = 128;

/// "binary", "gray" or "creep:S" (S an integer 1..128 in plain digits: no sign, no leading zero, no
/// spaces); nullopt for anything else.
std::optional<Neighbourhood> ParseNeighbourhood(const std::string& text);

/// The spelling ParseNeighbourhood reads.
std::string NeighbourhoodName(const Neighbourhood& neighbourhood);

/// The neighbour angles of angle a (0..255) in one gene, in the neighbourhood's order.
std::vector<int> NeighbourAngles(const Neighbourhood& neighbourhood, int a);

/// Every pose's distance to one target, as the run computes it (TipDistance, bit for bit), by pose
/// index, and the target's global optimum (FindOptimum). 128 MiB.
struct DistanceTable {
    Geometry geometry;
    Optimum optimum;
    std::vector<double> distance;  ///< kPoseCount entries, pixels >= 0
};

/// Fills table for geometry on threads threads (0: every core). The result does not depend on the
/// thread count. Takes about 0.1 s of two cores; the vector is reused when it has the size already.
void FillDistanceTable(const Geometry& geometry, DistanceTable& table, unsigned threads = 0);

/// The same distances as float32 into the caller's buffer of kPoseCount floats (64 MiB), by pose
/// index, each the double distance rounded to nearest once; the same whatever the thread count.
void FillDistanceTable(const Geometry& geometry, float* distance, unsigned threads = 0);

/// The steepest-ascent successor of every pose, by pose index: its best neighbour (the first in the
/// neighbourhood's order among equally near ones) when that is strictly nearer than the pose, else
/// the pose itself. 64 MiB; every core (threads 0); the same whatever the thread count.
std::vector<std::uint32_t> SteepestSuccessors(const DistanceTable& table, const Neighbourhood& neighbourhood,
                                              unsigned threads = 0);

/// Replaces each successor by the local optimum that following successors from the pose ends at, its
/// attractor (a pose index whose successor is itself). One core, in place.
void FollowToAttractors(std::vector<std::uint32_t>& successors);

/// A local optimum: no neighbour is strictly nearer the target.
struct LocalOptimum {
    ArmPose pose;
    double distance = 0.0;       ///< pixels, as the run computes it
    std::uint32_t basinSize = 0; ///< starts (poses) whose attractor it is, 1..kPoseCount
};

/// One neighbourhood's landscape for one target.
struct LandscapeSummary {
    Neighbourhood neighbourhood;
    double epsilon = 0.5;              ///< pixels
    long long localOptima = 0;         ///< count of local optima
    long long localOptimaWithin = 0;   ///< of them, those with distance <= epsilon
    long long basinOptimum = 0;        ///< starts whose attractor is the global optimum (table.optimum)
    long long startsWithin = 0;        ///< starts whose attractor has distance <= epsilon
    /// Pearson's correlation over all poses of fitness 1 / (d + 1) and the genotype distance to the
    /// global optimum: Hamming distance of the 24-bit genotypes (bytes for binary, Gray encodings
    /// for gray), for creep:S the sum over the genes of ceil(|a - b| / S). In [-1, 1].
    double fdc = 0.0;
    std::vector<LocalOptimum> optima;  ///< every local optimum in pose-index order
};

/// The summary of a neighbourhood from the attractors FollowToAttractors left. Every core; the
/// same numbers, bit for bit, whatever the thread count.
LandscapeSummary SummariseLandscape(const DistanceTable& table, const Neighbourhood& neighbourhood,
                                    const std::vector<std::uint32_t>& attractors, double epsilon,
                                    unsigned threads = 0);

/// SteepestSuccessors, FollowToAttractors and SummariseLandscape in one: 64 MiB besides the table
/// (80 MiB for creep). About 0.3 s of two cores for any of the neighbourhoods, creep:S for any S.
LandscapeSummary AnalyseLandscape(const DistanceTable& table, const Neighbourhood& neighbourhood, double epsilon,
                                  unsigned threads = 0);

/// One target of a landscape map: its offset from the base and its landscape's counts.
struct LandscapeMapCell {
    int x = 0, y = 0;              ///< pixels relative to the base, x right, y up, -199..199
    long long localOptima = 0;     ///< local optima of the map's neighbourhood
    long long startsWithin = 0;    ///< starts whose steepest ascent ends within epsilon, 0..kPoseCount
    friend bool operator==(const LandscapeMapCell&, const LandscapeMapCell&) = default;
};

/// The targets of a landscape map at step px (1..199): every offset that is a multiple of step in
/// -199..199 on both axes, the top row (largest y) first, each row left to right; counts zero.
std::vector<LandscapeMapCell> LandscapeMapGrid(int step);

/// Computes the counts of cells[from..] in order, each target one FillDistanceTable and
/// AnalyseLandscape (neighbourhood, epsilon px) on every core, about 0.4 s of two cores. Before each
/// target it looks at stop and ends once it is raised; after each it calls after(done), done the
/// count of cells whose counts are filled (from + 1 .. cells.size()), and ends if that returns
/// false. Returns the count of cells filled, from .. cells.size(); the cells beyond keep theirs.
std::size_t ComputeLandscapeMap(std::vector<LandscapeMapCell>& cells, std::size_t from,
                                const Neighbourhood& neighbourhood, double epsilon, const std::atomic<bool>& stop,
                                const std::function<bool(std::size_t done)>& after);

}  // namespace kelvora
