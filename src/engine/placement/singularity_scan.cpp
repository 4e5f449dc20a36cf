#include "engine/placement/singularity_scan.hpp"

#include <algorithm>
#include <cmath>

#include "engine/program/acb_value.hpp"
#include "core/runtime/interrupts.hpp"

namespace {

// Box evaluations one scan may spend, on sigma and then on the cells left of
// it. A simple F costs about a microsecond each; a lattice of poles (tanh,
// 1/(1+e^-s)) or a cut along the imaginary axis would take ever more cells,
// and there the budget, not the lattice, ends the scan, leaving the rest
// unproven: a careful answer, never a wrong one.
constexpr std::uint64_t sigma_budget = 4000;
constexpr std::uint64_t height_budget = 4000;

// The finest cell of the search for sigma, relative to its distance from
// the origin: sigma comes out within about a millionth of the singularity's
// own size. Cells are refined no further once sigma is below a quarter of
// the first real-axis sample at the job's latest time, which is all the
// real-axis methods ask of it: a singular line along the imaginary axis
// would otherwise cost a cell per millionth of its length.
constexpr double sigma_resolution = 0x1p-20;
constexpr double sigma_target_fraction = 0.25;
// The part of the window (beyond this fraction of its reach) where a cell is
// refined to outer_sigma_resolution before it counts as singular, and where
// the budget's end places nothing (see find_sigma).
constexpr double unplaced_fraction = 1.0 / 64;
// There enclosures of functions of R sqrt(s) at large R need cells finer than
// sigma_resolution, while an isolated singularity costs four cells a split:
// 24 more splits tell the two apart for R sqrt|s| up to 2^44.
constexpr double outer_sigma_resolution = 0x1p-44;

// Cells to the left of sigma are split this many times at most: enough to
// tell how high singularities reach, which needs no more than a quarter of
// the ring's size.
constexpr unsigned height_splits = 2;
// Beyond that, a cell wider than this share of its distance from the origin
// is split further, up to most_height_splits, where it stands so high that
// the Bromwich line would need more than costly_line_nodes to pass above it
// at the job's latest time: the enclosure of a product of several factors
// of s over a wide cell is wide enough to meet a cut that F only passes by.
// K0(sqrt(s (s + 1)/(s + 2))) (double porosity) left cells of side 2^11 at
// height 10^4 unproven, and its line reached for them with half a million
// nodes: every point flagged (and at t = 0.01, with the threshold at 512
// nodes, the line took 328 nodes of complex K: 45 s a point). Lower down, a
// genuine cut (atan(1/s), from -i to i, through every ring down to the
// origin) would spend the budget on cells that no split proves.
constexpr double height_resolution = 1.0 / 32;
constexpr unsigned most_height_splits = 6;
constexpr double costly_line_nodes = 64.0;

// The window reaches this many times beyond the highest point any contour
// node of the job can reach (about 2 pi M / t, with M up to 4 times 1.7
// digits for the Bromwich line). A pole pair far above every node is not
// enclosed by the contours, and its wave is what the real-axis methods cannot
// see: 1/s + 1/(s^2 + 10^4) at t = 200 alone, beyond a window of 16 times
// (to 64), came out of GWR as 1 +- 1e-16 where f is 1.0058. The rings out to
// 1024 times cost a few dozen cells a scan, each proven at once where F is
// analytic.
constexpr double window_margin = 1024.0;

double power_of_two_at_least(double x) { return std::ldexp(1.0, std::ilogb(x) + 1); }

}  // namespace

ScanWindow scan_window(double smallest, double largest, std::uint32_t digits) {
    const double nodes = 4.0 * 1.7 * std::max<double>(digits, 15);
    return ScanWindow{power_of_two_at_least(window_margin * 2.0 * M_PI * nodes / smallest),
                      power_of_two_at_least(largest)};
}

namespace {

}  // namespace

SingularityScan::SingularityScan(const Program& program, const double* parameters,
                                 std::size_t parameter_count, const ScanWindow& window)
    : evaluator_(program), parameters_(parameters, parameters + parameter_count),
      // The central cell's right edge stays below a twentieth of the first
      // real-axis sample ln2/t of the latest time, and never above 2^-30: a
      // singularity at the origin (1/s, sqrt(s)) then never stands in the way
      // of the real-axis methods.
      origin_cell_(std::ldexp(1.0, std::ilogb(std::min(0x1p-30, 0.05 * std::log(2.0) /
                                                                     window.latest_time)))),
      sigma_target_(sigma_target_fraction * std::log(2.0) / window.latest_time),
      // The line's nodes reach 2 pi M / t; it passes three times above (method_validity.cpp).
      costly_height_(costly_line_nodes * 2.0 * M_PI / (3.0 * window.latest_time)),
      evaluations_left_(sigma_budget), reach_(window.reach) {
    pending_.push(Cell{-origin_cell_, origin_cell_, 0.0, origin_cell_, 0});
    for (double a = origin_cell_; a < window.reach; a *= 2) {
        // The ring between half-widths a and 2a, upper half: six cells of side a.
        pending_.push(Cell{a, 2 * a, 0.0, a, 0});
        pending_.push(Cell{a, 2 * a, a, 2 * a, 0});
        pending_.push(Cell{0.0, a, a, 2 * a, 0});
        pending_.push(Cell{-a, 0.0, a, 2 * a, 0});
        pending_.push(Cell{-2 * a, -a, a, 2 * a, 0});
        pending_.push(Cell{-2 * a, -a, 0.0, a, 0});
    }
    find_sigma();
    evaluations_left_ = height_budget;
}

bool SingularityScan::same_parameters(const double* parameters) const {
    return std::equal(parameters_.begin(), parameters_.end(), parameters);
}

bool SingularityScan::analytic(const Cell& cell) {
    --evaluations_left_;
    if (evaluations_left_ % 64 == 0) {
        poll_interrupts();
    }
    // Cell corners are dyadic, so midpoint and half-widths are exact doubles.
    AcbValue box;
    arb_set_d(acb_realref(box.get()), 0.5 * (cell.x0 + cell.x1));
    arb_set_d(acb_imagref(box.get()), 0.5 * (cell.y0 + cell.y1));
    mag_set_d(arb_radref(acb_realref(box.get())), 0.5 * (cell.x1 - cell.x0));
    mag_set_d(arb_radref(acb_imagref(box.get())), 0.5 * (cell.y1 - cell.y0));
    return evaluator_.analytic(box.get(), parameters_.data());
}

void SingularityScan::split(const Cell& cell) {
    const double xm = 0.5 * (cell.x0 + cell.x1);
    const double ym = 0.5 * (cell.y0 + cell.y1);
    const unsigned depth = cell.depth + 1;
    pending_.push(Cell{cell.x0, xm, cell.y0, ym, depth, cell.ancestor});
    pending_.push(Cell{xm, cell.x1, cell.y0, ym, depth, cell.ancestor});
    pending_.push(Cell{cell.x0, xm, ym, cell.y1, depth, cell.ancestor});
    pending_.push(Cell{xm, cell.x1, ym, cell.y1, depth, cell.ancestor});
}

void SingularityScan::find_sigma() {
    while (!pending_.empty()) {
        if (evaluations_left_ == 0) {
            // Nothing left of the budget proves the rest: sigma is bounded by
            // what is left, which places nothing where that lies in the
            // window's outer part (as for a cell unproven there, below).
            sigma_ = pending_.top().x1;
            sigma_found_ = sigma_ < unplaced_fraction * reach_;
            return;
        }
        const Cell cell = pending_.top();
        pending_.pop();
        if (analytic(cell)) {
            continue;
        }
        if (!(cell.x1 > sigma_target_)) {
            // Far enough left for every time of the job; the cell stays for
            // the examination of what lies left of sigma, at its own rules.
            sigma_ = cell.x1;
            pending_.push(cell);
            return;
        }
        const double size = std::max({std::fabs(cell.x0), std::fabs(cell.x1), cell.y1});
        const double resolution =
            size < unplaced_fraction * reach_ ? sigma_resolution : outer_sigma_resolution;
        if (cell.x1 - cell.x0 > std::max(origin_cell_, resolution * size)) {
            split(cell);
            continue;
        }
        sigma_ = cell.x1;
        // A cell that failed because a function could not be evaluated there
        // at all (not because an enclosure met a pole or a cut) places
        // nothing: the automatic choice then confirms its value with a second
        // method. One that stays unproven at the finest size does, in the
        // window's outer part too: a pole pair at 0.01 +- 100i beside 1/s,
        // passed over there as an enclosure too wide, left GWR at 1 where f
        // is 1.011 at t = 20 with an estimate of 1e-16, and 1/(s - 1) beside
        // 1/s gave 1 at t = 200, where f is 7e86.
        sigma_found_ = !evaluator_.unevaluable();
        unproven_.push_back(cell);
        return;
    }
}

void SingularityScan::extend_to(double left) {
    while (!pending_.empty() && pending_.top().x1 > left && evaluations_left_ > 0) {
        const Cell cell = pending_.top();
        pending_.pop();
        if (analytic(cell)) {
            continue;
        }
        const double distance = std::max({std::fabs(cell.x0), std::fabs(cell.x1), cell.y1});
        if (cell.depth < height_splits) {
            split(cell);
        } else if (cell.depth < most_height_splits && cell.y0 > costly_height_ &&
                   cell.x1 - cell.x0 > height_resolution * distance) {
            Cell finer = cell;
            if (finer.ancestor < 0) {
                finer.ancestor = static_cast<int>(ancestors_.size());
                ancestors_.push_back(cell);
                ancestor_counted_.push_back(false);
            }
            split(finer);
        } else if (cell.ancestor < 0) {
            unproven_.push_back(cell);
        } else if (!ancestor_counted_[static_cast<std::size_t>(cell.ancestor)]) {
            // What stays unproven at the finest splits is a singularity, or
            // an enclosure no split mends: the cell it was split from counts,
            // as it did before, so that the contours are placed as before
            // around it (finer cells around the pole pair at 10i beside
            // 1/((s+0.01)^2+100) let Talbot prove contours too small to
            // converge at t = 10).
            ancestor_counted_[static_cast<std::size_t>(cell.ancestor)] = true;
            unproven_.push_back(ancestors_[static_cast<std::size_t>(cell.ancestor)]);
        }
    }
}

const std::vector<SingularityScan::Cell>& SingularityScan::cells_from(double left) {
    extend_to(left);
    return unproven_;
}

bool SingularityScan::complete_from(double left) const {
    return pending_.empty() || !(pending_.top().x1 > left);
}

double SingularityScan::height_from(double left) {
    extend_to(left);
    if (!complete_from(left)) {
        return std::numeric_limits<double>::infinity();
    }
    double height = 0.0;
    for (const Cell& cell : unproven_) {
        if (cell.x1 > left) {
            height = std::max(height, cell.y1);
        }
    }
    return height;
}
