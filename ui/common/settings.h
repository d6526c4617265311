#pragma once
// Where the window keeps what it remembers between sessions.

#include <QSettings>

#include "ga/algorithm.h"

namespace kelvora::ui {

/// The one settings store of the program, ~/.config/Kelvora/Kelvora.conf on Linux: the menu's
/// check marks, the evolution window's geometry, whether it was moved, and its open state. Named
/// explicitly, so it does not depend on the application's metadata having been set first.
QSettings AppSettings();

/// The operator choice kept in group "algorithm", keys encoding, selection, elitism, crossover and
/// mutation, each in kelvora-cli's spelling ("gray", "tournament:3", "1", "two-point", "creep:4"),
/// so that a course can preset it. A key that is missing or does not parse gives the classic
/// choice for it. Counts are checked against their own ranges only (a tournament of 2..10000,
/// an elite count of 0..9999, a creep step of 1..128), not against a population.
kelvora::Algorithm LoadAlgorithm();
/// Writes all five keys.
void SaveAlgorithm(const kelvora::Algorithm& algorithm);

}  // namespace kelvora::ui
