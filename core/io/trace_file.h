#pragma once
// The run's trace: how each slot of every next population came to be, as JSON Lines written while
// the run goes. The first line names the encoding and holds the initial population; then one line
// per step:
//   {"trace":1,"encoding":"binary","initial":[G,...]}
//   {"generation":0,"slots":[{"kind":"child","parents":[4,9],"mask":255,"before":G,"after":G},...]}
// G is a 24-bit genotype gene0 * 65536 + gene1 * 256 + gene2 (the bytes before any Gray decoding).

#include <cstdint>
#include <string>

#include "ga/algorithm.h"
#include "ga/run.h"

namespace kelvora {

/// The 24-bit genotype of a chromosome: gene0 * 65536 + gene1 * 256 + gene2.
inline std::uint32_t Genotype(const Chromosome& c) {
    return (static_cast<std::uint32_t>(c.gene[0]) << 16) | (static_cast<std::uint32_t>(c.gene[1]) << 8) | c.gene[2];
}

/// Writes a run's trace to a descriptor: the first line always, then the lines of steps
/// firstStep..lastStep (0-based, inclusive) as each step ends, one write per line. Each slot is
/// {"kind":K,"parents":[...],"mask":M,"before":B,"after":A} with K "elite", "child", "copy" or
/// "random" (no parents); the mask only for children; "redraws":n on a pair's first child when its
/// parents were drawn again n > 0 times. About 60 to 90 bytes a slot.
class TraceWriter final : public StepRecorder {
public:
    /// fd open for writing (the writer neither opens nor closes it); encoding as the run's.
    TraceWriter(int fd, Encoding encoding, int firstStep = 0, int lastStep = kMaxGenerations);

    void onInitial(const Chromosome* genotypes, int populationSize) override;
    void onStep(int step, const SlotOrigin* origins, const Chromosome* before, const Chromosome* after,
                int populationSize) override;

    /// errno of the first write that failed (nothing more is written after it), or 0.
    int error() const { return error_; }
    /// Bytes written so far.
    std::uint64_t bytesWritten() const { return bytes_; }

private:
    void Flush();

    int fd_;
    Encoding encoding_;
    int first_, last_;
    int error_ = 0;
    std::uint64_t bytes_ = 0;
    std::string line_;  ///< the line being built, its storage kept from step to step
};

}  // namespace kelvora
