#include "core/runtime/memory_budget.hpp"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>
#include <string>

#include "core/runtime/coarse_clock.hpp"
#include "core/failure/internal_failure.hpp"
#include "core/runtime/memory_headroom.hpp"

namespace {

// One working value: MPFR's 32-byte header in its own block, its limbs in
// another, and malloc's bookkeeping for each.
constexpr std::uint64_t value_overhead_bytes = 32 + 2 * 16 + 8;

// Reading every bound opens and parses several /proc and /sys files, which
// costs more than a whole call at ordinary precisions, so requests up to this
// size may skip the reading while a recent one found room to spare. A call
// that needs more runs far longer than the reading takes.
constexpr std::uint64_t unchecked_bytes = std::uint64_t{32} << 20;

// How recent and how roomy that reading must be. The soft bounds count pages
// once they are touched, each zeroed by the kernel as it is faulted in. To
// fall from 1 GiB to under unchecked_bytes within one lifetime (10 ms, plus
// a tick of the coarse clock: at most 10 ms more) something would have to
// fault in fresh memory at about 50 GB/s. Memory that vanishes that fast
// would beat a reading taken just before the allocation as well, so skipping
// the reading adds no risk that these bounds do not carry anyway.
constexpr std::uint64_t comfortable_bytes = std::uint64_t{1} << 30;
constexpr std::uint64_t reading_lifetime_ns = 10'000'000;

// The last reading, shared by every thread: the time until which small
// requests may pass unread, shifted left by one, with the low bit set when a
// resource limit was in force. 0: no reading vouches for anything. One word,
// so that no thread can pair one reading's time with another's limit bit; a
// late store from a reading a little older is as good as the newer one,
// since each holds for its whole lifetime.
std::atomic<std::uint64_t> last_reading{0};

// The least of the kernel's bounds on what this process can still obtain,
// or unlimited_bytes when a recent reading vouches for `total` unread.
std::uint64_t kernel_bound(std::uint64_t total) {
    const std::uint64_t now = coarse_now_ns();
    const std::uint64_t reading = last_reading.load(std::memory_order_relaxed);
    if (total <= unchecked_bytes && now < reading >> 1) {
        if ((reading & 1) == 0) {
            // No resource limit was in force at the reading. One set since
            // (setrlimit, or prlimit from outside) binds small requests once
            // the reading expires, larger ones at once.
            return unlimited_bytes;
        }
        // Address space counts the moment it is mapped, so under a resource
        // limit the caller may have taken any amount since the last reading
        // (one large untouched mapping is enough): read the use every time.
        // The soft bounds were comfortable, far above this request.
        return read_hard_headroom().hard;
    }
    const Headroom headroom = read_headroom();
    const bool comfortable = headroom.soft >= comfortable_bytes;
    last_reading.store(comfortable ? (now + reading_lifetime_ns) << 1 | headroom.hard_limited : 0,
                       std::memory_order_relaxed);
    return std::min(headroom.hard, headroom.soft);
}

// The bytes still available when `total` does not fit in them; nothing when it does.
std::optional<std::uint64_t> shortfall(std::uint64_t total) {
    std::uint64_t bound = kernel_bound(total);
    if (total <= bound) {
        return std::nullopt;
    }
    // The kernel counts what malloc keeps free as in use: after a large call
    // it often cannot give the pages back (one small block above them is
    // enough), and without them the same call would not fit a second time.
    std::uint64_t with_free = 0;
    if (__builtin_add_overflow(bound, malloc_free_bytes(), &with_free)) {
        return std::nullopt;
    }
    return total <= with_free ? std::nullopt : std::optional(with_free);
}

double gib(std::uint64_t bytes) { return static_cast<double>(bytes) / 1073741824.0; }

[[noreturn]] void refuse(const char* what, const char* detail) {
    throw MemoryExhausted(std::string("not enough memory for ") + what + ": " + detail);
}

}  // namespace

void require_memory_for(std::uint64_t values, std::uint64_t bits, std::uint64_t scratch_values,
                        const char* what) {
    std::uint64_t limb_bytes = (bits + 63) / 64 * 8;
    std::uint64_t per_value = limb_bytes + value_overhead_bytes;
    std::uint64_t count = 0;
    std::uint64_t total = 0;
    if (__builtin_add_overflow(values, scratch_values, &count) ||
        __builtin_mul_overflow(count, per_value, &total)) {
        refuse(what, "the size overflows 64 bits");
    }
    if (std::optional<std::uint64_t> available = shortfall(total)) {
        char detail[160];
        std::snprintf(detail, sizeof detail,
                      "%llu values of %llu bits need about %.3g GiB, %.3g GiB available",
                      static_cast<unsigned long long>(count), static_cast<unsigned long long>(bits),
                      gib(total), gib(*available));
        refuse(what, detail);
    }
}

void require_memory_bytes(std::uint64_t bytes, const char* what) {
    if (std::optional<std::uint64_t> available = shortfall(bytes)) {
        char detail[96];
        std::snprintf(detail, sizeof detail, "about %.3g GiB needed, %.3g GiB available",
                      gib(bytes), gib(*available));
        refuse(what, detail);
    }
}
