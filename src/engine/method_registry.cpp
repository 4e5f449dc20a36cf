#include "engine/method_registry.hpp"

#include <cstdio>
#include <cstdlib>

#include "engine/auto_point.hpp"
#include "engine/contour_point.hpp"
#include "engine/gwr_point.hpp"
#include "engine/stehfest_point.hpp"

namespace {

// The codes results carried before the registry existed come first and keep
// their order; new methods go at the end.
constexpr MethodEntry entries[] = {
    {"gwr", Samples::real, make_gwr_solver, true, true},
    {"talbot", Samples::complex, make_talbot_solver, true, false},
    {"euler", Samples::complex, make_euler_solver, true, false},
    {"stehfest", Samples::real, make_stehfest_solver, true, false},
    {"auto", Samples::complex, make_auto_solver, true, true},
    {"initial value", Samples::real, nullptr, false, false},
    {"hyperbola", Samples::complex, nullptr, true, false},
};

}  // namespace

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
