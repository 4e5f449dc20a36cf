// Differential check against MPFR of the exact arithmetic the Bessel
// functions use instead of MPFR calls: every limb_float operation
// (src/bessel/limb_float.hpp) at every precision from 1 to 256 bits, on
// operands chosen to hit carries, ties, cancellations and exponent gaps around
// the precision, and exponential() (src/bessel/exponential.cpp) against
// mpfr_exp from 1 to 300 bits. The Python tests see these only through a
// double, which hides most single-bit differences at the series precision;
// this sees every bit.
//
//   g++ -std=c++23 -O2 -Isrc bench/check_exact_arithmetic.cpp src/bessel/exponential.cpp
//       src/precision/working_value.cpp -lmpfr -lgmp -o /tmp/check && /tmp/check
//
// Prints the number of checks and failures; exits 1 on any failure.

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "bessel/exponential.hpp"
#include "bessel/limb_division.hpp"
#include "bessel/limb_float.hpp"
#include "failure/internal_failure.hpp"

[[noreturn]] void internal_failure(std::string message, std::source_location) {
    throw InternalFailure(std::move(message));
}

namespace {

using namespace limb_float;

std::mt19937_64 rng(12345);
long checks = 0;
long failures = 0;

// A random regular value of `bits` bits with structured significands: random,
// nearly all ones (carries), sparse (exact cases) or thinned.
void random_value(WorkingValue& v, Bits bits, long emin, long emax) {
    int n = limbs_for(bits);
    std::vector<mp_limb_t> limbs(static_cast<std::size_t>(n));
    int style = static_cast<int>(rng() % 4);
    for (auto& limb : limbs) {
        if (style == 0) {
            limb = rng();
        } else if (style == 1) {
            limb = ~0ULL ^ ((rng() % 8 == 0) ? (1ULL << (rng() % 64)) : 0);
        } else if (style == 2) {
            limb = (rng() % 3 == 0) ? rng() : 0;
        } else {
            limb = rng() & rng();
        }
    }
    limbs.back() |= 1ULL << 63;
    int unused = n * 64 - static_cast<int>(bits);
    if (unused > 0) {
        limbs.front() &= ~((1ULL << unused) - 1);
    }
    long e = emin + static_cast<long>(rng() % static_cast<unsigned long>(emax - emin + 1));
    set_significand(v, limbs.data(), limbs.size(), e, rng() % 2 != 0);
}

template <int N>
void expect(const char* what, const WorkingValue& mpfr_result, const Value<N>& ours, Bits bits) {
    WorkingValue got(bits);
    export_value(got, ours);
    ++checks;
    bool same = mpfr_equal_p(mpfr_result.get(), got.get()) != 0 &&
                mpfr_signbit(mpfr_result.get()) == mpfr_signbit(got.get());
    if (!same && failures++ < 10) {
        mpfr_printf("FAIL %s at %u bits: expected %Ra, got %Ra\n", what, bits, mpfr_result.get(),
                    got.get());
    }
}

template <int N>
void run(Bits bits) {
    Format f(static_cast<int>(bits), N);
    WorkingValue a(bits), b(bits), r(bits), t(bits);
    for (int it = 0; it < 20000; ++it) {
        random_value(a, bits, -20, 20);
        random_value(b, bits, -20, 20);
        Value<N> la = *import_value<N>(a);
        Value<N> lb = *import_value<N>(b);
        mul(r, a, b);
        expect("mul", r, limb_float::mul<N>(la, lb, f), bits);
        add(r, a, b);
        expect("add", r, limb_float::add<N>(la, lb, f), bits);

        // Nearly equal magnitudes: deep cancellation, exact zero.
        set(b, a);
        if (rng() % 2 != 0) {
            neg(b, b);
        }
        random_value(t, bits, -300, -200);
        mpfr_mul_2si(t.get(), t.get(), mpfr_get_exp(a.get()), MPFR_RNDN);
        if (rng() % 4 != 0) {
            add(b, b, t);
        }
        lb = *import_value<N>(b);
        add(r, a, b);
        expect("add, cancelling", r, limb_float::add<N>(la, lb, f), bits);

        // Exponent gaps around the precision, both orders.
        random_value(b, bits, 0, 0);
        mpfr_set_exp(b.get(), mpfr_get_exp(a.get()) - static_cast<long>(bits - 3 + rng() % 8));
        lb = *import_value<N>(b);
        add(r, a, b);
        expect("add, gap", r, limb_float::add<N>(la, lb, f), bits);
        add(r, b, a);
        expect("add, gap reversed", r, limb_float::add<N>(lb, la, f), bits);

        Limb u = rng() >> (rng() % 64);
        u = u == 0 ? 1 : u;
        bool flip = rng() % 2 != 0;
        mul_ui(r, a, u);
        if (flip) {
            neg(r, r);
        }
        expect("mul_integer", r, mul_integer<N>(la, u, flip, f), bits);

        Limb d = rng() >> (24 + rng() % 40);  // below 2^40
        d = d == 0 ? 1 : d;
        div_ui(r, a, d);
        expect("div_integer", r, div_integer<N>(la, Divisor<N>(d), f), bits);
        Limb k = 1 + rng() % 300;
        div_ui(r, a, k * k);
        expect("div_integer k^2", r, div_integer<N>(la, divisor_square<N>(k), f), bits);
        div_ui(r, a, k * (k + 1));
        expect("div_integer k(k+1)", r, div_integer<N>(la, divisor_pronic<N>(k), f), bits);
        div_ui(r, a, k);
        expect("div_integer k", r, div_integer<N>(la, divisor_index<N>(k), f), bits);

        Limb w = rng() >> (1 + rng() % 63);  // below 2^63
        if (w != 0) {
            set_ui(r, w);
            WorkingValue rounded(64);
            set_ui(rounded, round_integer(w, static_cast<int>(bits)));
            ++checks;
            if (mpfr_cmp(rounded.get(), r.get()) != 0 && failures++ < 10) {
                std::printf("FAIL round_integer at %u bits: %lu\n", bits, static_cast<unsigned long>(w));
            }
        }

        ++checks;
        if (limb_float::greater_abs<N>(la, lb) != (mpfr_cmpabs(a.get(), b.get()) > 0) && failures++ < 10) {
            std::printf("FAIL greater_abs at %u bits\n", bits);
        }
    }
}

// Arguments of every sign and of exponent -70 ... 12 (both sides of the
// range served without mpfr_exp), with full-width significands, and integers.
void check_exponential(Bits bits) {
    WorkingValue x(bits), expected(bits), got(bits), t(bits);
    for (int it = 0; it < 4000; ++it) {
        double magnitude = std::ldexp(0.5 + static_cast<double>(rng() % 1000000) / 2e6,
                                      static_cast<int>(rng() % 83) - 70);
        set_d(x, rng() % 2 != 0 ? -magnitude : magnitude);
        if (bits > 53) {
            set_ui(t, rng());
            mpfr_mul_2si(t.get(), t.get(),
                         mpfr_get_exp(x.get()) - 60 - static_cast<long>(rng() % (bits - 50)), MPFR_RNDN);
            add(x, x, t);
        }
        if (rng() % 50 == 0) {
            set_si(x, static_cast<long>(rng() % 2000) - 1000);
        }
        exp(expected, x);
        exponential(got, x);
        ++checks;
        if (mpfr_equal_p(expected.get(), got.get()) == 0 && failures++ < 10) {
            mpfr_printf("FAIL exponential at %u bits: x = %Ra\n", bits, x.get());
        }
    }
}

}  // namespace

int main() {
    for (Bits bits = 1; bits <= 256; ++bits) {
        with_limbs(bits, [&](auto limbs) { run<decltype(limbs)::value>(bits); });
    }
    for (Bits bits = 1; bits <= 300; ++bits) {
        check_exponential(bits);
    }
    std::printf("%ld checks, %ld failures\n", checks, failures);
    return failures == 0 ? 0 : 1;
}
