// Check of the full-precision Bessel functions (src/core/bessel/bessel_full_precision.hpp)
// against mpmath's values (checks/bessel_references.txt, made by
// checks/bessel_references.py): I_0, I_1, K_0 and K_1, one by one and in
// pairs, at working precisions from 24 to 1000 bits and x from 1e-3 to 700,
// each within the promised relative error 2^(error_margin_bits - P). The pairs
// must also equal the single values bit for bit (the same steps).
//
//   check_bessel_full_precision REFERENCES [--speed]
//
// --speed prints, instead, nanoseconds per call of the K_0 and K_1 pair, K_0
// and I_0 at the engine's typical precisions, and of exponential() beside
// mpfr_exp up to the largest fixed size. The loops poll for Ctrl-C
// through the interpreter, so this program hosts one. Exits 1 on any failure.

#include <Python.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/bessel/bessel_full_precision.hpp"
#include "core/limb/exponential.hpp"
#include "core/limb/limb_float.hpp"

namespace {

constexpr Bits tested_bits[] = {24, 53, 64, 113, 128, 200, 256, 400, 1000};
// A reference serves precisions at least this far below its own.
constexpr Bits reference_headroom_bits = 64;

struct Reference {
    Bits bits;
    double x;
    std::vector<WorkingValue> values;  // I_0, I_1, K_0, K_1
};

std::vector<Reference> read_references(const char* path) {
    std::vector<Reference> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string bits, x, value;
        fields >> bits >> x;
        Reference r{static_cast<Bits>(std::stoul(bits)), std::strtod(x.c_str(), nullptr), {}};
        while (fields >> value) {
            r.values.emplace_back(r.bits);
            mpfr_strtofr(r.values.back().get(), value.c_str(), nullptr, 16, MPFR_RNDN);
        }
        if (r.values.size() == 4) {
            out.push_back(std::move(r));
        }
    }
    return out;
}

long checks = 0;
long failures = 0;
double worst_ulps = 0;  // the largest relative error seen, in units of 2^-P

void expect_close(const char* what, double x, Bits bits, const WorkingValue& got,
                  const WorkingValue& want) {
    WorkingValue error(4 * want.bits());
    mpfr_sub(error.get(), got.get(), want.get(), MPFR_RNDN);
    mpfr_div(error.get(), error.get(), want.get(), MPFR_RNDN);
    mpfr_mul_2si(error.get(), error.get(), static_cast<long>(bits), MPFR_RNDN);
    const double scaled = std::abs(mpfr_get_d(error.get(), MPFR_RNDN));
    worst_ulps = std::max(worst_ulps, scaled);
    ++checks;
    if (!(scaled < std::ldexp(1.0, full_precision_error_margin_bits)) && failures++ < 20) {
        std::printf("FAIL %s(%.17g) at %u bits: relative error %.3g * 2^-%u\n", what, x, bits,
                    scaled, bits);
    }
}

void expect_same(const char* what, double x, Bits bits, const WorkingValue& a,
                 const WorkingValue& b) {
    ++checks;
    if (mpfr_equal_p(a.get(), b.get()) == 0 && failures++ < 20) {
        std::printf("FAIL %s(%.17g) at %u bits: pair and single value differ\n", what, x, bits);
    }
}

void check_reference(const Reference& r) {
    static const char* names[] = {"I0", "I1", "K0", "K1"};
    WorkingValue x(53);
    mpfr_set_d(x.get(), r.x, MPFR_RNDN);
    for (Bits bits : tested_bits) {
        if (bits + reference_headroom_bits > r.bits) {
            continue;
        }
        // The functions take x rounded to `bits` bits: the references' x must be exact there.
        ++checks;
        if (mpfr_min_prec(x.get()) > static_cast<mpfr_prec_t>(bits) && failures++ < 20) {
            std::printf("FAIL reference x = %.17g is not exact at %u bits\n", r.x, bits);
        }
        BesselPair i = bessel_i01_full_precision(x, bits);
        BesselPair k = bessel_k01_full_precision(x, bits);
        const WorkingValue* pairs[] = {&i.order0, &i.order1, &k.order0, &k.order1};
        for (int f = 0; f < 4; ++f) {
            BesselKind kind = f < 2 ? BesselKind::first : BesselKind::second;
            WorkingValue single = bessel_full_precision(kind, f % 2, x, bits);
            expect_close(names[f], r.x, bits, single, r.values[static_cast<std::size_t>(f)]);
            expect_same(names[f], r.x, bits, *pairs[f], single);
        }
    }
}

// This thread's processor time, in nanoseconds: time spent waiting for a
// processor on a busy machine does not count.
double thread_ns() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

template <class Call>
double ns_per_call(Call&& call) {
    double best = 1e300;
    for (int round = 0; round < 7; ++round) {
        const int count = 500;
        const double start = thread_ns();
        for (int i = 0; i < count; ++i) {
            call();
        }
        best = std::min(best, (thread_ns() - start) / count);
    }
    return best;
}

void print_speed() {
    std::printf("ns per call (processor time), best of 7 rounds of 500\n%6s %6s %10s %10s %10s\n", "bits", "x",
                "K0,K1", "K0", "I0");
    for (Bits bits : {130u, 250u}) {
        for (double xd : {0.1, 1.0, 10.0, 30.0, 50.0, 70.0, 90.0}) {
            WorkingValue x(53);
            mpfr_set_d(x.get(), xd, MPFR_RNDN);
            double pair = ns_per_call([&] { bessel_k01_full_precision(x, bits); });
            double k0 = ns_per_call([&] { bessel_full_precision(BesselKind::second, 0, x, bits); });
            double i0 = ns_per_call([&] { bessel_full_precision(BesselKind::first, 0, x, bits); });
            std::printf("%6u %6g %10.0f %10.0f %10.0f\n", bits, xd, pair, k0, i0);
        }
    }
    std::printf("\ne^x at x = 3.7/3, ns per call\n%6s %12s %10s\n", "bits", "exponential",
                "mpfr_exp");
    for (Bits bits = 64; bits <= 64 * limb_float::max_limbs; bits += 64) {
        WorkingValue x(bits);
        WorkingValue e(bits);
        mpfr_set_d(x.get(), 3.7, MPFR_RNDN);
        mpfr_div_ui(x.get(), x.get(), 3, MPFR_RNDN);
        double ours = ns_per_call([&] { exponential(e, x); });
        double theirs = ns_per_call([&] { mpfr_exp(e.get(), x.get(), MPFR_RNDN); });
        std::printf("%6u %12.0f %10.0f\n", bits, ours, theirs);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s REFERENCES [--speed]\n", argv[0]);
        return 2;
    }
    Py_InitializeEx(0);
    if (argc > 2 && std::strcmp(argv[2], "--speed") == 0) {
        print_speed();
        return 0;
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<Reference> references = read_references(argv[1]);
    for (const Reference& r : references) {
        check_reference(r);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("full-precision Bessel functions, %zu arguments: %ld checks, %ld failures, "
                "largest error %.3f * 2^-P (bound %g), %.1f s\n",
                references.size(), checks, failures, worst_ulps,
                std::ldexp(1.0, full_precision_error_margin_bits), elapsed.count());
    return failures == 0 && !references.empty() ? 0 : 1;
}
