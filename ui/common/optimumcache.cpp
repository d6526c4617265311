#include "common/optimumcache.h"

namespace kelvora::ui {

namespace {

struct Kept {
    bool have = false;
    QPoint base, target;
    kelvora::Optimum optimum;
    int searches = 0;
};

Kept& TheKept() {
    static Kept kept;
    return kept;
}

}  // namespace

const kelvora::Optimum& OptimumFor(QPoint base, QPoint target) {
    Kept& kept = TheKept();
    if (!kept.have || kept.base != base || kept.target != target) {
        kept.optimum = kelvora::FindOptimum(base.x(), base.y(), target.x(), target.y());
        kept.base = base;
        kept.target = target;
        kept.have = true;
        ++kept.searches;
    }
    return kept.optimum;
}

int OptimumSearchCount() { return TheKept().searches; }

}  // namespace kelvora::ui
