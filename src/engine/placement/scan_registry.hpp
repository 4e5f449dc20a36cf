#pragma once
// The singularity scans of the process, one per program and parameter values,
// kept across calls: a scan costs some hundreds of box evaluations, far more
// than a point of GWR, and a caller inverting one point at a time would pay
// it at every call. No Python header.

#include <cstddef>
#include <memory>
#include <mutex>

#include "engine/placement/singularity_scan.hpp"

// A scan with the lock its examination left of sigma takes (sigma itself is
// fixed once the scan is made, and read without it).
struct SharedScan {
    SharedScan(const Program& program, const double* parameters, std::size_t count,
               const ScanWindow& window)
        : scan(program, parameters, count, window) {}
    std::mutex lock;
    SingularityScan scan;
};

// The scan of this program at these parameters, made on first use. Any thread.
std::shared_ptr<SharedScan> shared_scan(const Program& program, const double* parameters,
                                        const ScanWindow& window);
