#pragma once
// MPFR and FLINT (with Arb) keep caches of constants per thread. A thread
// that ends without freeing them loses them: every thread that computes
// calls this first, once or many times, and its caches are freed when it
// ends. No Python header.

void free_thread_caches_at_exit() noexcept;
