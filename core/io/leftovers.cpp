#include "io/leftovers.h"

#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

namespace kelvora {
namespace {

// A slot is free, being filled or emptied by one thread, or holding a path the handler may remove.
enum State : int { kFree = 0, kBusy = 1, kListed = 2 };

struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};

constexpr int kSlots = 512;
Slot slots[kSlots];  // zero pages until used
static_assert(std::atomic<int>::is_always_lock_free, "read inside a signal handler");

}  // namespace

bool MarkLeftover(const std::string& path) {
    if (path.empty() || path.size() >= PATH_MAX) return false;
    for (Slot& slot : slots) {
        int expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kBusy)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(kListed);
        return true;
    }
    return false;
}

void ClearLeftover(const std::string& path) {
    for (Slot& slot : slots) {
        int expected = kListed;
        if (!slot.state.compare_exchange_strong(expected, kBusy)) continue;
        if (path == slot.path) {
            slot.state.store(kFree);
            return;
        }
        slot.state.store(kListed);  // another file's
    }
}

void RemoveLeftovers() {
    for (Slot& slot : slots)
        if (slot.state.load() == kListed) (void)::unlink(slot.path);
}

}  // namespace kelvora
