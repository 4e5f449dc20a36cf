#pragma once
// The two contour methods for expressions: fixed Talbot and Euler (the
// Bromwich line with Euler summation). No Python header.
//
// Both take the form f(t) = (1/t) Re sum_k w_k F(z_k / t) with nodes z_k and
// weights w_k that do not depend on t: they are made once per node count, and
// a time point costs its samples of F and a sum.

#include <acb.h>

#include <cstdint>
#include <vector>

#include "engine/program/acb_value.hpp"
#include "engine/program/arb_value.hpp"
#include "core/precision/working_value.hpp"

struct ContourNodes {
    std::vector<ArbValue> parameter;  // along the contour, increasing from the real axis
    std::vector<AcbValue> z;          // the nodes for t = 1
    std::vector<AcbValue> weight;
};

class ContourRule {
public:
    // Nodes for the first attempt at `digits` digits.
    virtual std::uint64_t first_nodes(std::uint32_t digits) const = 0;
    // The working precision for m nodes.
    virtual Bits bits(std::uint64_t m) const = 0;
    // The rule's m nodes and weights at `prec` bits.
    virtual void nodes(std::uint64_t m, slong prec, ContourNodes& out) const = 0;
    // The contour for t = 1 at parameter p, between nodes (for the branch walk).
    virtual void point(acb_ptr z, std::uint64_t m, arb_srcptr p, slong prec) const = 0;
    // Whether the nodes lie on a vertical (Bromwich) line, which is placed
    // right of the singularities and reaches up with more nodes, rather than
    // on a contour that wraps them, which must enclose them.
    virtual bool vertical_line() const = 0;
    // Where the nodes for t = 1 cross (or stand on) the real axis.
    virtual double real_crossing(std::uint64_t m) const = 0;

protected:
    ~ContourRule() = default;
};

// Abate & Valko 2004: nodes z(theta) = r theta (cot theta + i),
// theta = k pi / M, r = 2 M / 5: about 0.6 M digits at M digits.
const ContourRule& fixed_talbot_rule();

// Abate & Whitt 2006: nodes M ln(10)/3 + i pi k on the Bromwich line,
// k = 0 ... 2M, weighted by Euler summation: about 0.6 M digits.
const ContourRule& euler_rule();
