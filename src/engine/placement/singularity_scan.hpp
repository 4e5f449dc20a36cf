#pragma once
// Where a compiled expression may be singular, found from the right: the
// rightmost singularity's real part (an upper bound, sigma), and on demand
// how far up the imaginary direction the singularities reach that still
// matter at a time t. No Python header.
//
// The plane is covered, within a window, by square rings of doubling size
// around the origin (six cells each in the upper half-plane: F has real
// coefficients, so F(conj s) = conj F(s) and the lower half mirrors it).
// Cells are taken rightmost first; one the BoxEvaluator proves analytic is
// done with, one it cannot is split. The first cell that stays unproven at
// the finest size bounds sigma: everything to its right is proven analytic.
// Cells to its left are examined only when a contour method needs them,
// and only as far left as its time makes them matter.
//
// The window reaches from the origin past every contour node the job's
// earliest time can need, and sigma is resolved as far as its latest time
// needs, both rounded to powers of two so that one scan serves every call of
// the same F and parameters over similar times (scan_registry.hpp keeps
// them). It cannot reach further at no cost: where F's enclosures need cells
// finer than a fixed fraction of their distance from the origin (a Bessel
// function of R sqrt(s) with a large R), far-out cells would stay unproven.
// What lies beyond the window is not examined: singularities out there are
// taken to be absent.



#include <cstddef>
#include <cstdint>
#include <limits>
#include <queue>
#include <vector>

#include "engine/evaluate/box_evaluator.hpp"

// The reach of the window and the latest time it resolves sigma for.
struct ScanWindow {
    double reach;
    double latest_time;
    bool operator==(const ScanWindow&) const = default;
};

// The window for a job of times in [smallest, largest] at `digits`.
ScanWindow scan_window(double smallest, double largest, std::uint32_t digits);

class SingularityScan {
public:
    SingularityScan(const Program& program, const double* parameters,
                    std::size_t parameter_count, const ScanWindow& window);

    // Every singularity has real part below sigma() (-inf: none in the window).
    double sigma() const noexcept { return sigma_; }
    // Whether sigma was found, or only bounded where the budget ran out: F whose
    // enclosures stay too wide to prove anything (a difference of large Bessel
    // products, as in a bounded reservoir) may have its true sigma far left.
    bool sigma_found() const noexcept { return sigma_found_; }

    // How high (|Im s|) the unproven cells reach among those whose real part
    // is at least `left`; +inf where the scan could not finish that far.
    double height_from(double left);

    // The unproven cells whose real part reaches `left`, in the upper half-plane.
    struct Cell {
        double x0, x1, y0, y1;
        unsigned depth;  // splits since the ring cell it came from
        // The cell of height_splits depth this one was split finer from
        // (index into ancestors_), or -1.
        int ancestor = -1;
    };
    const std::vector<Cell>& cells_from(double left);
    // Whether cells_from(left) covers everything there (false: the budget ran out).
    bool complete_from(double left) const;

    bool same_parameters(const double* parameters) const;

private:
    struct RightmostFirst {
        bool operator()(const Cell& a, const Cell& b) const { return a.x1 < b.x1; }
    };
    bool analytic(const Cell& cell);
    void split(const Cell& cell);
    void find_sigma();
    void extend_to(double left);

    BoxEvaluator evaluator_;
    std::vector<double> parameters_;
    std::priority_queue<Cell, std::vector<Cell>, RightmostFirst> pending_;
    std::vector<Cell> unproven_;
    // Cells split finer than height_splits, and whether each is counted unproven.
    std::vector<Cell> ancestors_;
    std::vector<bool> ancestor_counted_;
    double origin_cell_;   // the half-width of the central cell
    double sigma_target_;  // sigma below this serves every time the scan resolves
    double costly_height_;  // above it, unproven cells are split finer (extend_to)
    double sigma_ = -std::numeric_limits<double>::infinity();
    bool sigma_found_ = true;
    std::uint64_t evaluations_left_;
    double reach_;
};
