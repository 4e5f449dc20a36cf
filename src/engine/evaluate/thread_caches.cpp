#include "engine/evaluate/thread_caches.hpp"

#include <flint/flint.h>

#include "core/precision/working_value.hpp"

namespace {

struct FlintCacheRelease {
    ~FlintCacheRelease() { flint_cleanup(); }
};

}  // namespace

void free_thread_caches_at_exit() noexcept {
    free_mpfr_caches_at_thread_exit();
    // Constructed on a thread's first call, destroyed when that thread ends.
    thread_local FlintCacheRelease release;
    static_cast<void>(release);
}
