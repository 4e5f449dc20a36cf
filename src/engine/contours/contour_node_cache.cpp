#include "engine/contours/contour_node_cache.hpp"

#include <cstdint>
#include <list>
#include <mutex>

#include "core/runtime/memory_budget.hpp"

namespace {

// The cache's bound: node sets of a few hundred to a few thousand digits
// (500 digits: two sets of about 1.5 MB a level). A set larger than this is
// made for its caller and not kept; the oldest sets go first.
constexpr std::uint64_t kept_bytes = std::uint64_t{64} << 20;

struct Entry {
    const ContourRule* rule;
    std::uint64_t m;
    slong prec;
    std::uint64_t bytes;
    std::shared_ptr<const ContourNodes> nodes;
};

std::uint64_t set_bytes(std::uint64_t m, slong prec) {
    // five real values a node (the parameter, z and the weight), each its
    // limbs and Arb's own few words
    const auto limbs = static_cast<std::uint64_t>(prec + 63) / 64 * 8;
    return saturating_mul(saturating_mul(5, m), limbs + 48);
}

void drop_radii(ContourNodes& nodes) {
    for (AcbValue& z : nodes.z) {
        mag_zero(arb_radref(acb_realref(z.get())));
        mag_zero(arb_radref(acb_imagref(z.get())));
    }
}

std::mutex cache_lock;
std::list<Entry>& entries() {
    static std::list<Entry>* kept = new std::list<Entry>();  // never destroyed: threads may outlive exit
    return *kept;
}

}  // namespace

std::shared_ptr<const ContourNodes> shared_contour_nodes(const ContourRule& rule, std::uint64_t m,
                                                         slong prec) {
    const std::uint64_t bytes = set_bytes(m, prec);
    // Made under the lock: a second thread asking for the same set waits for
    // it rather than making its own.
    const std::lock_guard<std::mutex> held(cache_lock);
    std::list<Entry>& kept = entries();
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (it->rule == &rule && it->m == m && it->prec == prec) {
            kept.splice(kept.begin(), kept, it);
            return kept.front().nodes;
        }
    }
    // Checked as each set is made, at its own size: at 10^4 digits one set
    // of a later level takes GiB.
    require_memory_bytes(bytes, "the contour's nodes at this precision");
    auto nodes = std::make_shared<ContourNodes>();
    rule.nodes(m, prec, *nodes);
    drop_radii(*nodes);
    if (bytes > kept_bytes) {
        return nodes;
    }
    std::uint64_t total = bytes;
    for (const Entry& entry : kept) {
        total += entry.bytes;
    }
    while (total > kept_bytes && !kept.empty()) {
        total -= kept.back().bytes;
        kept.pop_back();
    }
    kept.push_front(Entry{&rule, m, prec, bytes, nodes});
    return nodes;
}
