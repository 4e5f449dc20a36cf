# Quick start: `make demo` runs the main job, `make test` the test suite. Both
# set up everything they need first (system packages, CPython 3.13, .venv).

PY := .venv/bin/python
BUILD_DIR := build/release
CHECK_DIR := build/checks

.PHONY: setup install demo checks test check-arith check-bessel-fast sanitize bench clean

setup:
	@tools/bootstrap

# The C++ build takes a few minutes the first time (incremental after that);
# pip shows its progress on a terminal, and is quiet in logs.
install: setup
	@echo "install: building the C++ modules and installing invlap into .venv"
	$(PY) -m pip install $$([ -t 1 ] || echo -q) --no-build-isolation -Cbuild-dir=$(BUILD_DIR) .

demo: install
	$(PY) -m invlap.demo

# The native checks of the core (checks/), built against the same sources as
# the module, in their own directory.
checks: setup
	cmake -S . -B $(CHECK_DIR) -DPython_EXECUTABLE=$(abspath $(PY)) \
	    -DCMAKE_BUILD_TYPE=Release -DINVLAP_CHECKS=ON >/dev/null
	env -u MAKEFLAGS -u MAKELEVEL cmake --build $(CHECK_DIR) -j2 --target check_exact_arithmetic check_bessel_full_precision

# A quick sweep of the exact arithmetic and the full-precision Bessel values
# first (registered with CTest, CMakeLists.txt): the Python suite sees them
# only through doubles, which hide most single-bit faults. Then the type check
# of python/ (configured in pyproject.toml) and the Python suite.
test: install checks
	ctest --test-dir $(CHECK_DIR) --output-on-failure
	$(PY) checks/bessel_fast_sweep.py --points 200000
	$(PY) -m mypy
	$(PY) -m pytest -q

# The full sweep of the exact arithmetic against MPFR: 20 times the rounds of
# the quick one at every precision.
check-arith: checks
	$(CHECK_DIR)/check_exact_arithmetic

# The fast pass of the correctly rounded Bessel arrays against the exact path
# alone, bit for bit, over 10^6 random points per function (a minute or more;
# `make test` sweeps a fifth of that, in about 30 s).
check-bessel-fast: install
	$(PY) checks/bessel_fast_sweep.py

# The suite under AddressSanitizer and UBSan, against a module built into its
# own directory (never the installed one). Not part of `make test`: slow.
sanitize: setup
	tools/sanitize

# The speed figures of the README; bench_dask.py's full 10^6-point sweep takes
# many minutes on two cores, so it runs at a tenth of that here.
bench: install
	$(PY) bench/bench_gwr.py
	$(PY) bench/bench_bessel.py
	$(PY) bench/bench_invert.py
	$(PY) bench/bench_digits.py
	$(PY) bench/bench_callables.py
	$(PY) bench/bench_double_gwr.py
	$(PY) bench/bench_dask.py --points 100000

clean:
	rm -rf build build-* .venv
