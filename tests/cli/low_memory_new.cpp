// kelvora-cli built with this operator new runs out of memory on request: with
// KELVORA_FAIL_ALLOCATION=N in its environment, the Nth allocation and every one after it throw
// std::bad_alloc, as on a machine whose memory is gone. Without it nothing changes.
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long long> allocations{0};

void* Allocate(std::size_t size, std::size_t alignment) {
    static const long long failFrom = [] {
        const char* value = std::getenv("KELVORA_FAIL_ALLOCATION");
        return value ? std::atoll(value) : 0;
    }();
    if (failFrom > 0 && allocations.fetch_add(1) + 1 >= failFrom) throw std::bad_alloc();
    void* p = nullptr;
    if (alignment <= alignof(std::max_align_t)) p = std::malloc(size ? size : 1);
    else if (::posix_memalign(&p, alignment, size ? size : 1) != 0) p = nullptr;
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size, 0); }
void* operator new[](std::size_t size) { return Allocate(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) { return Allocate(size, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return Allocate(size, static_cast<std::size_t>(a)); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
