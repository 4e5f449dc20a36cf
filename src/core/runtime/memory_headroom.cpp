#include "core/runtime/memory_headroom.hpp"

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace {

// Where systemd and container runtimes mount the cgroup v2 hierarchy; inside a
// container with its own cgroup namespace this directory is the container's
// cgroup. A hybrid host mounts v2 at /sys/fs/cgroup/unified instead, but there
// the memory controller sits in v1, so no memory.max would be found anyway.
constexpr std::string_view cgroup_root = "/sys/fs/cgroup";

std::uint64_t less(std::uint64_t a, std::uint64_t b) { return a > b ? a - b : 0; }

std::uint64_t times(std::uint64_t a, std::uint64_t b) {
    std::uint64_t r = 0;
    return __builtin_mul_overflow(a, b, &r) ? unlimited_bytes : r;
}

// The start of a small /proc or /sys file, or an empty view when it cannot be
// read. Such files are generated on open, so there is nothing to retry.
std::string_view read_text(const char* path, std::span<char> buffer) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::size_t used = 0;
    // Every pass adds at least one byte or ends the loop: at most size() passes.
    while (used < buffer.size()) {
        ssize_t got = ::read(fd, buffer.data() + used, buffer.size() - used);
        if (got <= 0) {
            break;
        }
        used += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return {buffer.data(), used};
}

// The decimal number at the start of `text`, after blanks.
std::optional<std::uint64_t> leading_number(std::string_view text) {
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), value);
    if (error != std::errc()) {
        return std::nullopt;
    }
    return value;
}

// The rest of the first line that starts with `key`.
std::optional<std::string_view> keyed_line(std::string_view text, std::string_view key) {
    for (std::size_t at = 0; at < text.size();) {  // moves one line on per pass
        std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        if (line.starts_with(key)) {
            return line.substr(key.size());
        }
        at = end + 1;
    }
    return std::nullopt;
}

// The number after `key` ("MemAvailable:", "inactive_file ").
std::optional<std::uint64_t> keyed_number(std::string_view text, std::string_view key) {
    std::optional<std::string_view> rest = keyed_line(text, key);
    return rest ? leading_number(*rest) : std::nullopt;
}

std::uint64_t rlimit_bytes(int resource) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return unlimited_bytes;
    }
    return limit.rlim_cur;
}

// MemAvailable: what the kernel can hand out without swapping, counting the
// page cache it would drop. Falls back to free physical pages on kernels
// before 3.14, which lack the line.
std::uint64_t available_bytes() {
    std::array<char, 4096> buffer;  // the line is the third of about 50
    if (auto kib = keyed_number(read_text("/proc/meminfo", buffer), "MemAvailable:")) {
        return times(*kib, 1024);
    }
    long pages = sysconf(_SC_AVPHYS_PAGES);
    long page_size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && page_size > 0) {
        return times(static_cast<std::uint64_t>(pages), static_cast<std::uint64_t>(page_size));
    }
    return unlimited_bytes;
}

// One cgroup's memory.max less what it holds, unlimited when it sets no limit.
// Its inactive file pages are not counted as held: memory.current includes
// page cache, which after enough file I/O fills a cgroup up to its limit and
// which the kernel drops before it calls the OOM killer.
std::uint64_t cgroup_level_headroom(const std::string& dir) {
    std::array<char, 4096> buffer;  // inactive_file is within memory.stat's first 1 KiB
    auto max = leading_number(read_text((dir + "/memory.max").c_str(), buffer));
    if (!max) {
        return unlimited_bytes;  // "max", or no such file (the root, cgroup v1)
    }
    auto current = leading_number(read_text((dir + "/memory.current").c_str(), buffer));
    if (!current) {
        return unlimited_bytes;
    }
    auto stat = read_text((dir + "/memory.stat").c_str(), buffer);
    std::uint64_t reclaimable = keyed_number(stat, "inactive_file ").value_or(0);
    return less(*max, less(*current, reclaimable));
}

// The tightest limit on the way from this process's cgroup to the root: a
// parent's limit binds every cgroup below it.
std::uint64_t cgroup_headroom() {
    std::array<char, 8192> buffer;  // a line per v1 hierarchy, and "0::<path>"
    std::string_view lines = read_text("/proc/self/cgroup", buffer);
    std::optional<std::string_view> path = keyed_line(lines, "0::");
    // A cgroup outside this namespace's root shows as "/../..."; its files
    // are not under cgroup_root.
    if (!path || !path->starts_with('/') || path->find("/..") != std::string_view::npos) {
        return unlimited_bytes;
    }
    std::string dir = std::string(cgroup_root) + std::string(*path);
    while (dir.ends_with('/')) {  // at most path->size() passes
        dir.pop_back();
    }
    std::uint64_t headroom = unlimited_bytes;
    // Every pass drops one path component: at most one pass per '/' in path.
    while (dir.size() > cgroup_root.size()) {
        headroom = std::min(headroom, cgroup_level_headroom(dir));
        dir.resize(dir.rfind('/'));
    }
    return std::min(headroom, cgroup_level_headroom(dir));
}

}  // namespace

Headroom read_hard_headroom() {
    Headroom headroom;
    const std::uint64_t address_space = rlimit_bytes(RLIMIT_AS);
    const std::uint64_t data = rlimit_bytes(RLIMIT_DATA);
    if (address_space == unlimited_bytes && data == unlimited_bytes) {
        return headroom;
    }
    headroom.hard_limited = true;
    // Until the use is known, the limits themselves are the bound.
    headroom.hard = std::min(address_space, data);
    // statm: total size, resident, shared, text, lib, data + stack, dirty, in
    // pages. The kernel checks RLIMIT_DATA against the data part alone; the
    // stack counted with it here is a few hundred KiB, so the headroom errs low.
    std::array<char, 256> buffer;
    std::string_view text = read_text("/proc/self/statm", buffer);
    const char* at = text.data();
    const char* end = text.data() + text.size();
    std::array<std::uint64_t, 6> pages{};
    for (std::uint64_t& field : pages) {
        at = std::find_if(at, end, [](char c) { return c != ' '; });
        auto [next, error] = std::from_chars(at, end, field);
        if (error != std::errc()) {
            return headroom;
        }
        at = next;
    }
    const auto page_size = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    headroom.hard = std::min(less(address_space, times(pages[0], page_size)),
                             less(data, times(pages[5], page_size)));
    return headroom;
}

Headroom read_headroom() {
    Headroom headroom = read_hard_headroom();
    headroom.soft = std::min(cgroup_headroom(), available_bytes());
    return headroom;
}

std::uint64_t malloc_free_bytes() {
    // Fast-bin chunks are at most 160 bytes, too small for any value's limbs.
    // The rest are mostly what earlier calls freed all together, coalesced
    // into chunks of many values each.
    const struct mallinfo2 info = mallinfo2();
    return less(info.fordblks, info.fsmblks);
}
