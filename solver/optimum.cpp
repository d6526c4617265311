#include "optimum.h"

#include <cmath>

#include "solver.h"

namespace kelvora {

Optimum FindOptimum(int baseX, int baseY, int targetX, int targetY) {
    SolverState state;
    state.baseX = baseX;
    state.baseY = baseY;
    state.targetX = targetX;
    state.targetY = targetY;
    Optimum best;
    for (int a1 = 0; a1 < 256; ++a1) {
        for (int a2 = 0; a2 < 256; ++a2) {
            for (int a3 = 0; a3 < 256; ++a3) {
                const Chromosome c{{static_cast<std::uint8_t>(a1), static_cast<std::uint8_t>(a2),
                                    static_cast<std::uint8_t>(a3)}};
                const double f = Fitness(state, c);
                if (f > best.fitness) {
                    best.fitness = f;
                    best.pose = {a1, a2, a3};
                }
            }
        }
    }
    best.distance = TipDistance(state, best.pose);
    return best;
}

}  // namespace kelvora
