// The peak memory one MPFR operation holds beyond its operands, in values of
// the working precision: the figures behind exp_log_scratch_values
// (src/failure/memory_budget.hpp), which the memory check adds to every call
// that takes a logarithm or an exponential.
//
//   g++ -std=c++23 -O2 bench/measure_mpfr_scratch.cpp -lmpfr -lgmp -o /tmp/scratch
//   /tmp/scratch 4000000 log      (bits, then one of log exp div mul)
//
// Two counts: every byte GMP hands out (its allocation functions replaced by
// counting ones), and the rise of VmPeak in /proc/self/status, which adds
// what malloc's free fragments cost in address space. Each run starts a fresh
// process, so MPFR's caches of pi and log 2 are made inside the operation and
// counted, as in a call's first logarithm. Past about 1e7 bits a logarithm
// takes minutes.

#include <gmp.h>
#include <mpfr.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

std::size_t held = 0;
std::size_t peak = 0;

void note(std::size_t added, std::size_t removed) {
    held = held + added - removed;
    if (held > peak) {
        peak = held;
    }
}
void* counting_allocate(std::size_t n) {
    note(n, 0);
    return std::malloc(n);
}
void* counting_reallocate(void* p, std::size_t old_size, std::size_t new_size) {
    note(new_size, old_size);
    return std::realloc(p, new_size);
}
void counting_free(void* p, std::size_t n) {
    note(0, n);
    std::free(p);
}

// A field of /proc/self/status in bytes ("VmPeak:"), or 0.
double status_bytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    for (int lines = 0; lines < 100 && std::getline(status, line); ++lines) {
        if (line.rfind(key, 0) == 0) {
            return std::atof(line.c_str() + std::strlen(key)) * 1024.0;
        }
    }
    return 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s bits log|exp|div|mul\n", argv[0]);
        return 2;
    }
    mp_set_memory_functions(counting_allocate, counting_reallocate, counting_free);
    const long bits = std::atol(argv[1]);
    const std::string op = argv[2];
    mpfr_t x, y, d;
    mpfr_inits2(bits, x, y, d, static_cast<mpfr_ptr>(nullptr));
    // Operands with every bit in use: sqrt 3 and sqrt 7. log takes 2, as ln 2 does.
    mpfr_sqrt_ui(x, 3, MPFR_RNDN);
    mpfr_sqrt_ui(y, 7, MPFR_RNDN);
    const std::size_t before = held;
    peak = held;
    const double vm_before = status_bytes("VmPeak:");
    if (op == "log") {
        mpfr_set_ui(x, 2, MPFR_RNDN);
        mpfr_log(d, x, MPFR_RNDN);
    } else if (op == "exp") {
        mpfr_exp(d, x, MPFR_RNDN);
    } else if (op == "div") {
        mpfr_div(d, x, y, MPFR_RNDN);
    } else if (op == "mul") {
        mpfr_mul(d, x, y, MPFR_RNDN);
    } else {
        std::fprintf(stderr, "unknown operation %s\n", op.c_str());
        return 2;
    }
    const double value_bytes = static_cast<double>((bits + 63) / 64 * 8);
    std::printf("%s at %ld bits: GMP blocks %.1f values, VmPeak +%.1f values\n", op.c_str(), bits,
                static_cast<double>(peak - before) / value_bytes,
                (status_bytes("VmPeak:") - vm_before) / value_bytes);
    mpfr_clears(x, y, d, static_cast<mpfr_ptr>(nullptr));
    return 0;
}
