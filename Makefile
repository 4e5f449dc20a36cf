# Quick start: `make demo` runs the main job, `make test` the test suite. Both
# set up everything they need first (system packages, CPython 3.13, .venv).

PY := .venv/bin/python
BUILD_DIR := build/release

.PHONY: setup install demo test sanitize bench clean

setup:
	@tools/bootstrap

install: setup
	$(PY) -m pip install -q --no-build-isolation -Cbuild-dir=$(BUILD_DIR) .

demo: install
	$(PY) -m invlap.demo

test: install
	$(PY) -m pytest -q

# The suite under AddressSanitizer and UBSan, against a module built into its
# own directory (never the installed one). Not part of `make test`: slow.
sanitize: setup
	tools/sanitize

bench: install
	$(PY) bench/bench_gwr.py
	$(PY) bench/bench_bessel.py

clean:
	rm -rf build build-* .venv
