#pragma once
// One Arb ball with exactly one owner. No Python header.
//
// A ball is a midpoint and a radius: every operation of Arb returns a ball
// that contains the exact result of the operation on any points of its
// operands' balls, so the radius says how many of the midpoint's digits are
// right. That is what lets the engine notice cancellation inside F and raise
// the precision of that one sample.

#include <arb.h>

#include <utility>

class ArbValue {
public:
    ArbValue() noexcept { arb_init(value_); }
    ~ArbValue() { arb_clear(value_); }
    // A move leaves the source a valid zero ball, so its destructor stays right.
    ArbValue(ArbValue&& other) noexcept {
        arb_init(value_);
        arb_swap(value_, other.value_);
    }
    ArbValue& operator=(ArbValue&& other) noexcept {
        arb_swap(value_, other.value_);
        return *this;
    }
    ArbValue(const ArbValue&) = delete;
    ArbValue& operator=(const ArbValue&) = delete;

    arb_ptr get() noexcept { return value_; }
    arb_srcptr get() const noexcept { return value_; }

private:
    arb_t value_;
};

// One arf number (an Arb midpoint) with exactly one owner.
class ArfValue {
public:
    ArfValue() noexcept { arf_init(value_); }
    ~ArfValue() { arf_clear(value_); }
    ArfValue(ArfValue&& other) noexcept {
        arf_init(value_);
        arf_swap(value_, other.value_);
    }
    ArfValue& operator=(ArfValue&& other) noexcept {
        arf_swap(value_, other.value_);
        return *this;
    }
    ArfValue(const ArfValue&) = delete;
    ArfValue& operator=(const ArfValue&) = delete;

    arf_ptr get() noexcept { return value_; }

private:
    arf_t value_;
};

// One Arb magnitude (an upper bound, as a ball's radius is) with exactly one
// owner. Its exponent is unbounded like a ball's, which is why a bound on an
// error is made in these rather than in doubles.
class MagValue {
public:
    MagValue() noexcept { mag_init(value_); }
    ~MagValue() { mag_clear(value_); }
    MagValue(const MagValue&) = delete;
    MagValue& operator=(const MagValue&) = delete;

    mag_ptr get() noexcept { return value_; }

private:
    mag_t value_;
};

// One FLINT integer.
class ExactInteger {
public:
    explicit ExactInteger(slong value) noexcept {
        fmpz_init(value_);
        fmpz_set_si(value_, value);
    }
    ~ExactInteger() { fmpz_clear(value_); }
    ExactInteger(const ExactInteger&) = delete;
    ExactInteger& operator=(const ExactInteger&) = delete;

    const fmpz* get() const noexcept { return value_; }

private:
    fmpz_t value_;
};

// One FLINT integer that can change: zero until set, movable so that vectors
// of them can grow.
class ExactIntegerValue {
public:
    ExactIntegerValue() noexcept { fmpz_init(value_); }
    ~ExactIntegerValue() { fmpz_clear(value_); }
    ExactIntegerValue(ExactIntegerValue&& other) noexcept {
        fmpz_init(value_);
        fmpz_swap(value_, other.value_);
    }
    ExactIntegerValue(const ExactIntegerValue&) = delete;
    ExactIntegerValue& operator=(const ExactIntegerValue&) = delete;
    ExactIntegerValue& operator=(ExactIntegerValue&&) = delete;

    fmpz* get() noexcept { return value_; }
    const fmpz* get() const noexcept { return value_; }

private:
    fmpz_t value_;
};

// An exact rational held as FLINT integers.
class ExactRational {
public:
    ExactRational() noexcept { fmpq_init(value_); }
    ~ExactRational() { fmpq_clear(value_); }
    ExactRational(ExactRational&& other) noexcept {
        fmpq_init(value_);
        fmpq_swap(value_, other.value_);
    }
    ExactRational(const ExactRational&) = delete;
    ExactRational& operator=(const ExactRational&) = delete;
    ExactRational& operator=(ExactRational&&) = delete;

    fmpq* get() noexcept { return value_; }
    const fmpq* get() const noexcept { return value_; }

private:
    fmpq_t value_;
};
