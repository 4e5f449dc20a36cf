#include "engine/placement/method_validity.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Scans a worker keeps at hand, beside the registry's.
constexpr std::size_t kept_scans = 8;

// The first sample of the real-axis methods must clear the singularities by
// this factor: G_1 = 2a (F(a) - F(2a)) converges only for a beyond them, and
// close to them convergence in the number of terms is slow.
constexpr double real_axis_clearance = 0.9;

// A singularity at height y turns f by y t radians by time t: below a
// hundredth of a radian f does not oscillate on [0, t] in any sense real
// samples could miss (on sin t, GWR's and Stehfest's estimates held below
// t = 0.01 without the oscillation margin).
constexpr double least_phase = 1e-2;

// How far left of the singularities that matter distant_waves looks, in
// multiples of that width. Beside exp(-sqrt(s))/s, a pole pair at -5 +- 20i
// (1.4 widths left at t = 39 and 50 digits) left GWR 4e-57 off, 3.4 times
// its estimate; in a family of poles at 92-140 degrees, GWR's estimates fell
// short of their errors mostly for poles 0.8 to 4 widths left.
constexpr double distant_reach = 4.0;

// The Bromwich line's nodes reach pi k / t, k <= 2M: they must pass this many
// times above the highest singularity that matters, so that the Euler
// summation starts where the terms already alternate smoothly.
constexpr double line_reach_factor = 3.0;

// A Talbot contour is trusted to enclose a point up to this fraction of its
// height r pi, where its sides run off to the left.
constexpr double talbot_height_fraction = 0.9;

// Bigger than any node count a level asks for: beyond this the line is not
// worth the work and the point is flagged instead.
constexpr double most_line_nodes = 4096.0;

}  // namespace

MethodValidity::MethodValidity(const Program& program, std::uint32_t digits,
                               const ScanWindow& window)
    : program_(program), digits_(digits), window_(window), essential_(program) {}

SharedScan& MethodValidity::scan(const double* parameters) {
    const std::size_t count = program_.parameter_count();
    for (auto it = recent_.begin(); it != recent_.end(); ++it) {
        if (std::equal(it->parameters.begin(), it->parameters.end(), parameters)) {
            recent_.splice(recent_.begin(), recent_, it);
            return *recent_.front().scan;
        }
    }
    if (recent_.size() == kept_scans) {
        recent_.pop_back();
    }
    recent_.push_front(Recent{std::vector<double>(parameters, parameters + count),
                              shared_scan(program_, parameters, window_)});
    return *recent_.front().scan;
}

bool MethodValidity::vouched(const double* parameters) {
    return scan(parameters).scan.sigma_found();
}

double MethodValidity::relevant_width(double t) const {
    return (digits_ + 10.0) * std::log(10.0) / t;
}

bool MethodValidity::real_axis_allows(double t, const double* parameters) {
    const SingularityScan& found = scan(parameters).scan;
    return !found.sigma_found() || found.sigma() < real_axis_clearance * std::log(2.0) / t;
}

Oscillation MethodValidity::oscillation(double t, const double* parameters) {
    SharedScan& shared = scan(parameters);
    const Oscillation scanned = scanned_oscillation(t, shared);
    if (scanned == Oscillation::present) {
        return scanned;
    }
    // The probe's samples outside the scan's lock: they are this worker's.
    double sigma = 0.0;
    {
        const std::lock_guard<std::mutex> held(shared.lock);
        if (!shared.scan.sigma_found()) {
            return scanned;
        }
        sigma = shared.scan.sigma();
    }
    return essential_.oscillation_height(sigma, t, parameters) ? Oscillation::present : scanned;
}

Oscillation MethodValidity::scanned_oscillation(double t, SharedScan& shared) {
    const std::lock_guard<std::mutex> held(shared.lock);
    SingularityScan& found = shared.scan;
    if (!found.sigma_found() || !std::isfinite(found.sigma())) {
        return Oscillation::none;
    }
    const double left = found.sigma() - relevant_width(t);
    bool fading = false;
    bool unknown = !found.complete_from(left);
    for (const SingularityScan::Cell& cell : found.cells_from(left)) {
        if (cell.x1 > left && cell.y0 > 0.0) {
            // A singularity at x + iy adds to f a wave of e^(x t) turning by
            // y t radians, beside the e^(sigma t) of the rightmost one: it
            // oscillates visibly only where y t is not tiny and it does not
            // fade, relative to the rightmost, faster than it turns. Unproven
            // cells in the wedge behind sigma (around a cut on the real axis,
            // as K0(sqrt s) has, where the box bounds fail) fade.
            if (cell.y0 < found.sigma() - cell.x1) {
                fading = true;
            } else if (cell.y0 * t > least_phase) {
                return Oscillation::present;
            } else {
                unknown = true;
            }
        }
    }
    if (unknown) {
        return Oscillation::unknown;
    }
    return fading ? Oscillation::fading : Oscillation::none;
}

bool MethodValidity::distant_waves(double t, const double* parameters) {
    SharedScan& shared = scan(parameters);
    const std::lock_guard<std::mutex> held(shared.lock);
    SingularityScan& found = shared.scan;
    if (!found.sigma_found() || !std::isfinite(found.sigma())) {
        return false;
    }
    const double far = found.sigma() - distant_reach * relevant_width(t);
    for (const SingularityScan::Cell& cell : found.cells_from(far)) {
        // Cells that turn by less than least_phase by t (around a branch
        // point at the origin) make no wave.
        if (cell.x1 > far && cell.y0 * t > least_phase) {
            return true;
        }
    }
    return !found.complete_from(far);
}

std::optional<LinePlan> MethodValidity::bromwich_line(double t, const double* parameters) {
    SharedScan& shared = scan(parameters);
    double sigma = 0.0;
    double height = 0.0;
    {
        const std::lock_guard<std::mutex> held(shared.lock);
        SingularityScan& found = shared.scan;
        sigma = found.sigma();
        if (!found.sigma_found()) {
            return LinePlan{0.0, 0};  // F unknown: the line at its usual place
        }
        if (!std::isfinite(sigma)) {
            // Nothing singular in the window: the line at the usual place.
            return sigma < 0 ? std::optional(LinePlan{0.0, 0}) : std::nullopt;
        }
        height = found.height_from(sigma - relevant_width(t));
    }
    // The saddles of an essential singularity at sigma stand where the scan
    // sees nothing: the line must reach above them too (outside the lock:
    // the probe's samples are this worker's).
    const std::optional<double> saddles = essential_.oscillation_height(sigma, t, parameters);
    if (saddles) {
        height = std::max(height, *saddles);
    }
    const double nodes = std::ceil(line_reach_factor * height * t / (2.0 * M_PI));
    if (!(nodes <= most_line_nodes)) {
        return std::nullopt;
    }
    return LinePlan{sigma, static_cast<std::uint64_t>(nodes)};
}

std::optional<double> MethodValidity::talbot_shift(double t, std::uint64_t m,
                                                   const double* parameters) {
    SharedScan& shared = scan(parameters);
    const std::lock_guard<std::mutex> held(shared.lock);
    SingularityScan& found = shared.scan;
    const double sigma = found.sigma();
    if (!found.sigma_found()) {
        return 0.0;  // F unknown: the contour at its usual place
    }
    const double shift = std::isfinite(sigma) ? std::max(sigma, 0.0) : 0.0;
    const double left = (std::isfinite(sigma) ? sigma : 0.0) - relevant_width(t);
    const std::vector<SingularityScan::Cell>& cells = found.cells_from(left);
    if (!found.complete_from(left)) {
        return std::nullopt;
    }
    // In z = (s - shift) t the contour is z(theta) = r theta (cot theta + i),
    // r = 2m/5: at height y it crosses Re z = y cot(y / r), which falls from
    // r at y = 0 to -inf at y = r pi. A cell is enclosed when its top is below
    // the contour's height and its right edge left of the contour there.
    const double r = 0.4 * static_cast<double>(m);
    for (const SingularityScan::Cell& cell : cells) {
        if (!(cell.x1 > left)) {
            continue;
        }
        const double y = cell.y1 * t;
        const double x = (cell.x1 - shift) * t;
        if (!(y < talbot_height_fraction * r * M_PI)) {
            return std::nullopt;
        }
        const double crossing = y == 0.0 ? r : y / std::tan(y / r);
        if (!(x < crossing)) {
            return std::nullopt;
        }
    }
    return shift;
}
