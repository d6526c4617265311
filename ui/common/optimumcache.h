#pragma once
// The optimum arm of a target, found once per base and target for every window of the program:
// the plot's overlay, the error field's tooltip and the evolution window read the same one.

#include <QPoint>

#include "analysis/optimum.h"

namespace kelvora::ui {

/// The optimum for base and target (client pixels, x right, y down), searched the first time they
/// are asked for and kept until another pair is (a few hundred microseconds). GUI thread only.
const kelvora::Optimum& OptimumFor(QPoint base, QPoint target);

/// Searches made by OptimumFor since the program started: each a pair asked for that was not the last.
int OptimumSearchCount();

}  // namespace kelvora::ui
