#include "bessel/bessel_i.hpp"

#include "failure/internal_failure.hpp"

double besseli_rust(std::uint32_t, double, std::uint32_t) {
    internal_failure("besseli_rust: the Bessel I routine is not built yet");
}
