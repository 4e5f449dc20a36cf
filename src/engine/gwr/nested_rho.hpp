#pragma once
// Wynn's rho over G_1 ... G_m once, with the estimates of every shorter
// sequence G_1 ... G_m' read off the same table. No Python header.
//
// The entry rho_r^(j) of the table (wynn_rho.hpp) is made from G_(j+1) ...
// G_(j+r+1) alone, by the same operations whatever the length of the
// sequence: the table of G_1 ... G_m' is the corner j + r <= m' - 1 of the
// table of G_1 ... G_m, entry for entry. Its estimates, the first entries of
// its even columns, are the entries j = m' - 1 - r of the even columns r of
// the larger table. So the term counts 6, 8, 10 and 12 of a double callable
// need one table of 12 (66 entries) instead of four (154).
//
// wynn_rho_over stops at an exactly zero difference, with the estimates made
// so far; here the shorter sequences would each stop at their own first one.
// That is left to the caller: run() says false, and the levels are then
// computed one by one.

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "core/gwr/interrupt_pacer.hpp"
#include "core/gwr/wynn_rho.hpp"

template <class A>
class NestedRho {
public:
    using Value = typename A::Value;

    // A table for sequences of length m, read for the lengths `levels`
    // (each 1 ... m).
    NestedRho(std::size_t m, std::vector<std::size_t> levels, A arithmetic)
        : a_(std::move(arithmetic)), levels_(std::move(levels)), difference_(a_.make()),
          quotient_(a_.make()), counts_(levels_.size(), 0) {
        for (std::size_t i = 0; i < m; ++i) {
            before_.push_back(a_.make());
            next_.push_back(a_.make());
        }
        estimates_.resize(levels_.size() * kept_rho_estimates, a_.make());
        shorter_.resize(levels_.size() * kept_shorter_estimates, a_.make());
        shorter_counts_.assign(levels_.size(), 0);
    }

    // Accelerates values[0] ... values[m-1], which serve as the table's
    // column r - 1 and hold garbage afterwards. False, with the estimates
    // unusable, on an exactly zero difference. May end the call on Ctrl-C.
    bool run(std::vector<Value>& values, InterruptPacer& pacer) {
        const std::size_t m = values.size();
        std::vector<Value>& previous = values;
        for (std::size_t l = 0; l < levels_.size(); ++l) {
            counts_[l] = 0;
            shorter_counts_[l] = 0;
            push(l, previous[levels_[l] - 1]);  // rho_0^(m'-1) = G_m'
        }
        for (auto& v : before_) {
            a_.zero(v);
        }
        for (std::size_t k = 0; k + 2 <= m; ++k) {
            const std::size_t first = m - 2 - k;
            for (std::size_t j = first + 1; j-- > 0;) {
                a_.sub(difference_, previous[j + 1], previous[j]);
                if (a_.is_zero(difference_)) {
                    return false;
                }
                a_.divide_into(quotient_, k + 1, difference_);
                a_.add(next_[j], before_[j + 1], quotient_);
            }
            pacer.account(3 * (first + 1));
            if (k % 2 == 1) {
                // Column r = k + 1 is even: its entry j = m' - 1 - r is the
                // next estimate of each length m' that reaches it, and the
                // entries below it those of lengths m' - 1 and m' - 2
                // (RhoTable::shorter).
                const std::size_t r = k + 1;
                for (std::size_t l = 0; l < levels_.size(); ++l) {
                    if (levels_[l] > r) {
                        push(l, next_[levels_[l] - 1 - r]);
                    }
                    for (std::size_t i = 0; i < kept_shorter_estimates && levels_[l] > r + 1 + i;
                         ++i) {
                        a_.assign(shorter_[l * kept_shorter_estimates + i],
                                  next_[levels_[l] - 2 - r - i]);
                        shorter_counts_[l] = std::max(shorter_counts_[l], i + 1);
                    }
                }
            }
            // As in wynn_rho_over: the rotation leaves columns k + 1 and k
            // where pass k + 1 reads them.
            std::swap(before_, previous);
            std::swap(previous, next_);
        }
        return true;
    }

    // Estimate i (0 the latest) of length levels[l], of count(l) made.
    const Value& estimate(std::size_t l, std::size_t i) const {
        return estimates_[l * kept_rho_estimates + i];
    }
    std::size_t count(std::size_t l) const { return counts_[l]; }
    // The estimate of length levels[l] - 1 - i, of shorter_count(l) made.
    const Value& shorter(std::size_t l, std::size_t i) const {
        return shorter_[l * kept_shorter_estimates + i];
    }
    std::size_t shorter_count(std::size_t l) const { return shorter_counts_[l]; }
    std::size_t level_count() const noexcept { return levels_.size(); }
    A& arithmetic() noexcept { return a_; }

private:
    void push(std::size_t l, const Value& latest) {
        Value* kept = &estimates_[l * kept_rho_estimates];
        for (std::size_t i = kept_rho_estimates - 1; i > 0; --i) {
            std::swap(kept[i], kept[i - 1]);
        }
        a_.assign(kept[0], latest);
        if (counts_[l] < kept_rho_estimates) {
            ++counts_[l];
        }
    }

    A a_;
    std::vector<std::size_t> levels_;
    std::vector<Value> before_;
    std::vector<Value> next_;
    Value difference_;
    Value quotient_;
    std::vector<Value> estimates_;  // kept_rho_estimates per level, newest first
    std::vector<std::size_t> counts_;
    std::vector<Value> shorter_;  // kept_shorter_estimates per level
    std::vector<std::size_t> shorter_counts_;
};
