#include "failure/memory_budget.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>

#include "failure/internal_failure.hpp"

namespace {

constexpr std::uint64_t unlimited = std::numeric_limits<std::uint64_t>::max();

// MemAvailable: what the kernel can hand out without swapping, the honest bound
// on what this process may still obtain. Falls back to free physical pages.
std::uint64_t available_bytes() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kib = 0;
    std::string unit;
    while (meminfo >> key >> kib >> unit) {
        if (key == "MemAvailable:") {
            return kib * 1024;
        }
    }
    long pages = sysconf(_SC_AVPHYS_PAGES);
    long page_size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page_size > 0) {
        return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
    }
    return unlimited;
}

// An address-space or data limit set on the process bounds it as well.
std::uint64_t limit_bytes() {
    std::uint64_t bound = unlimited;
    for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit limit{};
        if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
            bound = std::min<std::uint64_t>(bound, limit.rlim_cur);
        }
    }
    return bound;
}

// One working value: MPFR's 32-byte header in its own block, its limbs in
// another, and malloc's bookkeeping for each.
constexpr std::uint64_t value_overhead_bytes = 32 + 2 * 16 + 8;

constexpr std::uint64_t unchecked_bytes = std::uint64_t{32} << 20;

[[noreturn]] void refuse(const char* what, const std::string& detail) {
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
    // Small requests pass unasked: reading /proc/meminfo costs about 10 us,
    // more than a whole call at ordinary precisions, and a process that cannot
    // get this much fails at its next allocation whatever the module does.
    if (total <= unchecked_bytes) {
        return;
    }
    std::uint64_t bound = std::min(available_bytes(), limit_bytes());
    if (total > bound) {
        char detail[160];
        std::snprintf(detail, sizeof detail,
                      "%llu values of %llu bits need about %.3g GiB, %.3g GiB available",
                      static_cast<unsigned long long>(count), static_cast<unsigned long long>(bits),
                      static_cast<double>(total) / 1073741824.0,
                      static_cast<double>(bound) / 1073741824.0);
        refuse(what, detail);
    }
}
