#include "precision/working_value.hpp"

#include <limits>

#include "failure/internal_failure.hpp"

Bits WorkingValue::bits() const {
    mpfr_prec_t p = mpfr_get_prec(value_.get());
    if (p < 1 || static_cast<std::uintmax_t>(p) > std::numeric_limits<Bits>::max()) {
        internal_failure("overflow");
    }
    return static_cast<Bits>(p);
}

void set_decimal(WorkingValue& d, const char* text) {
    mpfr_strtofr(d.get(), text, nullptr, 10, nearest);
}

void set_significand(WorkingValue& d, const mp_limb_t* limbs, std::size_t count, long exponent,
                     bool negative) {
    static_assert(GMP_NUMB_BITS == 64, "significands are handled as 64-bit limbs");
    mpz_t view;  // read-only, shares the limbs
    auto size = static_cast<mp_size_t>(count);
    mpz_srcptr integer = mpz_roinit_n(view, limbs, negative ? -size : size);
    mpfr_set_z_2exp(d.get(), integer, exponent - 64 * static_cast<long>(count), nearest);
}

WorkingValue copy_at(Bits bits, const WorkingValue& v) {
    WorkingValue out(bits);
    set(out, v);
    return out;
}

namespace {

struct ThreadCacheRelease {
    ~ThreadCacheRelease() { mpfr_free_cache2(MPFR_FREE_LOCAL_CACHE); }
};

}  // namespace

void free_mpfr_caches_at_thread_exit() noexcept {
    // Constructed on a thread's first call, destroyed when that thread ends.
    thread_local ThreadCacheRelease release;
    static_cast<void>(release);
}
