#pragma once
// One complex Arb ball (a real and an imaginary ball) with exactly one owner.
// No Python header.

#include <acb.h>

class AcbValue {
public:
    AcbValue() noexcept { acb_init(value_); }
    ~AcbValue() { acb_clear(value_); }
    // A move leaves the source a valid zero, so its destructor stays right.
    AcbValue(AcbValue&& other) noexcept {
        acb_init(value_);
        acb_swap(value_, other.value_);
    }
    AcbValue& operator=(AcbValue&& other) noexcept {
        acb_swap(value_, other.value_);
        return *this;
    }
    AcbValue(const AcbValue&) = delete;
    AcbValue& operator=(const AcbValue&) = delete;

    acb_ptr get() noexcept { return value_; }
    acb_srcptr get() const noexcept { return value_; }

private:
    acb_t value_;
};
