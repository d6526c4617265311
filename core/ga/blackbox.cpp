// The black-box optimisers of the baselines, written after their textbook definitions: differential
// evolution (DE/rand/1/bin), particle swarm (constriction, global best), CMA-ES ((mu/mu_w, lambda),
// Cholesky factor of the covariance) and simulated annealing (one coordinate a step, adaptive
// range, geometric cooling). They search the three angles in the box [0, 255]^3; each point is
// evaluated at its whole-degree pose, one evaluation of the run's budget. Every draw comes from
// the run's generator. Each restarts from fresh random points when its search has converged.

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <vector>

#include "ga/baseline.h"
#include "ga/crt_jump.h"

namespace kelvora {
namespace {

using Point = std::array<double, 3>;
constexpr double kUpper = 255.0;

// A uniform number in [0, 1) of the 30 bits of two draws, high first.
double UniformOf(unsigned high, unsigned low) { return static_cast<double>(high << 15 | low) / 1073741824.0; }

// A uniform number in [0, 1) from the next two draws.
double Uniform(CrtRandom& rng) {
    const auto high = static_cast<unsigned>(Rand(rng));
    return UniformOf(high, static_cast<unsigned>(Rand(rng)));
}

// The next K draws, Rand's K times over, worked out side by side from the generator's state.
template <std::size_t K>
std::array<unsigned, K> Draws(CrtRandom& rng) {
    static constexpr std::array<CrtJump, K> kJumps = CrtJumps<K>();
    const std::uint32_t s = rng.state;
    std::array<unsigned, K> out;
    for (std::size_t k = 0; k < K; ++k) out[k] = static_cast<unsigned>(CrtOutput(kJumps[k].multiplier * s + kJumps[k].increment));
    rng.state = kJumps[K - 1].multiplier * s + kJumps[K - 1].increment;
    return out;
}

// K uniform numbers, Uniform's K times over.
template <std::size_t K>
std::array<double, K> Uniforms(CrtRandom& rng) {
    const std::array<unsigned, 2 * K> d = Draws<2 * K>(rng);
    std::array<double, K> out;
    for (std::size_t k = 0; k < K; ++k) out[k] = UniformOf(d[2 * k], d[2 * k + 1]);
    return out;
}

// Standard normal numbers into out (its size) by Marsaglia's polar method: a pair from each point
// (v1, v2) drawn uniformly in the unit disc without its centre, v * sqrt(-2 ln w / w) with
// w = v1^2 + v2^2; the last pair's second left out when the size is odd.
void NormalNumbers(CrtRandom& rng, std::vector<double>& out) {
    for (std::size_t i = 0; i < out.size(); i += 2) {
        double v1, v2, w;
        do {
            v1 = 2.0 * Uniform(rng) - 1.0;
            v2 = 2.0 * Uniform(rng) - 1.0;
            w = v1 * v1 + v2 * v2;
        } while (w >= 1.0 || w == 0.0);
        const double factor = std::sqrt(-2.0 * std::log(w) / w);
        out[i] = v1 * factor;
        if (i + 1 < out.size()) out[i + 1] = v2 * factor;
    }
}

Point RandomPoint(CrtRandom& rng) { return {kUpper * Uniform(rng), kUpper * Uniform(rng), kUpper * Uniform(rng)}; }

// The box's bounds by min and max, no branch (as std::clamp, NaN kept).
double Clamp(double x) { return std::min(std::max(x, 0.0), kUpper); }

// WholeDegrees of a coordinate in the box [0, 255], without a call: its whole part, one more when
// the fraction (exact) is at least a half, as round takes halves away from zero.
int WholeDegreesInBox(double x) {
    const int whole = static_cast<int>(x);
    return whole + (x - whole >= 0.5);
}

// The distance of a point of the box at its whole-degree pose; the budget must not be spent.
double Evaluate(EvaluationBudget& budget, const Point& x) {
    return budget.evaluate({WholeDegreesInBox(x[0]), WholeDegreesInBox(x[1]), WholeDegreesInBox(x[2])});
}

// Whether every point rounds to one pose: the population can make nothing new.
bool Collapsed(const std::vector<Point>& points) {
    for (std::size_t j = 0; j < 3; ++j) {
        const auto [low, high] = std::minmax_element(points.begin(), points.end(),
                                                     [j](const Point& a, const Point& b) { return a[j] < b[j]; });
        if ((*high)[j] - (*low)[j] >= 1.0) return false;
    }
    return true;
}

// DE/rand/1/bin with F = 0.8 and CR = 0.9, as Storn and Price give them; NP the run's population
// (at least 4: a target and three others).
void RunDifferentialEvolution(EvaluationBudget& budget, int populationSize) {
    constexpr double kF = 0.8, kCR = 0.9;
    const int np = std::max(populationSize, 4);
    CrtRandom& rng = budget.rng();
    while (!budget.spent()) {
        std::vector<Point> x;
        std::vector<double> f;
        for (int i = 0; i < np && !budget.spent(); ++i) {
            x.push_back(RandomPoint(rng));
            f.push_back(Evaluate(budget, x.back()));
        }
        while (!budget.spent() && !Collapsed(x)) {
            for (int i = 0; i < np && !budget.spent(); ++i) {
                int r[3];
                for (int k = 0; k < 3; ++k) {
                    do r[k] = Rand(rng) % np;
                    while (r[k] == i || (k > 0 && r[k] == r[0]) || (k > 1 && r[k] == r[1]));
                }
                const int jrand = Rand(rng) % 3;
                // The crossover's two draws, of the coordinates other than jrand in order. Both
                // choices below are made by an index, not a branch, since neither can be foreseen:
                // whether a coordinate is crossed and whether the trial is kept.
                const std::array<double, 2> uu = Uniforms<2>(rng);
                const double u[3] = {uu[0], uu[1], 0.0};
                Point& xi = x[static_cast<std::size_t>(i)];
                const Point &a = x[static_cast<std::size_t>(r[0])], &b = x[static_cast<std::size_t>(r[1])],
                            &c = x[static_cast<std::size_t>(r[2])];
                Point trial;
                for (int j = 0; j < 3; ++j) {
                    const double choice[2] = {xi[j], Clamp(a[j] + kF * (b[j] - c[j]))};
                    trial[j] = choice[j == jrand || u[j - (j > jrand)] < kCR];
                }
                const double ft = Evaluate(budget, trial);
                const bool kept = ft <= f[static_cast<std::size_t>(i)];
                const Point* const keep[2] = {&xi, &trial};
                xi = *keep[kept];
                const double fs[2] = {f[static_cast<std::size_t>(i)], ft};
                f[static_cast<std::size_t>(i)] = fs[kept];
            }
        }
    }
}

// Particle swarm with Clerc's constriction (chi = 0.7298, c1 = c2 = 2.05) and the global best;
// velocities at most half the box; the swarm the run's population (at least 2). A restart when the
// best has not improved for 20 sweeps of the swarm.
void RunParticleSwarm(EvaluationBudget& budget, int populationSize) {
    constexpr double kChi = 0.7298, kC = 2.05, kMaxVelocity = 0.5 * kUpper;
    const int s = std::max(populationSize, 2);
    CrtRandom& rng = budget.rng();
    while (!budget.spent()) {
        std::vector<Point> x, v, p;
        std::vector<double> fp;
        Point g{};
        double fg = INFINITY;
        for (int i = 0; i < s && !budget.spent(); ++i) {
            x.push_back(RandomPoint(rng));
            v.push_back({});
            for (double& c : v.back()) c = (2.0 * Uniform(rng) - 1.0) * 0.1 * kUpper;
            p.push_back(x.back());
            fp.push_back(Evaluate(budget, x.back()));
            if (fp.back() < fg) fg = fp.back(), g = x.back();
        }
        for (int still = 0; !budget.spent() && still < 20;) {
            const double before = fg;
            for (std::size_t i = 0; i < x.size() && !budget.spent(); ++i) {
                const std::array<double, 6> u = Uniforms<6>(rng);
                for (std::size_t j = 0; j < 3; ++j) {
                    v[i][j] = kChi * (v[i][j] + kC * u[2 * j] * (p[i][j] - x[i][j]) + kC * u[2 * j + 1] * (g[j] - x[i][j]));
                    v[i][j] = std::min(std::max(v[i][j], -kMaxVelocity), kMaxVelocity);
                    x[i][j] += v[i][j];
                    // At a wall the particle stops there; chosen by an index, not a branch.
                    const double stopped[2] = {v[i][j], 0.0};
                    v[i][j] = stopped[x[i][j] < 0.0 || x[i][j] > kUpper];
                    x[i][j] = Clamp(x[i][j]);
                }
                // The personal best likewise, by an index: whether it improves cannot be foreseen.
                const double f = Evaluate(budget, x[i]);
                const bool better = f < fp[i];
                const Point* const best[2] = {&p[i], &x[i]};
                p[i] = *best[better];
                const double fs[2] = {fp[i], f};
                fp[i] = fs[better];
                if (f < fg) fg = f, g = x[i];
            }
            still = fg < before ? 0 : still + 1;
        }
    }
}

// CMA-ES after Hansen's tutorial: lambda the run's population (at least 5), mu = lambda / 2 with
// logarithmic weights, the default learning rates, sigma0 = 0.3 of the box; sampled through the
// Cholesky factor A of C (x = m + sigma A z, z normal by the polar method), points outside the box
// clamped. A restart when sigma has fallen below a tenth of a degree.
void RunCmaEs(EvaluationBudget& budget, int populationSize) {
    constexpr int n = 3;
    const int lambda = std::max(populationSize, 5);
    const int mu = lambda / 2;
    std::vector<double> w(static_cast<std::size_t>(mu));
    for (int i = 0; i < mu; ++i) w[static_cast<std::size_t>(i)] = std::log(mu + 0.5) - std::log(i + 1.0);
    const double sum = std::accumulate(w.begin(), w.end(), 0.0);
    for (double& x : w) x /= sum;
    double sq = 0.0;
    for (double x : w) sq += x * x;
    const double mueff = 1.0 / sq;
    const double cc = (4.0 + mueff / n) / (n + 4.0 + 2.0 * mueff / n);
    const double cs = (mueff + 2.0) / (n + mueff + 5.0);
    const double c1 = 2.0 / ((n + 1.3) * (n + 1.3) + mueff);
    const double cmu = std::min(1.0 - c1, 2.0 * (mueff - 2.0 + 1.0 / mueff) / ((n + 2.0) * (n + 2.0) + mueff));
    const double damps = 1.0 + 2.0 * std::max(0.0, std::sqrt((mueff - 1.0) / (n + 1.0)) - 1.0) + cs;
    const double chiN = std::sqrt(static_cast<double>(n)) * (1.0 - 1.0 / (4.0 * n) + 1.0 / (21.0 * n * n));
    CrtRandom& rng = budget.rng();
    while (!budget.spent()) {
        Point m = RandomPoint(rng);
        double sigma = 0.3 * kUpper;
        double c[n][n] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        Point pc{}, ps{};
        std::vector<double> z(3 * static_cast<std::size_t>(lambda));  // point k's at 3k..3k + 2
        std::vector<Point> y(static_cast<std::size_t>(lambda)), x(static_cast<std::size_t>(lambda));
        std::vector<double> f(static_cast<std::size_t>(lambda));
        std::vector<int> order(static_cast<std::size_t>(lambda));
        std::vector<Point> steps(static_cast<std::size_t>(mu));
        while (!budget.spent() && sigma > 0.1) {
            double a[n][n] = {};  // the Cholesky factor of C, lower
            for (int i = 0; i < n; ++i)
                for (int j = 0; j <= i; ++j) {
                    double s = c[i][j];
                    for (int k = 0; k < j; ++k) s -= a[i][k] * a[j][k];
                    a[i][j] = i == j ? std::sqrt(std::max(s, 1e-300)) : s / a[j][j];
                }
            // The generation's normal numbers first, all of them (a run that ends within the
            // generation leaves the rest unused).
            NormalNumbers(rng, z);
            for (int k = 0; k < lambda && !budget.spent(); ++k) {
                const double* zk = &z[3 * static_cast<std::size_t>(k)];
                Point& yk = y[static_cast<std::size_t>(k)];
                for (int i = 0; i < n; ++i) {
                    yk[i] = 0.0;
                    for (int j = 0; j <= i; ++j) yk[i] += a[i][j] * zk[j];
                }
                for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(k)][i] = Clamp(m[i] + sigma * yk[i]);
                f[static_cast<std::size_t>(k)] = Evaluate(budget, x[static_cast<std::size_t>(k)]);
            }
            if (budget.spent()) break;
            // The mu best by distance, ties by the order sampled (as a stable sort leaves them).
            std::iota(order.begin(), order.end(), 0);
            const auto before = [&f](int p, int q) {
                const double fp = f[static_cast<std::size_t>(p)], fq = f[static_cast<std::size_t>(q)];
                return fp < fq || (fp == fq && p < q);
            };
            std::nth_element(order.begin(), order.begin() + (mu - 1), order.end(), before);
            std::sort(order.begin(), order.begin() + (mu - 1), before);
            // The step of the mean, from the clamped points the evaluations were of.
            Point yw{};
            for (int i = 0; i < mu; ++i)
                for (int j = 0; j < n; ++j)
                    yw[j] += w[static_cast<std::size_t>(i)] * (x[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])][j] - m[j]) / sigma;
            for (int j = 0; j < n; ++j) m[j] += sigma * yw[j];
            // A^-1 yw by forward substitution.
            Point u{};
            for (int i = 0; i < n; ++i) {
                double s = yw[i];
                for (int k = 0; k < i; ++k) s -= a[i][k] * u[k];
                u[i] = s / a[i][i];
            }
            double psNorm = 0.0;
            for (int j = 0; j < n; ++j) {
                ps[j] = (1.0 - cs) * ps[j] + std::sqrt(cs * (2.0 - cs) * mueff) * u[j];
                psNorm += ps[j] * ps[j];
            }
            psNorm = std::sqrt(psNorm);
            const bool hs = psNorm / std::sqrt(1.0 - std::pow(1.0 - cs, 2.0)) < (1.4 + 2.0 / (n + 1.0)) * chiN;
            for (int j = 0; j < n; ++j) pc[j] = (1.0 - cc) * pc[j] + (hs ? std::sqrt(cc * (2.0 - cc) * mueff) : 0.0) * yw[j];
            // The selected steps from the old mean, (x_k - m_old) / sigma, each worked out once.
            for (int k = 0; k < mu; ++k) {
                const Point& xk = x[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])];
                for (int i = 0; i < n; ++i) steps[static_cast<std::size_t>(k)][i] = (xk[i] - (m[i] - sigma * yw[i])) / sigma;
            }
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    double rankMu = 0.0;
                    for (int k = 0; k < mu; ++k) {
                        const Point& step = steps[static_cast<std::size_t>(k)];
                        rankMu += w[static_cast<std::size_t>(k)] * step[i] * step[j];
                    }
                    c[i][j] = (1.0 - c1 - cmu) * c[i][j] + c1 * (pc[i] * pc[j] + (hs ? 0.0 : cc * (2.0 - cc) * c[i][j])) +
                              cmu * rankMu;
                }
            sigma *= std::exp((cs / damps) * (psNorm / chiN - 1.0));
            sigma = std::min(sigma, 2.0 * kUpper);
        }
    }
}

// Simulated annealing of one point: a step changes one coordinate (drawn) by a uniform amount in
// -r..r, accepted when not worse or with probability exp(-delta / T); T falls geometrically from
// 10 to 0.1 px over 10 levels of 60 steps, r (first half the box) doubles after a level that
// accepted more than 60% of its steps and halves after one below 40% (never under half a degree).
// After the coldest level it starts afresh.
void RunSimulatedAnnealing(EvaluationBudget& budget) {
    constexpr double kFirst = 10.0, kLast = 0.1;
    constexpr int kLevels = 10, kSteps = 60;
    CrtRandom& rng = budget.rng();
    while (!budget.spent()) {
        Point x = RandomPoint(rng);
        double fx = Evaluate(budget, x);
        double range = 0.5 * kUpper;
        for (int level = 0; level < kLevels && !budget.spent(); ++level) {
            const double t = kFirst * std::pow(kLast / kFirst, level / (kLevels - 1.0));
            int accepted = 0;
            for (int step = 0; step < kSteps && !budget.spent(); ++step) {
                Point y = x;
                const std::array<unsigned, 3> d = Draws<3>(rng);
                const std::size_t j = d[0] % 3;
                y[j] = Clamp(y[j] + (2.0 * UniformOf(d[1], d[2]) - 1.0) * range);
                const double fy = Evaluate(budget, y);
                if (fy <= fx || Uniform(rng) < std::exp(-(fy - fx) / t)) {
                    x = y;
                    fx = fy;
                    ++accepted;
                }
            }
            if (accepted > kSteps * 6 / 10) range = std::min(range * 2.0, kUpper);
            else if (accepted < kSteps * 4 / 10) range = std::max(range / 2.0, 0.5);
        }
    }
}

}  // namespace

void RunBlackBox(Method method, int populationSize, EvaluationBudget& budget) {
    switch (method) {
    case Method::differentialEvolution: RunDifferentialEvolution(budget, populationSize); break;
    case Method::particleSwarm: RunParticleSwarm(budget, populationSize); break;
    case Method::cmaEs: RunCmaEs(budget, populationSize); break;
    default: RunSimulatedAnnealing(budget); break;
    }
}

}  // namespace kelvora
