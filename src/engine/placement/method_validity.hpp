#pragma once
// Which methods the singularities of F allow at a time t, and how each must
// be placed: the real-axis methods need every singularity to the left of
// their first sample; the Bromwich line must lie right of every singularity
// and reach above those that matter; a Talbot contour must enclose them.
// One per worker thread; the scans behind it are the process's (scan_registry).
// No Python header.

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>

#include <memory>
#include <vector>

#include "engine/placement/essential_singularity.hpp"
#include "engine/placement/scan_registry.hpp"

struct LinePlan {
    double shift;             // the line's abscissa lies at shift + A/t
    std::uint64_t least_nodes;  // nodes needed to reach above every singularity that matters
};

// fading: unproven cells off the axis matter at t, but every one of them fades,
// relative to the rightmost singularity, faster than it turns (poles at
// 135-180 degrees from the positive axis, cells around a cut on the negative
// real axis); unknown: beyond that, the scan did not get far enough left.
enum class Oscillation : std::uint8_t { none, present, fading, unknown };

class MethodValidity {
public:
    MethodValidity(const Program& program, std::uint32_t digits, const ScanWindow& window);

    // Whether the scan could place F's singularities at all. Where it could
    // not (enclosures too wide to prove anything within its budget), every
    // method is placed and judged as if F were unknown: GWR allowed, the
    // contours at their usual place, and the automatic choice confirms its
    // value with a second method instead.
    bool vouched(const double* parameters);

    // GWR and Stehfest sample F at s = k ln2/t, k >= 1: valid where every
    // singularity lies to the left of the first sample.
    bool real_axis_allows(double t, const double* parameters);

    // Whether a singularity that matters at time t may lie off the real axis
    // high enough to turn f by more than a thousandth of a radian by t
    // (present), none does (none), or the scan cannot tell (fading: unproven
    // cells off the axis fade faster than they turn; unknown: it did not get
    // far enough left). Where one
    // does, f oscillates, which real samples cannot see: a real-axis estimate
    // that misses the tolerance may miss it by any amount, and one that meets
    // it is less sure than on a smooth f. An essential singularity of the
    // e^(-a/s) kind at the rightmost one makes f oscillate too (present),
    // though the scan sees it only as a box it cannot prove.
    Oscillation oscillation(double t, const double* parameters);

    // Whether a singularity off the real axis may stand left of those that
    // matter at t, but within distant_reach times as far: its wave has faded
    // below the tolerance by t, yet GWR's functionals, which weigh f over
    // [0, t] and beyond, still feel it where its real samples cannot show it
    // (true too where the scan cannot tell).
    bool distant_waves(double t, const double* parameters);

    // The Bromwich line for time t; nothing where the singularities that
    // matter reach too high to prove the line's nodes pass above them.
    std::optional<LinePlan> bromwich_line(double t, const double* parameters);

    // The shift of a Talbot contour of m nodes that provably encloses every
    // singularity that matters at time t; nothing where none is found.
    std::optional<double> talbot_shift(double t, std::uint64_t m, const double* parameters);

private:
    SharedScan& scan(const double* parameters);
    Oscillation scanned_oscillation(double t, SharedScan& shared);
    // How far left of sigma a singularity still matters at time t: where its
    // growth e^(Re s t) falls 10^-(digits + 10) below the rightmost one's.
    double relevant_width(double t) const;

    const Program& program_;
    std::uint32_t digits_;
    ScanWindow window_;
    EssentialSingularityProbe essential_;
    // The scans this worker used last, most recent first, so that a point
    // finds its scan without the registry's lock.
    struct Recent {
        std::vector<double> parameters;
        std::shared_ptr<SharedScan> scan;
    };
    std::list<Recent> recent_;
};
