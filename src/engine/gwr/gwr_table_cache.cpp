#include "engine/gwr/gwr_table_cache.hpp"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace {

constexpr std::uint64_t most_cached_terms = 64;
constexpr Bits most_cached_bits = 1024;

// Tables are told apart by both sizes: the rows a table holds come from m,
// and the values of its non-integer entries (large m at few bits) from the
// precision it was rounded at.
using TableKey = std::pair<std::uint64_t, Bits>;

struct TableCache {
    std::mutex lock;
    // Nodes of a map never move, so a reference handed out stays valid.
    std::map<TableKey, std::unique_ptr<const GwrTables>> tables;
};

// Never destroyed: the tables' MPFR values would otherwise be cleared after
// the threads and caches they were made under are gone.
TableCache& cache() {
    static TableCache* instance = new TableCache;
    return *instance;
}

}  // namespace

bool gwr_tables_cacheable(std::uint64_t m, Bits bits) {
    return m >= 1 && m <= most_cached_terms && bits <= most_cached_bits;
}

const GwrTables& cached_gwr_tables(std::uint64_t m, Bits bits) {
    TableCache& c = cache();
    // Built under the lock: a few microseconds to a millisecond, once per
    // size for the whole process, and a second thread asking for the same
    // size waits for it rather than building it again.
    std::lock_guard<std::mutex> held(c.lock);
    std::unique_ptr<const GwrTables>& entry = c.tables[TableKey{m, bits}];
    if (!entry) {
        entry = std::make_unique<const GwrTables>(build_gwr_tables(m, bits));
    }
    return *entry;
}
