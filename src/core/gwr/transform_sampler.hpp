#pragma once
// Where the GWR method gets F: the samples F(k a), k = 1 ... 2m, of one time
// point, handed in by whoever knows F (a Python callable at the module
// boundary, a compiled expression in the engine). No Python header.

#include "core/precision/working_value.hpp"

class TransformSampler {
public:
    // samples[k-1] = F(k a) for k = 1 ... samples.size(), each rounded into
    // its value's precision. Returns false when the call must end: the
    // sampler keeps the reason for its owner.
    virtual bool sample(const WorkingValue& a, ValueVector& samples) = 0;

protected:
    ~TransformSampler() = default;
};

// The precision at which samples that are doubles are held. Setting a double
// at P bits gives the double itself from 53 bits on, which a 53-bit value
// holds exactly, and every operation that reads a sample rounds a function of
// its exact value, so the narrower value gives the same bits. From 128 bits
// on it is also cheaper: the products C(n, i) * F_k multiply 1 limb by P/64
// instead of P/64 by P/64. Below 128 bits MPFR's fast paths need equal
// precisions, so samples keep P bits there.
inline Bits double_sample_bits(Bits bits) { return bits >= 128 ? 53 : bits; }
