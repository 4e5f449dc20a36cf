#include "engine/methods/method_registry.hpp"

#include <cstdio>
#include <cstdlib>

#include "engine/methods/auto_point.hpp"
#include "engine/contours/contour_point.hpp"
#include "engine/gwr/gwr_point.hpp"
#include "engine/methods/stehfest_point.hpp"

namespace {

// The codes results carried before the registry existed come first and keep
// their order; new methods go at the end.
constexpr MethodEntry entries[] = {
    {"gwr", Samples::real, make_gwr_solver, true, always_gaver_tables},
    {"talbot", Samples::complex, make_talbot_solver, true, nullptr},
    {"euler", Samples::complex, make_euler_solver, true, nullptr},
    {"stehfest", Samples::real, make_stehfest_solver, true, nullptr},
    {"auto", Samples::complex, make_auto_solver, true, auto_gaver_tables},
    {"initial value", Samples::real, nullptr, false, nullptr},
    {"hyperbola", Samples::complex, nullptr, true, nullptr},
};

}  // namespace

bool always_gaver_tables(const Program&, std::uint32_t) { return true; }

std::span<const MethodEntry> method_registry() { return entries; }

const MethodEntry* find_method(std::string_view name) {
    for (const MethodEntry& entry : entries) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

MethodCode method_code(std::string_view name) {
    const MethodEntry* entry = find_method(name);
    if (entry == nullptr) {
        std::fprintf(stderr, "invlap: method '%.*s' is not registered\n",
                     static_cast<int>(name.size()), name.data());
        std::abort();
    }
    return static_cast<MethodCode>(entry - entries);
}
