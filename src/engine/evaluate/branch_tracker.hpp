#pragma once
// Analytic continuation of F along a contour. No Python header.
//
// A contour method samples F at complex s, and an expression's square roots
// and logarithms have branch cuts: sqrt(s^2 + 1), principal, jumps where
// s^2 + 1 crosses the negative real axis, which the Talbot contour does above
// s = i. The transform F is the function analytic to the right of the
// contour, not the principal-branch formula. Walking the contour from the
// real axis outwards, with nodes close enough, F is continued by choosing at
// each node the branch of each root and logarithm nearest to its value at the
// node before: the continuation along the path, which is that analytic F.

#include <cstddef>
#include <vector>

#include "engine/program/acb_value.hpp"
#include "engine/program/program.hpp"

class BranchTracker {
public:
    explicit BranchTracker(const Program& program);

    // Forget the path: the next node takes principal branches (the first
    // node of a contour lies on the positive real axis, where they are right).
    void restart() noexcept;

    // Chooses the branch of register i's value `value` (a principal square
    // root, or a principal logarithm for log and pow) nearest to its value at
    // the previous node, in place. Returns how ambiguous the choice was:
    // 0 clear, 1 halfway between two branches.
    double choose(std::size_t i, acb_ptr value, slong prec);

    // The values of the node just evaluated become the previous node's:
    // the registers of roots and logarithms, and for each power the
    // logarithm of its base (pow_logs, indexed by register).
    void commit(const std::vector<AcbValue>& registers, const std::vector<AcbValue>& pow_logs);

    // Whether register i is one whose branch is followed.
    bool tracks(std::size_t i) const noexcept { return slot_[i] >= 0; }

private:
    std::vector<int> slot_;          // per register: index into previous_, or -1
    std::vector<std::size_t> register_of_;  // per slot: its register
    std::vector<AcbValue> previous_;
    std::vector<Op> op_;             // per slot: sqrt, log or pow (whose base's log is kept)
    bool started_ = false;
};
