// The Bessel functions of a real argument for the engine.
//
// I_0, I_1, K_0 and K_1 come from the project's own series and expansion at
// the working precision (bessel/bessel_full_precision.hpp), within a proven
// relative error of 2^(1 - P): Arb's own K at fixed low precision loses
// every digit for x around 20 to 100, and once its precision is raised far
// enough it costs a hundred times more (measured on the radial-flow samples,
// which sit exactly there). K_n for n >= 2 follows by the upward recurrence
// K_(k+1) = K_(k-1) + (2k/x) K_k, which is stable for K (K grows with k), in
// ball arithmetic. I_n for n >= 2, J_n and Y_n come from Arb.
//
// The result is a ball: the value, with a radius for its own error plus the
// argument's, carried by the logarithmic derivative |x f'(x) / f(x)|, which
// is at most x + n + 1 for I_n and K_n (DLMF 10.29.2: x I_n' = x I_(n+1) +
// n I_n and I_(n+1) <= I_n; x K_n' = -x K_(n-1) - n K_n and K_(n-1) <= K_n).
// The two orders of one argument are made together and kept for the next
// call: an expression like K0(sqrt(s)) / K1(sqrt(s)) asks for both.

#include "engine/evaluate/real_bessel.hpp"

#include <arb_hypgeom.h>

#include <optional>

#include "core/bessel/bessel_full_precision.hpp"
#include "engine/program/arb_bridge.hpp"
#include "engine/program/arb_value.hpp"

namespace {

// The pair last made on this thread, for the argument and precision it was
// made at.
struct PairCache {
    std::optional<WorkingValue> x;
    BesselKind kind = BesselKind::first;
    slong prec = 0;
    std::optional<BesselPair> pair;
};

const BesselPair& pair_at(BesselKind kind, const WorkingValue& x, slong prec) {
    thread_local PairCache cache;
    if (!cache.pair || cache.kind != kind || cache.prec != prec || x.bits() != cache.x->bits() ||
        !equal(x, *cache.x)) {
        const auto bits = static_cast<Bits>(prec);
        cache.pair.emplace(kind == BesselKind::first ? bessel_i01_full_precision(x, bits)
                                                     : bessel_k01_full_precision(x, bits));
        cache.x.emplace(copy_at(x.bits(), x));
        cache.kind = kind;
        cache.prec = prec;
    }
    return *cache.pair;
}

// out = value (1 +- (2^(1-P) + sensitivity |x - argument| / |x|)): the
// function's own error at `argument` (x's midpoint rounded to P bits, exact
// for a double at P >= 53) and the distance from there to any point of x.
// The radius is made in Arb's magnitudes, whose exponents are unbounded like
// the value's: I_0(714) and K_1(1e-320) lie beyond the doubles, K_0(800)
// and 2^(1-P) at P > 1074 below them, and a radius made from a double would
// be infinite (a ball that bounds nothing) or zero (a ball that claims an
// exact value).
void set_ball(arb_ptr out, const WorkingValue& value, arb_srcptr x, const WorkingValue& argument,
              double sensitivity, slong prec) {
    ArbValue distance;
    set_exact_ball(distance.get(), argument);
    arb_sub(distance.get(), x, distance.get(), prec);
    MagValue bound, factor;
    arb_get_mag(bound.get(), distance.get());
    if (!mag_is_zero(bound.get())) {
        // |x| >= its lower bound > 0: served_argument() asked for a positive ball.
        arb_get_mag_lower(factor.get(), x);
        mag_div(bound.get(), bound.get(), factor.get());
        mag_set_d(factor.get(), sensitivity);
        mag_mul(bound.get(), bound.get(), factor.get());
    }
    mag_add_ui_2exp_si(bound.get(), bound.get(), 1, 1 - prec);
    arf_set_mpfr(arb_midref(out), value.get());
    arf_get_mag(arb_radref(out), arb_midref(out));
    mag_mul(arb_radref(out), arb_radref(out), bound.get());
}

bool served_argument(arb_srcptr x) {
    return arb_is_finite(x) && arb_is_positive(x) &&
           arf_cmpabs_2exp_si(arb_midref(x), 29) < 0;
}

}  // namespace

void real_bessel(Op op, unsigned long n, arb_ptr out, arb_srcptr x, slong prec,
                 BesselOrders orders) {
    const bool own = (op == Op::besselk || (op == Op::besseli && n <= 1)) && served_argument(x);
    if (!own) {
        ArbValue order;
        arb_set_ui(order.get(), n);
        switch (op) {
            case Op::besseli: arb_hypgeom_bessel_i(out, order.get(), x, prec); break;
            case Op::besselk: arb_hypgeom_bessel_k(out, order.get(), x, prec); break;
            case Op::besselj: arb_hypgeom_bessel_j(out, order.get(), x, prec); break;
            default: arb_hypgeom_bessel_y(out, order.get(), x, prec); break;
        }
        return;
    }
    WorkingValue argument(static_cast<Bits>(prec));
    set_midpoint(argument, x);
    const BesselKind kind = op == Op::besseli ? BesselKind::first : BesselKind::second;
    const double x_double = to_double(argument);
    if (n <= 1 && orders == BesselOrders::one) {
        const WorkingValue value =
            bessel_full_precision(kind, static_cast<unsigned>(n), argument, static_cast<Bits>(prec));
        set_ball(out, value, x, argument, 2 * (x_double + static_cast<double>(n) + 1), prec);
        return;
    }
    const BesselPair& pair = pair_at(kind, argument, prec);
    if (n <= 1) {
        set_ball(out, n == 0 ? pair.order0 : pair.order1, x, argument,
                 2 * (x_double + static_cast<double>(n) + 1), prec);
        return;
    }
    // K_(k+1) = K_(k-1) + (2k / x) K_k, k = 1 ... n-1, in balls.
    ArbValue previous, current, step;
    set_ball(previous.get(), pair.order0, x, argument, 2 * (x_double + 1), prec);
    set_ball(current.get(), pair.order1, x, argument, 2 * (x_double + 2), prec);
    for (unsigned long k = 1; k < n; ++k) {
        arb_mul_ui(step.get(), current.get(), 2 * k, prec);
        arb_div(step.get(), step.get(), x, prec);
        arb_add(step.get(), step.get(), previous.get(), prec);
        arb_swap(previous.get(), current.get());
        arb_swap(current.get(), step.get());
    }
    arb_set(out, current.get());
}
