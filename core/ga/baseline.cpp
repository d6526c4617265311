#include "ga/baseline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ga/crt_jump.h"
#include "model/link_tables.h"

namespace kelvora {
namespace {

constexpr double kRadToDeg = 1.0 / kDegToRad;

// Evaluations without improvement of a start's best after which an inverse-kinematics method
// restarts from a fresh random pose.
constexpr int kStallEvaluations = 8;

// The tip's error to the target and the Jacobian's columns (d tip / d angle_j, px per radian):
// a joint turns everything beyond it, so column j is the tip minus joint j, turned by 90 degrees.
struct Linearisation {
    double ex = 0.0, ey = 0.0;
    std::array<double, 3> jx{}, jy{};
};

Linearisation Linearise(const ArmFrame& f, double tx, double ty) {
    Linearisation l;
    l.ex = tx - f.x[3];
    l.ey = ty - f.y[3];
    for (int j = 0; j < 3; ++j) {
        l.jx[static_cast<std::size_t>(j)] = -(f.y[3] - f.y[static_cast<std::size_t>(j)]);
        l.jy[static_cast<std::size_t>(j)] = f.x[3] - f.x[static_cast<std::size_t>(j)];
    }
    return l;
}

// FrameOf from the tables (the run's, taken once).
ArmFrame FrameOf(const LinkTables& t, const ArmPose& p);

// The damped least-squares step in degrees from the pose's linearisation: J^T (J J^T + lambda^2 I)^-1 e,
// lambda in px (> 0).
Angles DampedStep(const Linearisation& l, double lambda);

// Relative x, y (y up) of the target.
double TargetX(const Geometry& g) { return g.targetX - g.baseX; }
double TargetY(const Geometry& g) { return g.baseY - g.targetY; }

// x reduced modulo 360 degrees as std::fmod reduces it (the sign of x, the magnitude below 360):
// below 720 in magnitude, as a relative angle and a turn come, one subtraction gives fmod's exact
// result without its call.
double Fmod360(double x) {
    if (x >= 360.0) return x < 720.0 ? x - 360.0 : std::fmod(x, 360.0);
    if (x <= -360.0) return x > -720.0 ? x + 360.0 : std::fmod(x, 360.0);
    return x;
}

// A continuous relative angle (degrees) around the circle into the joint's range: in [0, 360),
// and above 255 the nearer of 255 and 0 (= 360).
double IntoJointRange(double angle) {
    double a = Fmod360(angle);
    if (a < 0.0) a += 360.0;
    if (a <= 255.0) return a;
    return a - 255.0 <= 360.0 - a ? 255.0 : 0.0;
}

inline ArmPose PoseOfAngles(const Angles& q) { return {WholeDegrees(q[0]), WholeDegrees(q[1]), WholeDegrees(q[2])}; }

// Joint j's angle (0..2) of a pose.
int& JointOf(ArmPose& p, int j) { return j == 0 ? p.a1 : j == 1 ? p.a2 : p.a3; }

bool SamePose(const ArmPose& a, const ArmPose& b) { return a.a1 == b.a1 && a.a2 == b.a2 && a.a3 == b.a3; }

// A pose as 24 bits, joint 1 highest.
std::uint32_t PackedPose(const ArmPose& p) {
    return static_cast<std::uint32_t>(p.a1) << 16 | static_cast<std::uint32_t>(p.a2) << 8 | static_cast<std::uint32_t>(p.a3);
}

// The last value of a function of a whole-degree pose (and an index 0..7) for each of 4096 slots,
// the key's bits hashed; the value is made again only when its slot holds another key. The
// inverse-kinematics methods' starts keep coming back to the same poses (those near the target
// where they converge, and the few a start circles among until it stalls), so that a step they
// would make again from the same pose is taken from here: half to three quarters of them.
template <typename Value>
class PoseMemo {
public:
    PoseMemo() : slots_(kSlots) {}
    template <typename Make>
    const Value& get(const ArmPose& pose, int index, Make make) {
        // The pose's 24 bits, the index in bits 24..26, bit 27 marking the slot filled.
        const std::uint32_t tag = PackedPose(pose) | static_cast<std::uint32_t>(index) << 24 | 1u << 27;
        Slot& slot = slots_[(tag * 2654435761u) >> (32 - kSlotBits)];
        if (slot.tag != tag) slot = {tag, make()};
        return slot.value;
    }

private:
    struct Slot {
        std::uint32_t tag = 0;
        Value value{};
    };
    static constexpr int kSlotBits = 12;
    static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
    std::vector<Slot> slots_;
};

// Tracks one start's best distance and says when it stalls.
struct StartProgress {
    double best = 0.0;
    int sinceImprovement = 0;
    void begin(double d) {
        best = d;
        sinceImprovement = 0;
    }
    // Notes a new evaluation; true when the start has stalled.
    bool stalled(double d) {
        if (d < best) {
            best = d;
            sinceImprovement = 0;
            return false;
        }
        return ++sinceImprovement >= kStallEvaluations;
    }
};

// The turn in degrees from the direction of (ux, uy) to towards (radians, atan2's), taken into
// (-pi, pi] in radians first: the arm's degree is not exactly pi / 180 rad.
double TurnTowards(double towards, double ux, double uy) {
    double turn = towards - std::atan2(uy, ux);
    if (turn > M_PI) turn -= 2 * M_PI;
    if (turn <= -M_PI) turn += 2 * M_PI;
    return turn * kRadToDeg;
}

// CcdTurn for one target, the same doubles, with fewer arc tangents: the target's direction from
// the base is the same for every pose, and from the second joint (at link 1's end) it depends on
// the first angle alone, so each is worked out once.
class CcdTurns {
public:
    CcdTurns(const LinkTables& tables, double tx, double ty) : tables_(&tables), tx_(tx), ty_(ty) {}
    double operator()(const ArmPose& pose, int joint) {
        const ArmFrame f = FrameOf(*tables_, pose);
        if (joint == 2) return CcdTurn(f, joint, tx_, ty_);
        const auto j = static_cast<std::size_t>(joint);
        Direction& towards = joint == 0 ? fromBase_ : fromSecond_[static_cast<std::size_t>(pose.a1)];
        if (!towards.known) {
            const double vx = tx_ - f.x[j], vy = ty_ - f.y[j];
            towards = {true, vx == 0.0 && vy == 0.0, std::atan2(vy, vx)};
        }
        const double ux = f.x[3] - f.x[j], uy = f.y[3] - f.y[j];
        if ((ux == 0.0 && uy == 0.0) || towards.onJoint) return 0.0;
        return TurnTowards(towards.angle, ux, uy);
    }

private:
    struct Direction {
        bool known = false;
        bool onJoint = false;  // the target lies on the joint: no turn
        double angle = 0.0;    // radians, atan2's
    };
    const LinkTables* tables_;
    double tx_, ty_;
    Direction fromBase_;
    std::array<Direction, 256> fromSecond_{};
};

// Cyclic coordinate descent: each joint in turn, the tip's joint first, turned so that the tip
// points at the target. The angles are continuous, each turned around the circle into its joint's
// range (IntoJointRange); each turn is evaluated at
// their whole-degree pose, whose frame gives the next turn. A restart when no joint's turn changes
// the pose or the start stalls.
void RunCcd(EvaluationBudget& budget) {
    const double tx = TargetX(budget.geometry()), ty = TargetY(budget.geometry());
    const LinkTables& tables = Tables();
    PoseMemo<double> turns;  // a joint's turn, by the pose and the joint
    CcdTurns turn(tables, tx, ty);
    while (!budget.spent()) {
        ArmPose pose = budget.randomPose();
        Angles q{double(pose.a1), double(pose.a2), double(pose.a3)};
        StartProgress progress;
        progress.begin(budget.evaluate(pose));
        int still = 0;
        for (int j = 2; !budget.spent(); j = (j + 2) % 3) {
            const auto k = static_cast<std::size_t>(j);
            q[k] = IntoJointRange(q[k] + turns.get(pose, j, [&] { return turn(pose, j); }));
            ArmPose next = pose;  // the other joints' angles are unchanged, and so are their degrees
            JointOf(next, j) = WholeDegrees(q[k]);
            if (SamePose(next, pose)) {
                if (++still == 3) break;  // no joint moves the pose: converged within a degree
                continue;
            }
            still = 0;
            pose = next;
            if (progress.stalled(budget.evaluate(pose))) break;
        }
    }
}

// FABRIK in positions, read back as angles within the joints' range and evaluated each iteration.
// An iteration does not depend on the last angle: the backward pass puts the tip on the target
// first, and the tip is the only joint that angle moves. So iterations made are kept by the first
// two angles, poses that differ in the last alone sharing one.
void RunFabrik(EvaluationBudget& budget) {
    const double tx = TargetX(budget.geometry()), ty = TargetY(budget.geometry());
    const LinkTables& tables = Tables();
    PoseMemo<ArmPose> steps;  // the iteration's pose, by the first two angles it starts from
    while (!budget.spent()) {
        ArmPose pose = budget.randomPose();
        StartProgress progress;
        progress.begin(budget.evaluate(pose));
        while (!budget.spent()) {
            const ArmPose next = steps.get({pose.a1, pose.a2, 0}, 0, [&] {
                const Angles a = FabrikAngles(FrameOf(tables, pose), tx, ty);
                return ArmPose{WrapToJoint(a[0]), WrapToJoint(a[1]), WrapToJoint(a[2])};
            });
            if (SamePose(next, pose)) break;
            pose = next;
            if (progress.stalled(budget.evaluate(pose))) break;
        }
    }
}

// The Jacobian methods iterate continuous angles; each iterate is evaluated at its whole-degree
// pose, whose frame gives the next error and Jacobian.
void RunJacobianTranspose(EvaluationBudget& budget) {
    const double tx = TargetX(budget.geometry()), ty = TargetY(budget.geometry());
    const LinkTables& tables = Tables();
    PoseMemo<Angles> steps;  // the step, by the pose it is taken from
    while (!budget.spent()) {
        ArmPose pose = budget.randomPose();
        Angles q{double(pose.a1), double(pose.a2), double(pose.a3)};
        StartProgress progress;
        progress.begin(budget.evaluate(pose));
        while (!budget.spent()) {
            const Angles& step = steps.get(pose, 0, [&] { return JacobianTransposeStep(FrameOf(tables, pose), tx, ty); });
            for (std::size_t j = 0; j < 3; ++j) q[j] = std::clamp(q[j] + step[j], 0.0, 255.0);
            const ArmPose next = PoseOfAngles(q);
            if (SamePose(next, pose)) break;
            pose = next;
            if (progress.stalled(budget.evaluate(pose))) break;
        }
    }
}

// Damped least squares with adaptive damping: lambda (px) halves after a step that improved the
// distance and grows fourfold after one that did not, which is then undone.
void RunDampedLeastSquares(EvaluationBudget& budget) {
    constexpr double kFirstLambda = 1.0, kMinLambda = 1e-3, kMaxLambda = 1e4;
    const double tx = TargetX(budget.geometry()), ty = TargetY(budget.geometry());
    const LinkTables& tables = Tables();
    while (!budget.spent()) {
        ArmPose pose = budget.randomPose();
        Angles q{double(pose.a1), double(pose.a2), double(pose.a3)};
        double distance = budget.evaluate(pose);
        StartProgress progress;
        progress.begin(distance);
        double lambda = kFirstLambda;
        // The pose's linearisation, the same for each damping tried from it.
        Linearisation l = Linearise(FrameOf(tables, pose), tx, ty);
        while (!budget.spent() && lambda <= kMaxLambda) {
            const Angles step = DampedStep(l, lambda);
            Angles trial = q;
            for (std::size_t j = 0; j < 3; ++j) trial[j] = std::clamp(q[j] + step[j], 0.0, 255.0);
            const ArmPose next = PoseOfAngles(trial);
            if (SamePose(next, pose)) {
                lambda *= 4.0;  // a step within the pose's degree: damp until it leaves or give up
                if (lambda > kMaxLambda) break;
                continue;
            }
            const double d = budget.evaluate(next);
            const bool stalled = progress.stalled(d);
            if (d < distance) {
                q = trial;
                pose = next;
                l = Linearise(FrameOf(tables, pose), tx, ty);
                distance = d;
                lambda = std::max(lambda / 2.0, kMinLambda);
            } else {
                lambda *= 4.0;
            }
            if (stalled) break;
        }
    }
}

// Genotype bits of a pose under an encoding, gene 0 highest, and back.
std::uint32_t Genotype(const ArmPose& p, Encoding e) {
    const auto gene = [e](int a) { return static_cast<std::uint32_t>(e == Encoding::gray ? GrayEncode(a) : a); };
    return gene(p.a1) << 16 | gene(p.a2) << 8 | gene(p.a3);
}

ArmPose PoseOfGenotype(std::uint32_t g, Encoding e) {
    if (e == Encoding::gray) {
        // GrayDecode of the three bytes at once: each bit the exclusive or of itself and the bits
        // above it in its byte.
        g ^= g >> 1 & 0x7F7F7Fu;
        g ^= g >> 2 & 0x3F3F3Fu;
        g ^= g >> 4 & 0x0F0F0Fu;
    }
    return {static_cast<int>(g >> 16 & 0xFF), static_cast<int>(g >> 8 & 0xFF), static_cast<int>(g & 0xFF)};
}

// The bits an offspring flips, drawn as RunOnePlusOne describes, the generator advanced past the
// draws: 24 of them, or 25 when none flips.
std::uint32_t DrawFlips(CrtRandom& rng) {
    static constexpr CrtJump k24 = CrtJumpOf(24), k25 = CrtJumpOf(25);
    const std::uint32_t s = rng.state;
    const std::uint32_t flips = MultiplesOf24(s);
    const std::uint32_t last = k25.multiplier * s + k25.increment;  // the 25th draw's state
    // Chosen by masks, not a branch: a third of the offspring flip no bit at first, at random.
    const std::uint32_t none = 0u - std::uint32_t{flips == 0};
    rng.state = ((k24.multiplier * s + k24.increment) & ~none) | (last & none);
    return flips | ((1u << (CrtOutput(last) % 24)) & none);
}

// The (1+1) evolutionary algorithm: each of the 24 genotype bits flips when rand() % 24 == 0
// (probability 1/24), bit 0 first; an offspring with no bit flipped gets bit rand() % 24 flipped.
// The offspring replaces the parent when it is at least as close.
void RunOnePlusOne(EvaluationBudget& budget, Encoding encoding) {
    ArmPose parentPose = budget.randomPose();
    std::uint32_t parent = Genotype(parentPose, encoding);
    double distance = budget.evaluate(parentPose);
    while (!budget.spent()) {
        const std::uint32_t child = parent ^ DrawFlips(budget.rng());
        const double d = budget.evaluate(PoseOfGenotype(child, encoding));
        if (d <= distance) {
            parent = child;
            distance = d;
        }
    }
}

// Steepest-ascent hill climbing with restarts: every neighbour evaluated in order, a move to the
// first of the closest when it is strictly closer, else a restart from a fresh random pose.
void RunHillClimbing(EvaluationBudget& budget, Neighbourhood kind, int step) {
    std::vector<ArmPose> neighbours;
    while (!budget.spent()) {
        ArmPose pose = budget.randomPose();
        double distance = budget.evaluate(pose);
        while (!budget.spent()) {
            Neighbours(pose, kind, step, neighbours);
            ArmPose best = pose;
            double bestDistance = distance;
            for (const ArmPose& n : neighbours) {
                if (budget.spent()) break;
                const double d = budget.evaluate(n);
                if (d < bestDistance) {
                    best = n;
                    bestDistance = d;
                }
            }
            if (!(bestDistance < distance)) break;  // a local optimum: restart
            pose = best;
            distance = bestDistance;
        }
    }
}

}  // namespace

bool IsBaseline(Method method) { return method != Method::geneticAlgorithm && method != Method::randomSearch; }

EvaluationBudget::EvaluationBudget(const RunSetup& setup, std::span<RunObserver* const> observers,
                                   RunBuffers& buffers, const std::atomic<bool>* stop)
    : setup_(setup),
      observers_(observers),
      buffers_(buffers),
      stop_(stop),
      tables_(&Tables()),
      baseX_(setup.geometry.baseX),
      baseY_(setup.geometry.baseY),
      targetX_(setup.geometry.targetX),
      targetY_(setup.geometry.targetY),
      blockSize_(setup.params.populationSize) {
    Srand(rng_, setup.seed);
    outcome_.seed = setup.seed;
    buffers_.scratch.evaluated = false;
}

void EvaluationBudget::endBlock() {
    const int n = blockSize_;
    double* fitness = buffers_.fitness.data();
    // In index order, as each evaluation would have added it.
    double total = 0.0, best = 0.0;
    int bestIndex = 0;
    for (int i = 0; i < n; ++i) {
        const double f = FitnessOfDistance(fitness[i]);
        fitness[i] = f;
        total += f;
        if (i == 0 || f > best) {
            best = f;
            bestIndex = i;
        }
    }
    view_.generation = outcome_.generationsRun + 1;
    view_.populationSize = n;
    view_.population = buffers_.population.data();
    view_.fitness = fitness;
    view_.bestIndex = bestIndex;
    view_.best = best;
    view_.average = total / n;
    view_.currentPose = PoseOf(buffers_.population[static_cast<std::size_t>(bestIndex)]);
    view_.error = TipDistance(setup_.geometry, view_.currentPose);
    if (view_.best > view_.eliteFitness) {
        view_.eliteFitness = view_.best;
        view_.elitePose = view_.currentPose;
    }
    for (RunObserver* observer : observers_) observer->onGeneration(view_);
    outcome_.generationsRun = view_.generation;
    outcome_.eliteFitness = view_.eliteFitness;
    outcome_.elitePose = view_.elitePose;
    outcome_.currentPose = view_.currentPose;
    inBlock_ = 0;
    if (outcome_.generationsRun == setup_.params.generationCount) {
        spent_ = true;
    } else if (stop_ && stop_->load(std::memory_order_acquire)) {
        spent_ = true;
        outcome_.stopped = true;
    }
}

RunOutcome RunBaseline(const RunSetup& setup, std::span<RunObserver* const> observers, RunBuffers& buffers,
                       const std::atomic<bool>* stop) {
    EvaluationBudget budget(setup, observers, buffers, stop);
    const Algorithm& a = setup.algorithm;
    switch (a.method) {
    case Method::ccd: RunCcd(budget); break;
    case Method::fabrik: RunFabrik(budget); break;
    case Method::jacobianTranspose: RunJacobianTranspose(budget); break;
    case Method::dampedLeastSquares: RunDampedLeastSquares(budget); break;
    case Method::onePlusOne: RunOnePlusOne(budget, a.encoding); break;
    case Method::hillClimbing: RunHillClimbing(budget, NeighbourhoodOf(a), a.creepStep); break;
    default: RunBlackBox(a.method, setup.params.populationSize, budget); break;
    }
    const RunOutcome outcome = budget.outcome();
    for (RunObserver* observer : observers) observer->onEnd(outcome);
    return outcome;
}

ArmFrame FrameOf(const ArmPose& p) { return FrameOf(Tables(), p); }

namespace {

ArmFrame FrameOf(const LinkTables& t, const ArmPose& p) {
    const int s1 = p.a1, s2 = p.a1 + p.a2, s3 = p.a1 + p.a2 + p.a3;
    ArmFrame f;
    f.x[1] = t.cos1[s1];
    f.y[1] = t.sin1[s1];
    f.x[2] = t.cos1[s1] + t.cos2[s2];
    f.y[2] = t.sin1[s1] + t.sin2[s2];
    f.x[3] = (t.cos1[s1] + t.cos2[s2]) + t.cos3[s3];
    f.y[3] = t.sin1[s1] + t.sin2[s2] + t.sin3[s3];
    return f;
}

}  // namespace

double CcdTurn(const ArmFrame& f, int joint, double tx, double ty) {
    const auto j = static_cast<std::size_t>(joint);
    const double ux = f.x[3] - f.x[j], uy = f.y[3] - f.y[j];
    const double vx = tx - f.x[j], vy = ty - f.y[j];
    if ((ux == 0.0 && uy == 0.0) || (vx == 0.0 && vy == 0.0)) return 0.0;
    return TurnTowards(std::atan2(vy, vx), ux, uy);
}

Angles JacobianTransposeStep(const ArmFrame& f, double tx, double ty) {
    const Linearisation l = Linearise(f, tx, ty);
    Angles step{};
    // g = J^T e; J g; alpha = (e . J g) / |J g|^2.
    double jgx = 0.0, jgy = 0.0;
    std::array<double, 3> g{};
    for (std::size_t j = 0; j < 3; ++j) {
        g[j] = l.jx[j] * l.ex + l.jy[j] * l.ey;
        jgx += l.jx[j] * g[j];
        jgy += l.jy[j] * g[j];
    }
    const double norm = jgx * jgx + jgy * jgy;
    if (norm == 0.0) return step;
    const double alpha = (l.ex * jgx + l.ey * jgy) / norm;
    for (std::size_t j = 0; j < 3; ++j) step[j] = alpha * g[j] * kRadToDeg;
    return step;
}

namespace {

Angles DampedStep(const Linearisation& l, double lambda) {
    // A = J J^T + lambda^2 I (2 x 2, symmetric); w = A^-1 e; step = J^T w.
    double a = lambda * lambda, b = 0.0, d = lambda * lambda;
    for (std::size_t j = 0; j < 3; ++j) {
        a += l.jx[j] * l.jx[j];
        b += l.jx[j] * l.jy[j];
        d += l.jy[j] * l.jy[j];
    }
    const double det = a * d - b * b;
    Angles step{};
    if (det == 0.0) return step;
    const double wx = (d * l.ex - b * l.ey) / det;
    const double wy = (a * l.ey - b * l.ex) / det;
    for (std::size_t j = 0; j < 3; ++j) step[j] = (l.jx[j] * wx + l.jy[j] * wy) * kRadToDeg;
    return step;
}

}  // namespace

Angles FabrikAngles(const ArmFrame& f, double tx, double ty) {
    constexpr std::array<double, 3> length{kLink1, kLink2, kLink3};
    std::array<double, 4> x = f.x, y = f.y;
    // Puts point `to` at `length` from `from` on the line towards its old place.
    const auto place = [&](std::size_t to, std::size_t from, double len) {
        const double dx = x[to] - x[from], dy = y[to] - y[from];
        // The plain square root: the points lie within the reach, a few hundred px apart at most,
        // so that hypot's guard against overflow (four times the cost here) buys nothing.
        const double r = std::sqrt(dx * dx + dy * dy);
        if (r == 0.0) {
            x[to] = x[from] + len;  // coincident points: any direction will do; take +x
            y[to] = y[from];
        } else {
            const double scale = len / r;
            x[to] = x[from] + dx * scale;
            y[to] = y[from] + dy * scale;
        }
    };
    x[3] = tx;
    y[3] = ty;
    for (std::size_t i = 3; i-- > 0;) place(i, i + 1, length[i]);  // backward, from the target
    x[0] = 0.0;
    y[0] = 0.0;
    for (std::size_t i = 1; i < 4; ++i) place(i, i - 1, length[i - 1]);  // forward, from the base
    Angles out{};
    double previous = 0.0;
    for (std::size_t i = 0; i < 3; ++i) {
        const double absolute = std::atan2(y[i + 1] - y[i], x[i + 1] - x[i]) * kRadToDeg;
        double relative = Fmod360(absolute - previous);
        if (relative < 0.0) relative += 360.0;
        out[i] = relative;
        previous = absolute;
    }
    return out;
}

int WrapToJoint(double angle) {
    const int whole = static_cast<int>(angle);  // as std::lround rounds a non-negative angle
    const int a = (whole + (angle - whole >= 0.5 ? 1 : 0)) % 360;
    if (a <= 255) return a;
    return a - 255 <= 360 - a ? 255 : 0;
}

void Neighbours(const ArmPose& pose, Neighbourhood kind, int step, std::vector<ArmPose>& out) {
    out.clear();
    for (int joint = 0; joint < 3; ++joint) {
        const int a = joint == 0 ? pose.a1 : joint == 1 ? pose.a2 : pose.a3;
        const auto push = [&](int angle) {
            ArmPose n = pose;
            (joint == 0 ? n.a1 : joint == 1 ? n.a2 : n.a3) = angle;
            out.push_back(n);
        };
        if (kind == Neighbourhood::creep) {
            for (int b = std::max(0, a - step); b <= std::min(255, a + step); ++b)
                if (b != a) push(b);
        } else {
            for (int bit = 0; bit < 8; ++bit)
                push(kind == Neighbourhood::gray ? GrayDecode(GrayEncode(a) ^ (1 << bit)) : a ^ (1 << bit));
        }
    }
}

Neighbourhood NeighbourhoodOf(const Algorithm& a) {
    if (a.mutation == MutationOperator::creep) return Neighbourhood::creep;
    return a.encoding == Encoding::gray ? Neighbourhood::gray : Neighbourhood::binary;
}

}  // namespace kelvora
