#include "engine/evaluate/box_evaluator.hpp"

#include <acb_hypgeom.h>
#include <arb_hypgeom.h>

#include <algorithm>

#include "engine/program/arb_value.hpp"
#include "engine/evaluate/complex_functions.hpp"
#include "engine/program/function_table.hpp"

namespace {

// Enough bits that boxes a millionth of their distance from the origin wide
// still come out tight; the boxes, not the rounding, set the enclosures' width.
constexpr slong box_prec = 80;

// Cuts crossed in one box beyond which the combinations of sides are not
// worth trying: the box fails instead, and smaller boxes meet fewer cuts.
constexpr unsigned max_crossings = 3;

bool meets_negative_axis(acb_srcptr x) {
    return arb_contains_zero(acb_imagref(x)) && !arb_is_positive(acb_realref(x));
}

// Whether x meets the part of the imaginary axis at |Im| >= 1 (the cuts of
// asinh and atan), or the real axis beyond `left` or `right` (acosh: (-inf, 1];
// atanh: (-inf, -1] and [1, inf)).
bool meets_imaginary_cuts(acb_srcptr x) {
    if (!arb_contains_zero(acb_realref(x))) {
        return false;
    }
    ArbValue magnitude;
    arb_abs(magnitude.get(), acb_imagref(x));
    ArbValue one;
    arb_one(one.get());
    return !arb_lt(magnitude.get(), one.get());
}

bool meets_real_ray_below(acb_srcptr x, slong bound) {
    if (!arb_contains_zero(acb_imagref(x))) {
        return false;
    }
    ArbValue b;
    arb_set_si(b.get(), bound);
    return !arb_gt(acb_realref(x), b.get());
}

bool meets_real_ray_above(acb_srcptr x, slong bound) {
    if (!arb_contains_zero(acb_imagref(x))) {
        return false;
    }
    ArbValue b;
    arb_set_si(b.get(), bound);
    return !arb_lt(acb_realref(x), b.get());
}

// A Bessel function of integer order n over the box x: its value at the
// box's midpoint, widened by the box's radius times a bound on the
// derivative there. Arb's own functions of a wide complex ball are slow and
// overestimate by many orders of magnitude; these bounds follow from the
// integral representations:
//   |K_m(z)| <= K_m(Re z) for Re z > 0 (and K_m falls with Re z),
//   |I_m(z)| <= I_0(|Re z|),  |J_m(z)| <= cosh(Im z),
// with K_n' = -(K_(n-1) + K_(n+1))/2 and the like for I and J. False where
// no such bound holds (K left of the imaginary axis; Y, never bounded here).
bool bessel_over_box(Op op, std::int64_t n, acb_ptr out, acb_srcptr x, bool& unevaluable) {
    if (op == Op::bessely) {
        return false;
    }
    AcbValue middle;
    acb_get_mid(middle.get(), x);
    AcbValue order;
    acb_set_si(order.get(), static_cast<slong>(n));
    ArbValue bound, edge;
    if (op == Op::besselk) {
        arb_get_lbound_arf(arb_midref(edge.get()), acb_realref(x), box_prec);
        if (!(arf_sgn(arb_midref(edge.get())) > 0)) {
            return false;
        }
        ArbValue below, above, m;
        arb_set_si(m.get(), static_cast<slong>(n == 0 ? 1 : n - 1));
        arb_hypgeom_bessel_k(below.get(), m.get(), edge.get(), box_prec);
        arb_set_si(m.get(), static_cast<slong>(n + 1));
        arb_hypgeom_bessel_k(above.get(), m.get(), edge.get(), box_prec);
        arb_add(bound.get(), below.get(), above.get(), box_prec);
        arb_mul_2exp_si(bound.get(), bound.get(), -1);
        acb_hypgeom_bessel_k(out, order.get(), middle.get(), box_prec);
    } else if (op == Op::besseli) {
        ArbValue zero;
        arb_get_abs_ubound_arf(arb_midref(edge.get()), acb_realref(x), box_prec);
        arb_hypgeom_bessel_i(bound.get(), zero.get(), edge.get(), box_prec);
        acb_hypgeom_bessel_i(out, order.get(), middle.get(), box_prec);
    } else {
        arb_get_abs_ubound_arf(arb_midref(edge.get()), acb_imagref(x), box_prec);
        arb_cosh(bound.get(), edge.get(), box_prec);
        acb_hypgeom_bessel_j(out, order.get(), middle.get(), box_prec);
    }
    if (!acb_is_finite(out)) {
        unevaluable = true;  // the middle itself, not the box, defeated the evaluation
        return false;
    }
    // The box's radius times the bound: how far F may move from the middle.
    ArbValue spread;
    acb_get_rad_ubound_arf(arb_midref(spread.get()), x, box_prec);
    arb_mul(spread.get(), spread.get(), bound.get(), box_prec);
    arb_abs(spread.get(), spread.get());
    arb_get_ubound_arf(arb_midref(spread.get()), spread.get(), box_prec);
    mag_zero(arb_radref(spread.get()));
    arb_add_error(acb_realref(out), spread.get());
    arb_add_error(acb_imagref(out), spread.get());
    return acb_is_finite(out);
}

// Whether the enclosure of a sum x + y (or x - y) is wide against its terms:
// more than a thousandth of their size, where a genuine zero's box at the
// finest cells holds its terms to a millionth.
bool loose_sum(acb_srcptr sum, acb_srcptr x, acb_srcptr y) {
    ArfValue width, size, part;
    acb_get_rad_ubound_arf(width.get(), sum, box_prec);
    acb_get_abs_ubound_arf(size.get(), x, box_prec);
    acb_get_abs_ubound_arf(part.get(), y, box_prec);
    arf_add(size.get(), size.get(), part.get(), box_prec, ARF_RND_UP);
    arf_mul_2exp_si(size.get(), size.get(), -10);
    return arf_cmp(width.get(), size.get()) > 0;
}

// Whether a one-operand function is proven analytic at every point of x:
// the inverse functions fail where x meets their cuts; the rest are entire
// or meromorphic, whose poles show as an unbounded result. (The principal
// cut of sqrt and log is crossed on each side's branch instead; neg has none.)
bool unary_cut_free(Op op, acb_srcptr x) {
    if (!is_function(op)) {
        return true;
    }
    switch (function_of(op).cut) {
        case Cut::imaginary_beyond_i: return !meets_imaginary_cuts(x);
        case Cut::real_below_one: return !meets_real_ray_below(x, 1);
        case Cut::real_outside_unit:
            return !meets_real_ray_below(x, -1) && !meets_real_ray_above(x, 1);
        case Cut::negative_axis: return !meets_negative_axis(x);
        case Cut::none: return true;
    }
    return true;
}

// Whether a function's result is known nonzero on the box x without its value.
bool known_nonzero(Op op, acb_srcptr x) {
    if (!is_function(op)) {
        return false;
    }
    switch (function_of(op).zero_free) {
        case ZeroFree::everywhere: return true;
        case ZeroFree::right_half: return arb_is_positive(acb_realref(x));
        case ZeroFree::off_imaginary_axis:
            return arb_is_positive(acb_realref(x)) || arb_is_negative(acb_realref(x));
        case ZeroFree::nowhere: return false;
    }
    return false;
}

// Whether an instruction needs its operands' values whatever is asked of it:
// cuts, branch points, poles and bounds need to know where it is.
bool needs_operands(Op op) {
    if (op == Op::pow) {
        return true;
    }
    if (!is_function(op)) {
        return false;
    }
    const FunctionEntry& f = function_of(op);
    return f.cut != Cut::none || f.poles || f.order;
}

}  // namespace

BoxEvaluator::BoxEvaluator(const Program& program)
    : program_(program), registers_(program.code().size()), constants_(program.constants().size()),
      need_value_(program.code().size(), 0), need_nonzero_(program.code().size(), 0),
      nonzero_(program.code().size(), 0) {
    for (std::size_t j = 0; j < constants_.size(); ++j) {
        arb_set_fmpq(acb_realref(constants_[j].get()), program.constants()[j].get(), box_prec);
    }
    // From the last instruction back: what each one asks of its operands.
    const std::vector<Instruction>& code = program.code();
    for (std::size_t k = code.size(); k-- > 0;) {
        const Instruction& in = code[k];
        const Op op = in.op;
        if (is_leaf(op)) {
            continue;
        }
        const std::size_t a = in.a;
        const bool binary = is_binary(op);
        const std::size_t b = binary ? static_cast<std::size_t>(in.b) : a;
        if (need_value_[k]) {
            need_value_[a] = 1;
            need_value_[b] = 1;
            continue;
        }
        switch (op) {
            case Op::div:
                need_nonzero_[b] = 1;
                if (need_nonzero_[k]) {
                    need_nonzero_[a] = 1;
                }
                break;
            case Op::mul:
                if (need_nonzero_[k]) {
                    need_nonzero_[a] = need_nonzero_[b] = 1;
                }
                break;
            case Op::neg:
                if (need_nonzero_[k]) {
                    need_nonzero_[a] = 1;
                }
                break;
            case Op::powi:
                if (in.b < 0 || need_nonzero_[k]) {
                    need_nonzero_[a] = 1;
                }
                break;
            default:
                if (needs_operands(op)) {
                    need_value_[a] = 1;
                    if (binary) {
                        need_value_[b] = 1;
                    }
                    // Where the function is known zero-free on the right
                    // half (K), its operand's value says so; others: look.
                    if (need_nonzero_[k] && !(is_function(op) &&
                                              function_of(op).zero_free == ZeroFree::right_half)) {
                        need_value_[k] = 1;
                        need_value_[a] = need_value_[b] = 1;
                    }
                } else if (op == Op::exp) {
                    // entire and never zero
                } else if (need_nonzero_[k]) {
                    // A sum, an entire function: only its enclosure can tell.
                    need_value_[k] = 1;
                    need_value_[a] = need_value_[b] = 1;
                }
                break;
        }
    }
    // Functions with poles (tan, tanh, gamma): their own values show them.
    for (std::size_t k = 0; k < code.size(); ++k) {
        if (is_function(code[k].op) && function_of(code[k].op).poles) {
            need_value_[k] = 1;
        }
    }
}

bool BoxEvaluator::run(acb_srcptr box, const double* parameters, unsigned sides,
                       unsigned& crossings) {
    crossings = 0;
    for (std::size_t i = 0; i < registers_.size(); ++i) {
        const Instruction& instruction = program_.code()[i];
        acb_ptr out = registers_[i].get();
        const Op op = instruction.op;
        switch (op) {
            case Op::s: acb_set(out, box); nonzero_[i] = !acb_contains_zero(box); continue;
            case Op::param: acb_set_d(out, parameters[instruction.a]); break;
            case Op::constant: acb_set(out, constants_[instruction.a].get()); break;
            case Op::pi: acb_const_pi(out, box_prec); break;
            case Op::e: acb_one(out); acb_exp(out, out, box_prec); break;
            case Op::euler:
                arb_const_euler(acb_realref(out), box_prec);
                arb_zero(acb_imagref(out));
                break;
            default: break;
        }
        if (is_leaf(op)) {
            nonzero_[i] = !acb_contains_zero(out);
            continue;
        }
        const bool want = need_value_[i] != 0;
        acb_srcptr x = registers_[instruction.a].get();
        const std::size_t a = instruction.a;
        const std::size_t b = static_cast<std::size_t>(instruction.b);
        acb_srcptr y = is_binary(op) ? registers_[b].get() : nullptr;
        bool nonzero = false;
        if (op == Op::sqrt || op == Op::log || op == Op::pow) {
            if (acb_contains_zero(x)) {
                return false;  // the branch point itself
            }
            nonzero = op == Op::sqrt;
            if (!meets_negative_axis(x)) {
                if (op == Op::sqrt) {
                    acb_sqrt(out, x, box_prec);
                } else {
                    acb_log(out, x, box_prec);
                }
            } else {
                // Across the cut: each side's branch, analytic on the whole
                // box, from -x, whose principal functions have no cut there.
                if (crossings == max_crossings) {
                    return false;
                }
                const bool lower = (sides >> crossings & 1U) != 0;
                ++crossings;
                acb_neg(out, x);
                if (op == Op::sqrt) {
                    acb_sqrt(out, out, box_prec);
                    acb_mul_onei(out, out);
                    if (lower) {
                        acb_neg(out, out);
                    }
                } else {
                    acb_log(out, out, box_prec);
                    ArbValue pi;
                    arb_const_pi(pi.get(), box_prec);
                    if (lower) {
                        arb_neg(pi.get(), pi.get());
                    }
                    arb_add(acb_imagref(out), acb_imagref(out), pi.get(), box_prec);
                }
            }
            if (op == Op::pow) {
                acb_mul(out, y, out, box_prec);
                acb_exp(out, out, box_prec);
                nonzero = true;
            }
        } else if (op == Op::div) {
            if (!nonzero_[b]) {
                return false;
            }
            nonzero = nonzero_[a] != 0;
            if (want) {
                acb_div(out, x, y, box_prec);
            }
        } else if (op == Op::mul) {
            nonzero = nonzero_[a] && nonzero_[b];
            if (want) {
                acb_mul(out, x, y, box_prec);
            }
        } else if (op == Op::neg) {
            nonzero = nonzero_[a] != 0;
            if (want) {
                acb_neg(out, x);
            }
        } else if (op == Op::add || op == Op::sub) {
            if (want) {
                (op == Op::add ? acb_add : acb_sub)(out, x, y, box_prec);
                if (need_nonzero_[i] && acb_contains_zero(out) &&
                    loose_sum(out, x, y)) {
                    // A sum whose enclosure holds 0 only by its width against
                    // its terms (Bessel products of R sqrt(s) with a large R)
                    // says nothing of a zero: this box places nothing.
                    unevaluable_ = true;
                }
            }
        } else if (op == Op::powi) {
            if (instruction.b < 0 && !nonzero_[a]) {
                return false;
            }
            nonzero = nonzero_[a] != 0;
            if (want) {
                const ExactInteger exponent(static_cast<slong>(instruction.b));
                acb_pow_fmpz(out, x, exponent.get(), box_prec);
            }
        } else if (is_bessel(op)) {
            if (!unary_cut_free(op, x)) {
                return false;
            }
            nonzero = known_nonzero(op, x);
            if (want && !bessel_over_box(op, instruction.b, out, x, unevaluable_)) {
                return false;
            }
        } else {
            if (!unary_cut_free(op, x)) {
                return false;
            }
            nonzero = known_nonzero(op, x);
            if (want) {
                complex_unary(op, out, x, box_prec);
            }
        }
        if (want) {
            if (!acb_is_finite(out)) {
                return false;
            }
            nonzero = nonzero || !acb_contains_zero(out);
        }
        nonzero_[i] = nonzero;
    }
    return true;
}

bool BoxEvaluator::analytic(acb_srcptr box, const double* parameters) {
    unevaluable_ = false;
    unsigned crossings = 0;
    if (!run(box, parameters, 0, crossings)) {
        return false;
    }
    // Every other combination of sides of the cuts met. A later pass may meet
    // more cuts than the first (a side changes what follows); those count too.
    unsigned needed = crossings;
    for (unsigned sides = 1; sides < (1U << needed); ++sides) {
        unsigned met = 0;
        if (!run(box, parameters, sides, met)) {
            return false;
        }
        needed = std::max(needed, met);
    }
    return true;
}
