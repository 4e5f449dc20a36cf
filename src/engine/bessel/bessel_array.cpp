// Correct rounding by Ziv's strategy: the value is computed as a ball at some
// precision; when every point of the ball rounds to the same double, that
// double is the correctly rounded value (the exact value is in the ball);
// otherwise the precision doubles and the value is computed again. The
// exact value of I or K at a double x > 0 is transcendental, never a
// midpoint between two doubles, so the loop ends; the cap only bounds the
// cost of pathological cases, which then get the nearest double of the
// last ball's midpoint.

#include "engine/bessel/bessel_array.hpp"

#include <charconv>
#include <cmath>
#include <limits>

#include "engine/program/arb_bridge.hpp"
#include "engine/program/arb_value.hpp"
#include "engine/bessel/fast_bessel.hpp"
#include "engine/evaluate/real_bessel.hpp"
#include "engine/evaluate/thread_caches.hpp"
#include "core/precision/precision_rules.hpp"

namespace {

constexpr slong first_ziv_bits = 64;
constexpr slong last_ziv_bits = slong{1} << 16;

// The values at x = 0, +-inf and NaN, and K of a negative x, which has no
// real value: none needs a ball.
bool special_value(BesselFamily family, double n, double x, double& out) {
    const double inf = std::numeric_limits<double>::infinity();
    if (std::isnan(x)) {
        out = x;
        return true;
    }
    if (family == BesselFamily::second_kind) {
        if (x < 0) {
            out = std::numeric_limits<double>::quiet_NaN();
        } else if (x == 0) {
            out = inf;
        } else if (std::isinf(x)) {
            out = 0.0;
        } else {
            return false;
        }
        return true;
    }
    if (x == 0) {
        out = n == 0 ? 1.0 : 0.0;
        return true;
    }
    if (std::isinf(x)) {
        // I_n(-inf) = (-1)^n inf
        out = x > 0 || std::fmod(n, 2.0) == 0 ? inf : -inf;
        return true;
    }
    return false;
}

// The ball of I_n(|x|) or K_n(x) at `prec` bits; for I at x < 0 the sign
// (-1)^n is applied by the caller.
void ball(BesselFamily family, double n, double x, slong prec, arb_ptr out) {
    ArbValue argument;
    arb_set_d(argument.get(), std::fabs(x));
    const Op op = family == BesselFamily::first_kind ? Op::besseli : Op::besselk;
    real_bessel(op, static_cast<unsigned long>(n), out, argument.get(), prec, BesselOrders::one);
}

double correctly_rounded(BesselFamily family, double n, double x) {
    ArbValue value;
    ArfValue low, high;
    double nearest = 0;
    for (slong prec = first_ziv_bits; prec <= last_ziv_bits; prec *= 2) {
        ball(family, n, x, prec, value.get());
        if (!arb_is_finite(value.get())) {
            continue;  // not even a bound yet: more precision
        }
        arb_get_lbound_arf(low.get(), value.get(), prec);
        arb_get_ubound_arf(high.get(), value.get(), prec);
        const double below = arf_get_d(low.get(), ARF_RND_NEAR);
        nearest = arf_get_d(arb_midref(value.get()), ARF_RND_NEAR);
        if (below == arf_get_d(high.get(), ARF_RND_NEAR)) {
            return below;
        }
    }
    return nearest;
}

// The shortest decimal text that reads back as exactly this double.
std::string shortest_text(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

class BesselTask final : public WorkerTask {
public:
    BesselTask(const BesselJob& job, double* out, std::string* texts, std::size_t text_digits)
        : job_(job), out_(out), texts_(texts), text_digits_(text_digits) {}

    void run(std::size_t i) override {
        const double n = job_.n[i];
        const double x = job_.x[i];
        double value = 0;
        if (special_value(job_.family, n, x, value)) {
            out_[i] = value;
            if (texts_ != nullptr) {
                texts_[i] = shortest_text(value);
            }
            return;
        }
        const bool flip = job_.family == BesselFamily::first_kind && x < 0 && std::fmod(n, 2.0) != 0;
        if (job_.digits == 0) {
            if (!job_.fast_pass || !fast_correctly_rounded(job_.family, n, std::fabs(x), value)) {
                value = correctly_rounded(job_.family, n, x);
                if (job_.exact_points != nullptr) {
                    job_.exact_points->fetch_add(1, std::memory_order_relaxed);
                }
            }
        } else {
            const Bits bits = digits_to_bits(job_.digits);
            ArbValue ball_value;
            ball(job_.family, n, x, static_cast<slong>(bits), ball_value.get());
            WorkingValue middle(bits);
            set_midpoint(middle, ball_value.get());
            if (flip) {
                neg(middle, middle);
            }
            if (texts_ != nullptr) {
                texts_[i] = decimal_text(middle, text_digits_);
            }
            out_[i] = to_double(middle);
            return;
        }
        out_[i] = flip ? -value : value;
        if (texts_ != nullptr) {
            texts_[i] = shortest_text(out_[i]);
        }
    }

private:
    const BesselJob& job_;
    double* out_;
    std::string* texts_;
    std::size_t text_digits_;
};

}  // namespace

void bessel_array(const BesselJob& job, double* out, std::string* texts, std::size_t text_digits,
                  JobControl& control) {
    run_on_workers(job.count, job.workers, control, [&] {
        return std::make_unique<BesselTask>(job, out, texts, text_digits);
    });
}
