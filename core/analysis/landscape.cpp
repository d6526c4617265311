#include "analysis/landscape.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <thread>

#include "model/link_tables.h"

// Everything is exhaustive over the 256^3 poses. The work is cut into the 256 planes of gene 0;
// workers take planes in turn, each writes only its own plane's entries or its own plane's partial
// sums, and partial sums are added in plane order afterwards, so no result depends on the number
// of threads or on their timing.

namespace kelvora {
namespace {

constexpr int kPlanes = 256;
constexpr std::uint32_t kPlaneSize = kPoseCount / kPlanes;

unsigned ThreadCount(unsigned threads) {
    if (threads == 0) threads = std::thread::hardware_concurrency();
    return std::clamp(threads, 1u, 64u);
}

// Calls work(plane) for every plane 0..255, on threads workers.
void ForEachPlane(unsigned threads, const std::function<void(int plane)>& work) {
    std::atomic<int> next{0};
    const auto worker = [&] {
        for (int plane; (plane = next.fetch_add(1)) < kPlanes;) work(plane);
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < ThreadCount(threads); ++t) pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool) t.join();
}

// The run's Gray encoding of an angle: a ^ (a >> 1).
int GrayOf(int a) { return a ^ (a >> 1); }

// The angle whose Gray encoding is g.
int AngleOfGray(int g) {
    int a = g;
    for (int shift = 1; shift < 8; ++shift) a ^= g >> shift;
    return a;
}

// Each gene's genotype distance between angles a and b.
int GeneDistance(const Neighbourhood& n, int a, int b) {
    switch (n.kind) {
    case Neighbourhood::Kind::binary: return std::popcount(static_cast<unsigned>(a ^ b));
    case Neighbourhood::Kind::gray: return std::popcount(static_cast<unsigned>(GrayOf(a) ^ GrayOf(b)));
    case Neighbourhood::Kind::creep: break;
    }
    return (std::abs(a - b) + n.step - 1) / n.step;
}

// For every angle a of one gene's line v[0..255]: the nearest angle of the creep window
// max(0, a - S) .. min(255, a + S) without a, the first in increasing order among equally near ones.
// Two sliding windows whose queues keep the earliest of equal values in front: a - S .. a - 1 and
// a + 1 .. a + S; the lower one wins a tie.
void CreepLine(const double* v, int step, std::uint8_t* best) {
    int queue[256];
    int head = 0, tail = 0;
    int below[256];  // the earliest nearest in a - S .. a - 1, -1 for a = 0
    for (int a = 0; a < 256; ++a) {
        if (a > 0) {
            const int j = a - 1;
            while (tail > head && v[queue[tail - 1]] > v[j]) --tail;
            queue[tail++] = j;
        }
        while (tail > head && queue[head] < a - step) ++head;
        below[a] = tail > head ? queue[head] : -1;
    }
    head = tail = 0;
    for (int a = 255; a >= 0; --a) {
        if (a < 255) {
            const int j = a + 1;  // lower than everything queued: it takes their ties
            while (tail > head && v[queue[tail - 1]] >= v[j]) --tail;
            queue[tail++] = j;
        }
        while (tail > head && queue[head] > a + step) ++head;
        const int above = tail > head ? queue[head] : -1;
        const int b = below[a] < 0 ? above : (above < 0 || v[below[a]] <= v[above]) ? below[a] : above;
        best[a] = static_cast<std::uint8_t>(b);
    }
}

// creep:S in time independent of S: each gene's best neighbour from its line's sliding windows,
// then the three genes' bests compared in gene order.
void CreepSuccessors(const double* d, int step, unsigned threads, std::vector<std::uint32_t>& successor) {
    // Gene 0's best angle for every pose, its lines read 256 at a time across the planes.
    std::vector<std::uint8_t> best0(kPoseCount);
    ForEachPlane(threads, [&](int a2) {
        std::vector<double> lines(256 * 256);  // [a3][a1]
        for (int a1 = 0; a1 < 256; ++a1) {
            const double* row = d + PoseIndex(a1, a2, 0);
            for (int a3 = 0; a3 < 256; ++a3) lines[a3 * 256 + a1] = row[a3];
        }
        std::uint8_t best[256];
        for (int a3 = 0; a3 < 256; ++a3) {
            CreepLine(&lines[a3 * 256], step, best);
            for (int a1 = 0; a1 < 256; ++a1) best0[PoseIndex(a1, a2, a3)] = best[a1];
        }
    });
    ForEachPlane(threads, [&](int a1) {
        const double* plane = d + PoseIndex(a1, 0, 0);
        std::vector<std::uint8_t> best1(256 * 256), best2(256 * 256);  // by a2 * 256 + a3
        double line[256];
        std::uint8_t best[256];
        for (int a3 = 0; a3 < 256; ++a3) {
            for (int a2 = 0; a2 < 256; ++a2) line[a2] = plane[a2 * 256 + a3];
            CreepLine(line, step, best);
            for (int a2 = 0; a2 < 256; ++a2) best1[a2 * 256 + a3] = best[a2];
        }
        for (int a2 = 0; a2 < 256; ++a2) CreepLine(plane + a2 * 256, step, &best2[a2 * 256]);
        for (int a2 = 0; a2 < 256; ++a2) {
            for (int a3 = 0; a3 < 256; ++a3) {
                const std::uint32_t self = PoseIndex(a1, a2, a3);
                std::uint32_t best = PoseIndex(best0[self], a2, a3);
                const std::uint32_t j1 = PoseIndex(a1, best1[a2 * 256 + a3], a3);
                const std::uint32_t j2 = PoseIndex(a1, a2, best2[a2 * 256 + a3]);
                if (d[j1] < d[best]) best = j1;
                if (d[j2] < d[best]) best = j2;
                successor[self] = d[best] < d[self] ? best : self;
            }
        }
    });
}

}  // namespace

std::optional<Neighbourhood> ParseNeighbourhood(const std::string& text) {
    if (text == "binary") return Neighbourhood{Neighbourhood::Kind::binary, 0};
    if (text == "gray") return Neighbourhood{Neighbourhood::Kind::gray, 0};
    if (text.rfind("creep:", 0) != 0) return std::nullopt;
    const std::string digits = text.substr(6);
    if (digits.empty() || digits.size() > 3 || digits[0] == '0' || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int step = std::stoi(digits);
    if (step < 1 || step > kMaxLandscapeCreepStep) return std::nullopt;
    return Neighbourhood{Neighbourhood::Kind::creep, step};
}

std::string NeighbourhoodName(const Neighbourhood& n) {
    switch (n.kind) {
    case Neighbourhood::Kind::binary: return "binary";
    case Neighbourhood::Kind::gray: return "gray";
    case Neighbourhood::Kind::creep: break;
    }
    return "creep:" + std::to_string(n.step);
}

std::vector<int> NeighbourAngles(const Neighbourhood& n, int a) {
    std::vector<int> angles;
    switch (n.kind) {
    case Neighbourhood::Kind::binary:
        for (int bit = 0; bit < 8; ++bit) angles.push_back(a ^ (1 << bit));
        break;
    case Neighbourhood::Kind::gray:
        for (int bit = 0; bit < 8; ++bit) angles.push_back(AngleOfGray(GrayOf(a) ^ (1 << bit)));
        break;
    case Neighbourhood::Kind::creep:
        for (int b = std::max(0, a - n.step); b <= std::min(255, a + n.step); ++b)
            if (b != a) angles.push_back(b);
        break;
    }
    return angles;
}

namespace {

// Every pose's distance into d (kPoseCount entries), each rounded once to T from the run's double.
template <typename T>
void FillDistances(const Geometry& geometry, T* d, unsigned threads) {
    const LinkTables& t = Tables();
    ForEachPlane(threads, [&](int a1) {
        T* out = d + static_cast<std::size_t>(a1) * kPlaneSize;
        for (int a2 = 0; a2 < 256; ++a2)
            for (int a3 = 0; a3 < 256; ++a3)
                *out++ = static_cast<T>(TargetDistance(geometry.targetX, geometry.targetY,
                                                       Tip(t, a1, a2, a3, geometry.baseX, geometry.baseY)));
    });
}

}  // namespace

void FillDistanceTable(const Geometry& geometry, DistanceTable& table, unsigned threads) {
    table.geometry = geometry;
    table.optimum = FindOptimum(geometry.baseX, geometry.baseY, geometry.targetX, geometry.targetY);
    table.distance.resize(kPoseCount);
    FillDistances(geometry, table.distance.data(), threads);
}

void FillDistanceTable(const Geometry& geometry, float* distance, unsigned threads) {
    FillDistances(geometry, distance, threads);
}

std::vector<std::uint32_t> SteepestSuccessors(const DistanceTable& table, const Neighbourhood& neighbourhood,
                                              unsigned threads) {
    std::vector<std::uint32_t> successor(kPoseCount);
    const double* d = table.distance.data();
    if (neighbourhood.kind == Neighbourhood::Kind::creep) {
        CreepSuccessors(d, neighbourhood.step, threads, successor);
        return successor;
    }
    // Each angle's neighbours as index offsets within its gene, the same list for the three genes.
    std::vector<int> first(257, 0), angle;
    for (int a = 0; a < 256; ++a) {
        const std::vector<int> list = NeighbourAngles(neighbourhood, a);
        angle.insert(angle.end(), list.begin(), list.end());
        first[a + 1] = static_cast<int>(angle.size());
    }
    ForEachPlane(threads, [&](int a1) {
        for (int a2 = 0; a2 < 256; ++a2) {
            for (int a3 = 0; a3 < 256; ++a3) {
                const std::uint32_t self = PoseIndex(a1, a2, a3);
                std::uint32_t best = self;
                double bestDistance = std::numeric_limits<double>::infinity();
                const auto consider = [&](std::uint32_t j) {
                    if (d[j] < bestDistance) {
                        bestDistance = d[j];
                        best = j;
                    }
                };
                const std::uint32_t rest0 = self & 0xffffu, rest1 = self & 0xff00ffu, rest2 = self & 0xffff00u;
                for (int k = first[a1]; k < first[a1 + 1]; ++k) consider(rest0 | (static_cast<std::uint32_t>(angle[k]) << 16));
                for (int k = first[a2]; k < first[a2 + 1]; ++k) consider(rest1 | (static_cast<std::uint32_t>(angle[k]) << 8));
                for (int k = first[a3]; k < first[a3 + 1]; ++k) consider(rest2 | static_cast<std::uint32_t>(angle[k]));
                successor[self] = bestDistance < d[self] ? best : self;
            }
        }
    });
    return successor;
}

void FollowToAttractors(std::vector<std::uint32_t>& s) {
    // An entry with kDone set holds its attractor already. Each entry is settled once.
    constexpr std::uint32_t kDone = 1u << 31;
    std::vector<std::uint32_t> path;
    for (std::uint32_t i = 0; i < s.size(); ++i) {
        std::uint32_t j = i;
        while (!(s[j] & kDone) && s[j] != j) {
            path.push_back(j);
            j = s[j];
        }
        const std::uint32_t attractor = (s[j] & kDone) ? (s[j] & ~kDone) : j;
        s[j] = attractor | kDone;
        for (const std::uint32_t p : path) s[p] = attractor | kDone;
        path.clear();
    }
    for (std::uint32_t& e : s) e &= ~kDone;
}

LandscapeSummary SummariseLandscape(const DistanceTable& table, const Neighbourhood& neighbourhood,
                                    const std::vector<std::uint32_t>& attractors, double epsilon, unsigned threads) {
    LandscapeSummary summary;
    summary.neighbourhood = neighbourhood;
    summary.epsilon = epsilon;
    const double* d = table.distance.data();

    std::vector<std::uint32_t> optima;  // pose indices, increasing
    for (std::uint32_t i = 0; i < kPoseCount; ++i)
        if (attractors[i] == i) optima.push_back(i);

    // Per plane: the basin sizes, and the sums for the correlation's means.
    const ArmPose o = table.optimum.pose;
    int geneDistance[3][256];
    for (int a = 0; a < 256; ++a) {
        geneDistance[0][a] = GeneDistance(neighbourhood, a, o.a1);
        geneDistance[1][a] = GeneDistance(neighbourhood, a, o.a2);
        geneDistance[2][a] = GeneDistance(neighbourhood, a, o.a3);
    }
    std::vector<std::vector<std::uint32_t>> basins(kPlanes);
    std::vector<double> fitnessSum(kPlanes);
    std::vector<long long> genotypeSum(kPlanes);
    ForEachPlane(threads, [&](int a1) {
        std::vector<std::uint32_t> count(optima.size(), 0);
        double f = 0.0;
        long long g = 0;
        std::uint32_t i = static_cast<std::uint32_t>(a1) * kPlaneSize;
        std::uint32_t last = std::numeric_limits<std::uint32_t>::max();
        std::size_t slot = 0;
        for (int a2 = 0; a2 < 256; ++a2) {
            for (int a3 = 0; a3 < 256; ++a3, ++i) {
                if (attractors[i] != last) {
                    last = attractors[i];
                    slot = static_cast<std::size_t>(std::lower_bound(optima.begin(), optima.end(), last) - optima.begin());
                }
                ++count[slot];
                f += FitnessOfDistance(d[i]);
                g += geneDistance[0][a1] + geneDistance[1][a2] + geneDistance[2][a3];
            }
        }
        basins[a1] = std::move(count);
        fitnessSum[a1] = f;
        genotypeSum[a1] = g;
    });
    double totalFitness = 0.0;
    long long totalGenotype = 0;
    std::vector<std::uint32_t> basin(optima.size(), 0);
    for (int p = 0; p < kPlanes; ++p) {
        totalFitness += fitnessSum[p];
        totalGenotype += genotypeSum[p];
        for (std::size_t k = 0; k < optima.size(); ++k) basin[k] += basins[p][k];
    }
    const double meanFitness = totalFitness / kPoseCount;
    const double meanGenotype = static_cast<double>(totalGenotype) / kPoseCount;

    // The centred sums, again per plane and added in plane order.
    std::vector<double> sxy(kPlanes), sxx(kPlanes), syy(kPlanes);
    ForEachPlane(threads, [&](int a1) {
        double xy = 0.0, xx = 0.0, yy = 0.0;
        std::uint32_t i = static_cast<std::uint32_t>(a1) * kPlaneSize;
        for (int a2 = 0; a2 < 256; ++a2) {
            for (int a3 = 0; a3 < 256; ++a3, ++i) {
                const double x = FitnessOfDistance(d[i]) - meanFitness;
                const double y = (geneDistance[0][a1] + geneDistance[1][a2] + geneDistance[2][a3]) - meanGenotype;
                xy += x * y;
                xx += x * x;
                yy += y * y;
            }
        }
        sxy[a1] = xy;
        sxx[a1] = xx;
        syy[a1] = yy;
    });
    double xy = 0.0, xx = 0.0, yy = 0.0;
    for (int p = 0; p < kPlanes; ++p) {
        xy += sxy[p];
        xx += sxx[p];
        yy += syy[p];
    }
    summary.fdc = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0.0;

    const std::uint32_t best = PoseIndex(table.optimum.pose.a1, table.optimum.pose.a2, table.optimum.pose.a3);
    summary.localOptima = static_cast<long long>(optima.size());
    summary.optima.reserve(optima.size());
    for (std::size_t k = 0; k < optima.size(); ++k) {
        const double distance = d[optima[k]];
        summary.optima.push_back({PoseAt(optima[k]), distance, basin[k]});
        if (distance <= epsilon) {
            ++summary.localOptimaWithin;
            summary.startsWithin += basin[k];
        }
        if (optima[k] == best) summary.basinOptimum = basin[k];
    }
    return summary;
}

LandscapeSummary AnalyseLandscape(const DistanceTable& table, const Neighbourhood& neighbourhood, double epsilon,
                                  unsigned threads) {
    std::vector<std::uint32_t> attractors = SteepestSuccessors(table, neighbourhood, threads);
    FollowToAttractors(attractors);
    return SummariseLandscape(table, neighbourhood, attractors, epsilon, threads);
}

std::vector<LandscapeMapCell> LandscapeMapGrid(int step) {
    std::vector<LandscapeMapCell> cells;
    const int reach = kMaxTargetOffset / step * step;
    for (int y = reach; y >= -reach; y -= step)
        for (int x = -reach; x <= reach; x += step) cells.push_back({x, y});
    return cells;
}

std::size_t ComputeLandscapeMap(std::vector<LandscapeMapCell>& cells, std::size_t from,
                                const Neighbourhood& neighbourhood, double epsilon, const std::atomic<bool>& stop,
                                const std::function<bool(std::size_t done)>& after) {
    DistanceTable table;
    std::size_t done = std::min(from, cells.size());
    while (done < cells.size() && !stop.load(std::memory_order_acquire)) {
        LandscapeMapCell& c = cells[done];
        FillDistanceTable(GeometryFor(c.x, c.y), table);
        const LandscapeSummary s = AnalyseLandscape(table, neighbourhood, epsilon);
        c.localOptima = s.localOptima;
        c.startsWithin = s.startsWithin;
        ++done;
        if (after && !after(done)) break;
    }
    return done;
}

}  // namespace kelvora
