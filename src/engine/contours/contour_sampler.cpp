#include "engine/contours/contour_sampler.hpp"

#include <algorithm>

#include "engine/evaluate/evaluation_constants.hpp"

namespace {

// As for real samples: guard bits, then raises by the shortfall plus a
// margin, a few at most, under a cap.
using evaluation::guard_bits;
using evaluation::max_raises;
using evaluation::precision_cap;
using evaluation::raise_margin_bits;
// The most extra precision a sampler starts its samples at after a raise: a
// node whose F needed far more (near a singularity) says little of the rest.
slong most_learned_bits(Bits bits) { return static_cast<slong>(bits) / 4 + 64; }

// A choice at least this ambiguous (the nearer branch more than half as far
// as the other) is not trusted: the nodes are too far apart there, and the
// walk takes intermediate steps. Ten halvings bound the extra evaluations.
constexpr double trusted_ambiguity = 0.5;
constexpr int max_refinements = 10;

// s = its own midpoint, exactly, for a sample at a raised precision. The
// node is then made again from its parameter, whose ball (from the rule's
// nodes, made at P + 16 bits) keeps a radius of about 2^-(P + 16) relative
// that no raise narrows: it would cap the sample's accuracy where F is
// sensitive to s (I_1(R sqrt(s)) with R = 10^4 spends 20 bits), and
// functions that Arb sums as series in ball arithmetic turn it into far
// more: K_0(z) at |z| ~ 30 to 60 grows it by e^(2|z|), and the
// bounded-reservoir models would get no digit at any precision. The
// midpoint lies within that distance of the node, as the rules' own exact
// nodes do (contour_point.cpp), which moves the quadrature far below P
// bits. The first sample keeps the ball it is handed, whose radius is the
// division by t's rounding at P bits: a node moved that far could cost F's
// sensitivity times 2^-P, which the ball then still bounds.
void make_exact(acb_ptr s) {
    mag_zero(arb_radref(acb_realref(s)));
    mag_zero(arb_radref(acb_imagref(s)));
}

}  // namespace

ContourSampler::ContourSampler(const Program& program, Bits bits)
    : evaluator_(program), tracker_(program), bits_(bits) {}

void ContourSampler::start(const double* parameters) {
    parameters_ = parameters;
    tracker_.restart();
    started_ = false;
}

acb_srcptr ContourSampler::evaluate(const Contour& contour, arb_srcptr p, acb_srcptr s,
                                    slong& accuracy, double& ambiguity) {
    const slong wanted = static_cast<slong>(bits_);
    slong prec = wanted + guard_bits + learned_bits_;
    if (s != nullptr) {
        acb_set(point_.get(), s);
    } else {
        contour.point(point_.get(), p, prec);
    }
    acb_srcptr value = evaluator_.evaluate(point_.get(), parameters_, prec, tracker_, ambiguity);
    accuracy = acb_rel_accuracy_bits(value);
    int raise = 0;
    for (; raise < max_raises && accuracy < wanted; ++raise) {
        prec += (accuracy > 0 ? wanted - accuracy : wanted) + raise_margin_bits;
        if (prec > precision_cap(bits_)) {
            break;
        }
        // The node again at the raised precision: the one handed in was made
        // at the working precision only.
        contour.point(point_.get(), p, prec);
        make_exact(point_.get());
        value = evaluator_.evaluate(point_.get(), parameters_, prec, tracker_, ambiguity);
        accuracy = acb_rel_accuracy_bits(value);
    }
    if (raise > 0 && accuracy >= wanted) {
        // Neighbouring nodes lose about as many bits inside F (Arb's Bessel
        // functions of complex argument lose tens): the next starts where
        // this one ended, one evaluation instead of two.
        learned_bits_ = std::min(prec - wanted - guard_bits, most_learned_bits(bits_));
    }
    return value;
}

acb_srcptr ContourSampler::advance(const Contour& contour, arb_srcptr from, arb_srcptr to,
                                   acb_srcptr s, int depth, slong& accuracy) {
    double ambiguity = 0;
    acb_srcptr value = evaluate(contour, to, s, accuracy, ambiguity);
    if (ambiguity > trusted_ambiguity && depth < max_refinements) {
        ArbValue middle;
        arb_add(middle.get(), from, to, static_cast<slong>(bits_) + guard_bits);
        arb_mul_2exp_si(middle.get(), middle.get(), -1);
        advance(contour, from, middle.get(), nullptr, depth + 1, accuracy);
        value = advance(contour, middle.get(), to, s, depth + 1, accuracy);
        return value;
    }
    evaluator_.commit(tracker_);
    return value;
}

acb_srcptr ContourSampler::next(const Contour& contour, arb_srcptr p, acb_srcptr s,
                                slong& accuracy) {
    acb_srcptr value = nullptr;
    if (!started_) {
        double ambiguity = 0;
        value = evaluate(contour, p, s, accuracy, ambiguity);
        evaluator_.commit(tracker_);
        started_ = true;
    } else {
        value = advance(contour, last_.get(), p, s, 0, accuracy);
    }
    arb_set(last_.get(), p);
    return value;
}
