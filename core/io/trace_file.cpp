#include "io/trace_file.h"

#include <cerrno>
#include <charconv>
#include <unistd.h>

namespace kelvora {
namespace {

void Append(std::string& line, std::uint32_t value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    line.append(digits, end);
}

const char* KindName(SlotKind kind) {
    switch (kind) {
    case SlotKind::elite: return "elite";
    case SlotKind::child: return "child";
    case SlotKind::random: return "random";
    default: return "copy";
    }
}

}  // namespace

TraceWriter::TraceWriter(int fd, Encoding encoding, int firstStep, int lastStep)
    : fd_(fd), encoding_(encoding), first_(firstStep), last_(lastStep) {}

void TraceWriter::Flush() {
    const char* data = line_.data();
    std::size_t left = line_.size();
    while (left > 0 && error_ == 0) {
        const ssize_t n = ::write(fd_, data, left);
        if (n < 0) {
            if (errno != EINTR) error_ = errno;
            continue;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
        bytes_ += static_cast<std::uint64_t>(n);
    }
    line_.clear();
}

void TraceWriter::onInitial(const Chromosome* genotypes, int populationSize) {
    line_.reserve(static_cast<std::size_t>(populationSize) * 96 + 64);
    line_ = "{\"trace\":1,\"encoding\":\"";
    line_ += encoding_ == Encoding::gray ? "gray" : "binary";
    line_ += "\",\"initial\":[";
    for (int i = 0; i < populationSize; ++i) {
        if (i > 0) line_ += ',';
        Append(line_, Genotype(genotypes[i]));
    }
    line_ += "]}\n";
    Flush();
}

void TraceWriter::onStep(int step, const SlotOrigin* origins, const Chromosome* before, const Chromosome* after,
                         int populationSize) {
    if (step < first_ || step > last_ || error_ != 0) return;
    line_ += "{\"generation\":";
    Append(line_, static_cast<std::uint32_t>(step));
    line_ += ",\"slots\":[";
    for (int i = 0; i < populationSize; ++i) {
        const SlotOrigin& o = origins[i];
        if (i > 0) line_ += ',';
        line_ += "{\"kind\":\"";
        line_ += KindName(o.kind);
        line_ += '"';
        if (o.kind != SlotKind::random) {
            line_ += ",\"parents\":[";
            Append(line_, o.parents[0]);
            if (o.kind == SlotKind::child) {
                line_ += ',';
                Append(line_, o.parents[1]);
                line_ += "],\"mask\":";
                Append(line_, o.mask);
            } else {
                line_ += ']';
            }
        }
        line_ += ",\"before\":";
        Append(line_, Genotype(before[i]));
        line_ += ",\"after\":";
        Append(line_, Genotype(after[i]));
        if (o.redraws > 0) {
            line_ += ",\"redraws\":";
            Append(line_, o.redraws);
        }
        line_ += '}';
    }
    line_ += "]}\n";
    Flush();
}

}  // namespace kelvora
