// Differential check against MPFR of the exact arithmetic that replaces MPFR
// calls in the hot loops: every limb_float operation (src/core/limb/limb_float.hpp,
// limb_division.hpp) at every precision the bridge serves, on operands
// chosen to hit carries, ties, cancellations and exponent gaps around the
// precision, and exponential() (src/core/limb/exponential.cpp) against mpfr_exp
// at every precision it serves and beyond. The Python tests see these only
// through a double, which hides most single-bit differences at the series
// precision; this sees every bit.
//
//   check_exact_arithmetic [--quick]
//
// The full sweep makes 20000 rounds of operations per precision; --quick
// makes 1000, enough to catch a rounding rule broken at some precision
// within seconds. Prints the number of checks and failures and the time
// taken; exits 1 on any failure.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "engine/bessel/double_word.hpp"
#include "core/limb/exponential.hpp"
#include "core/limb/limb_bridge.hpp"
#include "core/limb/limb_division.hpp"
#include "core/limb/limb_double.hpp"
#include "core/limb/limb_quotient.hpp"

namespace {

using namespace limb_float;

std::mt19937_64 rng(12345);
long checks = 0;
long failures = 0;

// A random regular value of `bits` bits with structured significands: random,
// nearly all ones (carries), sparse limbs (exact cases), thinned, or a few
// single bits (ties and sticky bits decided by one bit far below).
void random_value(WorkingValue& v, Bits bits, long emin, long emax) {
    int n = limbs_for(bits);
    std::vector<mp_limb_t> limbs(static_cast<std::size_t>(n));
    int style = static_cast<int>(rng() % 5);
    for (auto& limb : limbs) {
        if (style == 0) {
            limb = rng();
        } else if (style == 1) {
            limb = ~0ULL ^ ((rng() % 8 == 0) ? (1ULL << (rng() % 64)) : 0);
        } else if (style == 2) {
            limb = (rng() % 3 == 0) ? rng() : 0;
        } else if (style == 3) {
            limb = rng() & rng();
        } else {
            limb = 0;
        }
    }
    if (style == 4) {
        for (int i = static_cast<int>(rng() % 3); i >= 0; --i) {
            std::size_t bit = rng() % (64 * limbs.size());
            limbs[bit / 64] |= 1ULL << (bit % 64);
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

// 2^e - 2^(e - bits): every bit of the significand set.
void all_ones(WorkingValue& v, Bits bits, long e) {
    std::vector<mp_limb_t> limbs(static_cast<std::size_t>(limbs_for(bits)), ~0ULL);
    int unused = static_cast<int>(limbs.size()) * 64 - static_cast<int>(bits);
    if (unused > 0) {
        limbs.front() &= ~((1ULL << unused) - 1);
    }
    set_significand(v, limbs.data(), limbs.size(), e, false);
}

// 2^(e-1) + 2^(e-1-j) for a random 1 <= j < bits (2^(e-1) alone at one bit).
void two_bits(WorkingValue& v, Bits bits, long e) {
    std::vector<mp_limb_t> limbs(static_cast<std::size_t>(limbs_for(bits)), 0);
    limbs.back() = 1ULL << 63;
    if (bits > 1) {
        std::size_t bit = limbs.size() * 64 - 1 - (1 + rng() % (bits - 1));
        limbs[bit / 64] |= 1ULL << (bit % 64);
    }
    set_significand(v, limbs.data(), limbs.size(), e, false);
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

// The values one round works on, all at the precision checked.
struct Operands {
    explicit Operands(Bits bits_) : bits(bits_), a(bits), b(bits), c(bits), r(bits), t(bits) {}
    Bits bits;
    WorkingValue a, b, c, r, t;
};

// Sums of a with: a random b, a nearly opposite b (deep cancellation, exact
// zero), b at exponent gaps around the precision (both orders), and a carry
// out of an all-ones significand with a two-bit addend at any gap, where the
// one bit the carry pushes out below can alone break a tie.
template <int N>
void check_sums(Operands& o, const Format& f) {
    const Value<N> la = *import_value<N>(o.a);
    add(o.r, o.a, o.b);
    expect("add", o.r, limb_float::add<N>(la, *import_value<N>(o.b), f), o.bits);

    set(o.c, o.a);
    if (rng() % 2 != 0) {
        neg(o.c, o.c);
    }
    random_value(o.t, o.bits, -300, -200);
    mpfr_mul_2si(o.t.get(), o.t.get(), mpfr_get_exp(o.a.get()), MPFR_RNDN);
    if (rng() % 4 != 0) {
        add(o.c, o.c, o.t);
    }
    add(o.r, o.a, o.c);
    expect("add, cancelling", o.r, limb_float::add<N>(la, *import_value<N>(o.c), f), o.bits);

    random_value(o.c, o.bits, 0, 0);
    mpfr_set_exp(o.c.get(), mpfr_get_exp(o.a.get()) - static_cast<long>(o.bits - 3 + rng() % 8));
    const Value<N> lc = *import_value<N>(o.c);
    add(o.r, o.a, o.c);
    expect("add, gap", o.r, limb_float::add<N>(la, lc, f), o.bits);
    add(o.r, o.c, o.a);
    expect("add, gap reversed", o.r, limb_float::add<N>(lc, la, f), o.bits);

    all_ones(o.t, o.bits, mpfr_get_exp(o.a.get()));
    two_bits(o.c, o.bits, mpfr_get_exp(o.a.get()) - 1 - static_cast<long>(rng() % (o.bits + 1)));
    add(o.r, o.t, o.c);
    expect("add, carry", o.r,
           limb_float::add<N>(*import_value<N>(o.t), *import_value<N>(o.c), f), o.bits);
}

// Products and quotients of a by integers: any below 2^64, any below 2^40,
// and k^2, k(k+1) and k for k on both sides of the reciprocal tables' end.
template <int N>
void check_integer_operations(Operands& o, const Format& f) {
    const Value<N> la = *import_value<N>(o.a);
    Limb u = rng() >> (rng() % 64);
    u = u == 0 ? 1 : u;
    bool flip = rng() % 2 != 0;
    mul_ui(o.r, o.a, u);
    if (flip) {
        neg(o.r, o.r);
    }
    expect("mul_integer", o.r, mul_integer<N>(la, u, flip, f), o.bits);

    Limb d = rng() >> (24 + rng() % 40);  // below 2^40
    d = d == 0 ? 1 : d;
    div_ui(o.r, o.a, d);
    expect("div_integer", o.r, div_integer<N>(la, Divisor<N>(d), f), o.bits);
    Limb k = 1 + rng() % (table_size + 200);
    div_ui(o.r, o.a, k * k);
    expect("div_integer k^2", o.r, div_integer<N>(la, divisor_square<N>(k), f), o.bits);
    div_ui(o.r, o.a, k * (k + 1));
    expect("div_integer k(k+1)", o.r, div_integer<N>(la, divisor_pronic<N>(k), f), o.bits);
    div_ui(o.r, o.a, k);
    expect("div_integer k", o.r, div_integer<N>(la, divisor_index<N>(k), f), o.bits);
}

// The GWR core's operations (limb_quotient.hpp): an integer divided by a, and
// a product rounded to one limb fewer (its precision 64 bits below a's).
template <int N>
void check_gwr_operations(Operands& o, const Format& f) {
    const Value<N> la = *import_value<N>(o.a);
    const Limb u = 1 + rng() % (Limb{1} << (1 + rng() % 40));
    WorkingValue numerator(64);
    set_ui(numerator, u);
    div(o.r, numerator, o.a);
    expect("divide_into", o.r, divide_into<N>(u, la, f), o.bits);
    if constexpr (N >= 2) {
        const Bits shorter = o.bits > 64 ? o.bits - 64 : 1;
        WorkingValue product(shorter);
        mul(product, o.a, o.b);
        expect("mul_into", product,
               mul_into<N - 1, N>(la, *import_value<N>(o.b), Format(static_cast<int>(shorter), N - 1)),
               shorter);
    }
}

// round_integer against setting the integer, and greater_abs against mpfr_cmpabs.
template <int N>
void check_rounding_and_comparison(Operands& o) {
    Limb w = rng() >> (1 + rng() % 63);  // below 2^63
    if (w != 0) {
        set_ui(o.r, w);
        WorkingValue rounded(64);
        set_ui(rounded, round_integer(w, static_cast<int>(o.bits)));
        ++checks;
        if (mpfr_cmp(rounded.get(), o.r.get()) != 0 && failures++ < 10) {
            std::printf("FAIL round_integer at %u bits: %lu\n", o.bits,
                        static_cast<unsigned long>(w));
        }
    }
    ++checks;
    const bool greater = limb_float::greater_abs<N>(*import_value<N>(o.a), *import_value<N>(o.b));
    if (greater != (mpfr_cmpabs(o.a.get(), o.b.get()) > 0) && failures++ < 10) {
        std::printf("FAIL greater_abs at %u bits\n", o.bits);
    }
}

template <int N>
void run(Bits bits, int rounds) {
    const Format f(static_cast<int>(bits), N);
    Operands o(bits);
    for (int it = 0; it < rounds; ++it) {
        random_value(o.a, bits, -20, 20);
        random_value(o.b, bits, -20, 20);
        mul(o.r, o.a, o.b);
        expect("mul", o.r, limb_float::mul<N>(*import_value<N>(o.a), *import_value<N>(o.b), f), bits);
        check_sums<N>(o, f);
        check_integer_operations<N>(o, f);
        check_gwr_operations<N>(o, f);
        check_rounding_and_comparison<N>(o);
    }
}

// Arguments of every sign and of exponent -70 ... 12 (both sides of the
// range served without mpfr_exp), with full-width significands, and integers.
void check_exponential(Bits bits, int rounds) {
    WorkingValue x(bits), expected(bits), got(bits), t(bits);
    for (int it = 0; it < rounds; ++it) {
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

// A random double word: hi of every significand style above at exponents
// -60 ... 60, lo a random fraction of half a unit of hi (or 0).
DoubleWord random_word(WorkingValue& scratch) {
    random_value(scratch, 53, -60, 60);
    if (rng() % 2 == 0) {
        neg(scratch, scratch);
    }
    const double hi = to_double(scratch);
    random_value(scratch, 53, -60, 60);
    const double fraction = std::ldexp(to_double(scratch), -static_cast<int>(rng() % 60));
    const double lo = rng() % 8 == 0 ? 0.0 : std::ldexp(std::fabs(fraction) * 0.5, std::ilogb(hi) - 52);
    return double_word::two_sum(hi, rng() % 2 == 0 ? lo : -lo);
}

// The double words' sums and quotients k / y against MPFR at 400 bits: each
// relative error within the published bounds (double_word.hpp), which are
// what the rho table of double samples relies on, with near-cancelling sums
// among the operands.
void check_double_words(int rounds) {
    WorkingValue x(400), y(400), exact(400), got(400), scratch(53);
    double worst_sum = 0;
    double worst_quotient = 0;
    auto relative = [&](const DoubleWord& w) {
        set_d(got, w.hi);
        WorkingValue lo(53);
        set_d(lo, w.lo);
        add(got, got, lo);
        if (is_zero(exact)) {
            return is_zero(got) ? 0.0 : 1.0;
        }
        sub(got, got, exact);
        div(got, got, exact);
        return std::fabs(to_double(got));
    };
    for (int it = 0; it < rounds; ++it) {
        DoubleWord a = random_word(scratch);
        DoubleWord b = random_word(scratch);
        if (rng() % 4 == 0) {  // nearly equal: the rho table's differences
            b = double_word::two_sum(-a.hi, -a.lo * std::ldexp(1.0, -static_cast<int>(rng() % 40)));
        }
        set_d(x, a.hi);
        set_d(exact, a.lo);
        add(x, x, exact);
        set_d(y, b.hi);
        set_d(exact, b.lo);
        add(y, y, exact);
        add(exact, x, y);
        worst_sum = std::max(worst_sum, relative(double_word::add(a, b)));
        if (b.hi != 0) {
            const std::uint64_t k = 1 + rng() % 64;
            set_ui(exact, k);
            div(exact, exact, y);
            worst_quotient = std::max(worst_quotient, relative(double_word::divide_into(static_cast<double>(k), b)));
        }
        checks += 2;
    }
    constexpr double u = 0x1p-53;
    if (worst_sum > 3 * u * u + 13 * u * u * u && failures++ < 10) {
        std::printf("FAIL double-word sum: relative error %g\n", worst_sum);
    }
    if (worst_quotient > 15 * u * u + 56 * u * u * u && failures++ < 10) {
        std::printf("FAIL double-word quotient: relative error %g\n", worst_quotient);
    }
}

// limb_float::from_double is exact and to_double rounds as mpfr_get_d does,
// wherever it gives a double, at every size.
template <int N>
void check_double_conversions(Bits bits, int rounds) {
    WorkingValue v(bits), back(bits);
    for (int it = 0; it < rounds; ++it) {
        random_value(v, bits, -1100, 1100);
        if (rng() % 2 == 0) {
            neg(v, v);
        }
        const std::optional<double> d = limb_float::to_double(*import_value<N>(v));
        const double expected = to_double(v);
        // Nothing is given only at the ends of the range.
        const bool inside = exponent(v) >= -1020 && exponent(v) <= 1023;
        ++checks;
        if ((d ? *d != expected : inside) && failures++ < 10) {
            mpfr_printf("FAIL to_double at %u bits: %Ra\n", bits, v.get());
        }
        const double y = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 2060) - 1100);
        export_value(back, limb_float::from_double<N>(y));
        ++checks;
        if (to_double(back) != y && failures++ < 10) {
            std::printf("FAIL from_double at %u bits: %a\n", bits, y);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int rounds = quick ? 1000 : 20000;
    const auto start = std::chrono::steady_clock::now();
    constexpr Bits served_bits = 64 * max_limbs;
    for (Bits bits = 1; bits <= served_bits; ++bits) {
        with_limbs(bits, [&](auto limbs) { run<decltype(limbs)::value>(bits, rounds); });
    }
    for (Bits bits = 53; bits <= served_bits; ++bits) {
        with_limbs(bits, [&](auto limbs) { check_double_conversions<decltype(limbs)::value>(bits, rounds / 5); });
    }
    check_double_words(rounds * 50);
    // On past the fixed sizes: exponential() hands over to mpfr_exp below them.
    for (Bits bits = 1; bits <= served_bits + 44; ++bits) {
        check_exponential(bits, rounds / 5);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("exact arithmetic, %s sweep, 1 to %u bits: %ld checks, %ld failures, %.1f s\n",
                quick ? "quick" : "full", served_bits, checks, failures, elapsed.count());
    return failures == 0 ? 0 : 1;
}
