#pragma once
// Baselines: methods other than the genetic algorithm that spend the same budget on the same
// whole-degree poses, so that success rates and run-length curves put every method on one axis.
//
// An evaluation is one computation of a tip position; a Jacobian, built from the joint positions of
// the same computation, counts as one with it. Every evaluation is of a whole-degree pose (each angle
// 0..255): a method that iterates in continuous angles rounds its iterate to whole degrees and clamps
// it to 0..255 before it is evaluated, so no method can claim a distance the problem does not have.
// A run of population N and G generations spends exactly N * G evaluations, handed to the observers
// in blocks of N as generations (results.csv holds each block's poses in the order evaluated); the
// run's elite is the best pose it evaluated. All draws come from the run's generator, so a seed and
// the settings give the same run.

#include <array>
#include <atomic>
#include <span>
#include <vector>

#include "ga/algorithm.h"
#include "ga/crt_random.h"
#include "ga/run.h"
#include "model/arm.h"
#include "model/link_tables.h"
#include "model/types.h"

namespace kelvora {

/// Whether method is run by RunBaseline: every method but the genetic algorithm and random search.
bool IsBaseline(Method method);

/// The evaluations of one baseline run: counts them, evaluates each pose as the run does, gathers
/// N of them into a generation and hands it to the observers, and says when the budget is spent.
class EvaluationBudget {
public:
    /// A budget of setup.params.populationSize * generationCount evaluations; stop, when given, is
    /// read (acquire) after each generation, as RunSolver reads it.
    EvaluationBudget(const RunSetup& setup, std::span<RunObserver* const> observers, RunBuffers& buffers,
                     const std::atomic<bool>* stop);

    /// No evaluation is left: the budget is spent, or a stop was asked for after a generation.
    bool spent() const { return spent_; }

    /// Evaluates pose (each angle 0..255) and returns its distance in px to the target, as the run
    /// computes it. Precondition: !spent().
    double evaluate(const ArmPose& pose) {
        // Only the pose and its distance here; the fitness, the block's best and its sum wait for
        // the block's end, off the path of a method that needs each distance before its next pose.
        const double distance =
            TipTargetDistance(*tables_, pose.a1, pose.a2, pose.a3, baseX_, baseY_, targetX_, targetY_);
        const auto i = static_cast<std::size_t>(inBlock_);
        Chromosome& c = buffers_.population[i];
        c.gene[0] = static_cast<std::uint8_t>(pose.a1);
        c.gene[1] = static_cast<std::uint8_t>(pose.a2);
        c.gene[2] = static_cast<std::uint8_t>(pose.a3);
        buffers_.fitness[i] = distance;  // the distance until the block ends
        ++used_;
        if (++inBlock_ == blockSize_) endBlock();
        return distance;
    }

    /// A fresh pose, rand() % 256 per joint, joint 1 first, as the initial population is drawn.
    ArmPose randomPose() {
        ArmPose p;
        p.a1 = Rand(rng_) % 256;
        p.a2 = Rand(rng_) % 256;
        p.a3 = Rand(rng_) % 256;
        return p;
    }

    CrtRandom& rng() { return rng_; }
    const Geometry& geometry() const { return setup_.geometry; }
    /// Evaluations spent so far, 0..N * G.
    long long used() const { return used_; }
    /// What became of the run so far (complete once spent()).
    const RunOutcome& outcome() const { return outcome_; }

private:
    // The block of N is full: its fitness, best and average, handed to the observers.
    void endBlock();

    const RunSetup& setup_;
    std::span<RunObserver* const> observers_;
    RunBuffers& buffers_;
    const std::atomic<bool>* stop_;
    const LinkTables* tables_;
    double baseX_, baseY_, targetX_, targetY_;  // the geometry's pixels
    int blockSize_;
    CrtRandom rng_;
    GenerationView view_;
    RunOutcome outcome_;
    long long used_ = 0;
    int inBlock_ = 0;
    bool spent_ = false;
};

/// Runs a baseline (IsBaseline(setup.algorithm.method)) as RunSolver runs the genetic algorithm:
/// the same observers, the same stop, the same outcome.
RunOutcome RunBaseline(const RunSetup& setup, std::span<RunObserver* const> observers, RunBuffers& buffers,
                       const std::atomic<bool>* stop);

/// The arm's joints relative to the base, x right, y up, px: x[0], y[0] the base (0, 0), then the
/// ends of links 1, 2 and 3 (the tip).
struct ArmFrame {
    std::array<double, 4> x{};
    std::array<double, 4> y{};
};

/// The frame of pose (each angle 0..255).
ArmFrame FrameOf(const ArmPose& pose);

/// Angles in degrees, continuous.
using Angles = std::array<double, 3>;

/// Cyclic coordinate descent's step at joint j (0..2): the change in degrees, half a turn at most, of
/// joint j's angle that turns the tip, about joint j, onto the ray towards target (tx, ty, relative
/// to the base, y up, px); 0 when the tip or the target lies on the joint.
double CcdTurn(const ArmFrame& frame, int joint, double tx, double ty);

/// The Jacobian transpose step in degrees: alpha * J^T e, e the tip's error to (tx, ty) and alpha
/// the step that minimises |e - alpha J J^T e| (0 when J J^T e vanishes).
Angles JacobianTransposeStep(const ArmFrame& frame, double tx, double ty);

/// One FABRIK iteration (a backward pass from the target, a forward pass from the base) from
/// frame's joints, as the three relative angles in degrees of the new joint positions, each in
/// [0, 360).
Angles FabrikAngles(const ArmFrame& frame, double tx, double ty);

/// A continuous angle (degrees) as a joint takes it: rounded to whole degrees, halves away from
/// zero (std::round), then clamped to 0..255; NaN gives 0.
inline int WholeDegrees(double angle) {
    if (!(angle >= 0.5)) return 0;  // below the first half, negatives and NaN
    if (angle >= 254.5) return 255;
    // From 0.5 up, angle + 0.5 is exact or rounds within the same whole number, so that its
    // truncation is std::round's (below 0.5 the double just under it would round up to 1).
    return static_cast<int>(angle + 0.5);
}

/// An angle in [0, 360] (a relative joint angle read back from positions) as a joint takes it:
/// rounded, halves up; above 255, the nearer of 255 and 0 (= 360) around the circle.
int WrapToJoint(double angle);

/// A local search's neighbourhood of a pose, in the order listed: for each joint, first joint
/// first, binary: bit 0..7 of the angle flipped; gray: bit 0..7 of the angle's Gray code flipped;
/// creep: the angles max(0, a - step) .. min(255, a + step) in increasing order, a left out.
enum class Neighbourhood : std::uint8_t { binary, gray, creep };

/// The neighbours of pose in order into out (cleared first); step 1..kMaxCreepStep for creep.
void Neighbours(const ArmPose& pose, Neighbourhood kind, int step, std::vector<ArmPose>& out);

/// The neighbourhood hill climbing uses under algorithm: creep:S under creep mutation, else the
/// encoding's bit flips.
Neighbourhood NeighbourhoodOf(const Algorithm& algorithm);

/// The black-box optimisers, in blackbox.cpp: differential evolution, particle swarm, CMA-ES and
/// simulated annealing on the box [0, 255]^3, each point evaluated at its whole-degree pose, each
/// restarting from fresh random points when its search has converged.
void RunBlackBox(Method method, int populationSize, EvaluationBudget& budget);

}  // namespace kelvora
