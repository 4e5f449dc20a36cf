#include "engine/placement/scan_registry.hpp"

#include <algorithm>
#include <cstdint>
#include <list>
#include <vector>

namespace {

// Scans kept: a parameter sweep revisits few sets of values at a time, and
// each scan holds some thousands of cells at most.
constexpr std::size_t kept_scans = 64;

struct Entry {
    std::uint64_t program;
    std::vector<double> parameters;
    ScanWindow window;
    std::shared_ptr<SharedScan> scan;
};

std::mutex registry_lock;
std::list<Entry>& registry() {
    static std::list<Entry> entries;  // most recently used first; lives with the process
    return entries;
}

}  // namespace

std::shared_ptr<SharedScan> shared_scan(const Program& program, const double* parameters,
                                        const ScanWindow& window) {
    const std::size_t count = program.parameter_count();
    const std::lock_guard<std::mutex> held(registry_lock);
    std::list<Entry>& entries = registry();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->program == program.identity() && it->window == window &&
            std::equal(it->parameters.begin(), it->parameters.end(), parameters)) {
            entries.splice(entries.begin(), entries, it);
            return entries.front().scan;
        }
    }
    // Made under the lock: another thread asking for the same scan waits for
    // it rather than making it twice.
    auto scan = std::make_shared<SharedScan>(program, parameters, count, window);
    entries.push_front(Entry{program.identity(), std::vector<double>(parameters, parameters + count),
                             window, scan});
    if (entries.size() > kept_scans) {
        entries.pop_back();
    }
    return scan;
}
