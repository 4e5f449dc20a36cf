#pragma once
// Whether F's rightmost singularity is essential in the way that makes f
// oscillate: e^(-a/(s - sigma)), whose inverse is a Bessel J of 2 sqrt(a t)
// (e^(-1/s)/s is J0(2 sqrt t)). No Python header.

#include <optional>
#include <vector>

#include "engine/evaluate/branch_tracker.hpp"
#include "engine/evaluate/complex_evaluator.hpp"
#include "engine/program/program.hpp"

// On the real axis such an F falls to nought faster than any power as s
// nears sigma, and the real-axis methods' samples at k ln2 / t see only
// that: at t = 3000 every GWR sample of e^(-1/s)/s is below e^-100 and its
// value came out as 0 with an estimate of 3e-29, where f = -0.028. The
// scan cannot tell this singularity from a branch point (both leave a box
// around sigma unproven). What does tell it: up and to the left of sigma,
// |F| grows like e^(0.7 a / |s - sigma|), faster and faster as s nears
// sigma, where a branch point, a pole or a logarithm changes |F| by a
// bounded factor between the directions, and e^(-a sqrt(s)) (diffusion) by
// a factor that shrinks near sigma.
class EssentialSingularityProbe {
public:
    explicit EssentialSingularityProbe(const Program& program);

    // Where, at the scale of time t (the real-axis methods' first sample,
    // ln2/t right of sigma), F grows towards sigma up the diagonal on the
    // left by far more than on the real axis, and more so the nearer: the
    // height above sigma of the saddles of e^(st) F(s) that make f's
    // oscillation, sqrt(a/t) for e^(-a/(s - sigma)), with a taken as large as
    // the growth allows. Nothing where F shows no such singularity.
    std::optional<double> oscillation_height(double sigma, double t, const double* parameters);

private:
    std::optional<double> probe(double sigma, double t, const double* parameters);

    // log2 |F(sigma + r e^(i angle))| for angle 0 or 3 pi / 4, or NaN where F's
    // value cannot be read there.
    double log2_magnitude(double sigma, double r, bool diagonal, const double* parameters);

    ComplexEvaluator evaluator_;
    BranchTracker tracker_;
    // The last answer: auto and the guards ask once for the method and once
    // for the line, at the same point.
    double last_sigma_ = 0.0;
    double last_t_ = 0.0;
    std::vector<double> last_parameters_;
    std::optional<double> last_height_;
    bool answered_ = false;
    std::size_t parameter_count_;
    bool probed_;
};
