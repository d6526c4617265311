#include "io/leftovers.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

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

int CreateLeftover(const std::string& path, int flags, mode_t mode) {
    // A signal delivered on the way back from open() would run its handler before the file is
    // listed, and the handler would leave it behind: the signals wait until it is.
    sigset_t stops, before;
    sigemptyset(&stops);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
    pthread_sigmask(SIG_BLOCK, &stops, &before);
    const int fd = ::open(path.c_str(), flags, mode);
    const int error = errno;
    if (fd >= 0) MarkLeftover(path);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return fd;
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
