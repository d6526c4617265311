#include "stats/statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/hypergeometric.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/tools/roots.hpp>

namespace kelvora {

double FisherExactTwoSided(long long a, long long n, long long b, long long m) {
    const long long total = n + m;
    const long long successes = a + b;
    if (n == 0 || m == 0 || successes == 0 || successes == total) return 1.0;
    // The first row's successes follow the hypergeometric law given the margins.
    const boost::math::hypergeometric_distribution<double> law(static_cast<unsigned>(successes),
                                                                static_cast<unsigned>(n),
                                                                static_cast<unsigned>(total));
    const long long low = std::max(0LL, n + successes - total);
    const long long high = std::min(n, successes);
    // Each table's probability from the most likely one's, by the ratio of neighbours,
    // P(x + 1) / P(x) = (K - x)(n - x) / ((x + 1)(N - K - n + x + 1)): one evaluation of the law
    // instead of one a table, and the probabilities falling away from the mode never lose precision.
    const long long mode = std::clamp((n + 1) * (successes + 1) / (total + 2), low, high);
    std::vector<double> d(static_cast<std::size_t>(high - low + 1), 0.0);
    const auto at = [&d, low](long long x) -> double& { return d[static_cast<std::size_t>(x - low)]; };
    at(mode) = boost::math::pdf(law, static_cast<unsigned>(mode));
    for (long long x = mode; x < high; ++x)
        at(x + 1) = at(x) * static_cast<double>((successes - x) * (n - x)) /
                    static_cast<double>((x + 1) * (total - successes - n + x + 1));
    for (long long x = mode; x > low; --x)
        at(x - 1) = at(x) * static_cast<double>(x * (total - successes - n + x)) /
                    static_cast<double>((successes - x + 1) * (n - x + 1));
    // Tables as likely as the observed one up to rounding count as no more likely.
    const double bound = at(a) * (1.0 + 1e-7);
    double p = 0.0;
    for (const double v : d)
        if (v <= bound) p += v;
    return std::min(p, 1.0);
}

namespace {

// Twice the first sample's U: 2 · (pairs with x > y) + (pairs with x == y), exact in integers.
std::int64_t TwiceU(std::vector<double> x, std::vector<double> y) {
    std::sort(y.begin(), y.end());
    std::int64_t twice = 0;
    for (double v : x) {
        const auto below = std::lower_bound(y.begin(), y.end(), v);
        const auto upTo = std::upper_bound(below, y.end(), v);
        twice += 2 * (below - y.begin()) + (upTo - below);
    }
    return twice;
}

}  // namespace

MannWhitney MannWhitneyU(const std::vector<double>& x, const std::vector<double>& y) {
    const double n1 = static_cast<double>(x.size());
    const double n2 = static_cast<double>(y.size());
    const double n = n1 + n2;
    MannWhitney result;
    result.u = static_cast<double>(TwiceU(x, y)) / 2.0;
    // Tie correction: each run of t equal values among both samples takes t^3 - t.
    std::vector<double> all(x);
    all.insert(all.end(), y.begin(), y.end());
    std::sort(all.begin(), all.end());
    double ties = 0.0;
    for (std::size_t i = 0; i < all.size();) {
        std::size_t j = i;
        while (j < all.size() && all[j] == all[i]) ++j;
        const double t = static_cast<double>(j - i);
        ties += t * t * t - t;
        i = j;
    }
    const double mean = n1 * n2 / 2.0;
    const double sd = n > 1 ? std::sqrt(n1 * n2 / 12.0 * ((n + 1.0) - ties / (n * (n - 1.0)))) : 0.0;
    // Two-sided: the larger of the two samples' U, less one half, then twice the upper tail.
    const double larger = std::max(result.u, n1 * n2 - result.u);
    if (!(sd > 0.0)) return result;  // every value tied: no evidence either way
    const double z = (larger - mean - 0.5) / sd;
    result.p = std::clamp(2.0 * boost::math::cdf(boost::math::complement(boost::math::normal_distribution<double>(), z)), 0.0, 1.0);
    return result;
}

double VarghaDelaneyA12(const std::vector<double>& x, const std::vector<double>& y) {
    // x closer than y is y larger than x: y's U.
    return static_cast<double>(TwiceU(y, x)) / (2.0 * static_cast<double>(x.size()) * static_cast<double>(y.size()));
}

std::string EffectSizeWord(double a12) {
    const double d = std::max(a12, 1.0 - a12);
    if (d >= 0.71) return "large";
    if (d >= 0.64) return "medium";
    if (d >= 0.56) return "small";
    return "negligible";
}

std::vector<double> HolmAdjust(const std::vector<double>& p) {
    std::vector<std::size_t> order(p.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&p](std::size_t i, std::size_t j) { return p[i] < p[j]; });
    std::vector<double> adjusted(p.size());
    double running = 0.0;
    for (std::size_t r = 0; r < order.size(); ++r) {
        running = std::max(running, std::min(1.0, static_cast<double>(p.size() - r) * p[order[r]]));
        adjusted[order[r]] = running;
    }
    return adjusted;
}

Friedman FriedmanTest(const std::vector<std::vector<double>>& rates) {
    Friedman result;
    if (rates.empty()) return result;
    const std::size_t k = rates.front().size();
    const double n = static_cast<double>(rates.size());
    const double kk = static_cast<double>(k);
    std::vector<double> sums(k, 0.0);
    double ties = 0.0;
    std::vector<std::size_t> order(k);
    for (const std::vector<double>& block : rates) {
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), [&block](std::size_t i, std::size_t j) { return block[i] > block[j]; });
        for (std::size_t i = 0; i < k;) {
            std::size_t j = i;
            while (j < k && block[order[j]] == block[order[i]]) ++j;
            const double t = static_cast<double>(j - i);
            const double rank = (static_cast<double>(i + 1) + static_cast<double>(j)) / 2.0;  // ranks i+1..j
            for (std::size_t q = i; q < j; ++q) sums[order[q]] += rank;
            ties += t * t * t - t;
            i = j;
        }
    }
    double squares = 0.0;
    for (double s : sums) {
        squares += s * s;
        result.meanRanks.push_back(s / n);
    }
    const double correction = 1.0 - ties / (n * kk * (kk * kk - 1.0));
    if (!(correction > 0.0)) return result;  // every block one tie: nothing to rank
    result.chi2 = (12.0 / (n * kk * (kk + 1.0)) * squares - 3.0 * n * (kk + 1.0)) / correction;
    result.chi2 = std::max(result.chi2, 0.0);
    result.p = boost::math::cdf(boost::math::complement(boost::math::chi_squared_distribution<double>(kk - 1.0), result.chi2));
    return result;
}

double StudentizedRangeQuantile(int k, double alpha) {
    // P(range of k standard normals <= q) = k ∫ φ(z) (Φ(z) - Φ(z - q))^(k-1) dz.
    const boost::math::normal_distribution<double> normal;
    const auto probability = [&](double q) {
        const auto integrand = [&](double z) {
            const double inside = boost::math::cdf(normal, z) - boost::math::cdf(normal, z - q);
            return boost::math::pdf(normal, z) * std::pow(std::max(inside, 0.0), k - 1);
        };
        // Beyond 12 standard deviations the density is below 1e-31: nothing is lost.
        return k * boost::math::quadrature::gauss_kronrod<double, 61>::integrate(integrand, -12.0, 12.0, 10, 1e-12);
    };
    std::uintmax_t iterations = 200;
    const auto [low, high] = boost::math::tools::toms748_solve(
        [&](double q) { return probability(q) - (1.0 - alpha); }, 1e-3, 40.0,
        boost::math::tools::eps_tolerance<double>(40), iterations);
    return (low + high) / 2.0;
}

double NemenyiCriticalDifference(int k, long long n, double alpha) {
    const double kk = static_cast<double>(k);
    return StudentizedRangeQuantile(k, alpha) / std::sqrt(2.0) * std::sqrt(kk * (kk + 1.0) / (6.0 * static_cast<double>(n)));
}

std::vector<PairTest> ComparePairs(const std::vector<Sample>& samples,
                                   const std::vector<std::pair<std::size_t, std::size_t>>& pairs) {
    std::vector<PairTest> tests;
    std::vector<double> fisher, mwu;
    for (const auto& [i, j] : pairs) {
        const Sample& a = samples[i];
        const Sample& b = samples[j];
        PairTest t;
        t.a = i;
        t.b = j;
        t.fisherP = FisherExactTwoSided(a.successes, static_cast<long long>(a.distances.size()), b.successes,
                                        static_cast<long long>(b.distances.size()));
        const MannWhitney u = MannWhitneyU(a.distances, b.distances);
        t.u = u.u;
        t.mwuP = u.p;
        t.a12 = VarghaDelaneyA12(a.distances, b.distances);
        fisher.push_back(t.fisherP);
        mwu.push_back(t.mwuP);
        tests.push_back(t);
    }
    const std::vector<double> fisherHolm = HolmAdjust(fisher), mwuHolm = HolmAdjust(mwu);
    for (std::size_t k = 0; k < tests.size(); ++k) {
        tests[k].fisherPHolm = fisherHolm[k];
        tests[k].mwuPHolm = mwuHolm[k];
    }
    return tests;
}

std::string PValueText(double p) {
    if (p < 0.0001) return "< 0.0001";
    char text[32];
    std::snprintf(text, sizeof text, "%.2g", p);
    return std::string("= ") + text;
}

std::string PairVerdict(const PairVerdictInput& in, double alpha) {
    const std::string effect = ", a " + EffectSizeWord(in.a12) + " effect";
    if (in.fisherPHolm < alpha) {
        const bool more = in.aSuccesses * in.bRuns > in.bSuccesses * in.aRuns;
        return in.a + " succeeds " + (more ? "more" : "less") + " often than " + in.b + " (" +
               std::to_string(in.aSuccesses) + "/" + std::to_string(in.aRuns) + " against " +
               std::to_string(in.bSuccesses) + "/" + std::to_string(in.bRuns) + ", p " + PValueText(in.fisherPHolm) +
               " after Holm)" + effect;
    }
    if (in.mwuPHolm < alpha) {
        char a12[32];
        std::snprintf(a12, sizeof a12, "%.3f", in.a12);
        return in.a + (in.a12 > 0.5 ? " ends closer to the target than " : " ends farther from the target than ") +
               in.b + " (A12 = " + a12 + ", p " + PValueText(in.mwuPHolm) + " after Holm)" + effect;
    }
    std::string text = "no evidence of a difference between " + in.a + " and " + in.b + " at " + std::to_string(in.seeds) + (in.seeds == 1 ? " seed" : " seeds");
    if (in.targets > 1) text += " on " + std::to_string(in.targets) + " targets";
    return text;
}

}  // namespace kelvora
