#pragma once
// The Gaver tables (gwr_tables.hpp) as the limb arithmetic reads them, for
// the GWR levels of expressions and of double samples. No Python header.

#include <cstddef>
#include <vector>

#include "core/gwr/gwr_tables.hpp"
#include "core/limb/limb_bridge.hpp"

// The MPFR tables as limb_float values: the coefficients and the binomial
// tails imported once per level, the integer rows read where they are. The
// tables must have N limbs (limb_float::limbs_for of their precision).
template <int N>
class LimbGaverTables {
public:
    explicit LimbGaverTables(const GwrTables& tables) : tables_(tables) {
        for (const WorkingValue& c : tables.coefficients) {
            coefficients_.push_back(imported(c));
        }
        for (const ValueVector& row : tables.binomial_tails) {
            tails_.emplace_back();
            for (const WorkingValue& c : row) {
                tails_.back().push_back(imported(c));
            }
        }
    }
    const limb_float::Value<N>& coefficient(std::size_t n) const { return coefficients_[n - 1]; }
    const unsigned long* integers(std::size_t n) const {
        return tables_.binomial_integers.data() + binomial_offset(n);
    }
    const std::vector<limb_float::Value<N>>& tail(std::size_t n) const { return tails_[n - 1]; }
    std::size_t tail_start(std::size_t n) const { return tables_.binomial_tail_start[n - 1]; }
    // The rows n = 1 ... terms() the tables hold.
    std::size_t terms() const noexcept { return coefficients_.size(); }

private:
    // Coefficients and binomials are positive integers below 2^(4m), far
    // inside the exponents import_value takes.
    static limb_float::Value<N> imported(const WorkingValue& v) {
        return *limb_float::import_value<N>(v);
    }

    const GwrTables& tables_;
    std::vector<limb_float::Value<N>> coefficients_;
    std::vector<std::vector<limb_float::Value<N>>> tails_;
};
