# The two entry points of the README. Both install what is missing first.
JOBS ?= $(shell nproc)

.PHONY: run test build deps clean fuzz release-check
FUZZ_SECONDS ?= 15

deps:
	scripts/install-deps

# Release-style build of the program, then run it.
build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARK_BUILD_TESTS=OFF -DLARK_BUILD_BENCH=OFF
	cmake --build build -j $(JOBS) --target larkspool

run: build
	./build/app/Larkspool

# The tests: warnings are errors, and everything runs under AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: deps
	cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLARK_WERROR=ON -DLARK_SANITIZE=ON
	cmake --build build-test -j $(JOBS)
	cd build-test && ctest --output-on-failure -j $(JOBS)

# The optimised build with warnings as errors, compiled but not run: g++ warns of some
# things only when it inlines, so CI compiles this configuration besides the tests.
release-check: deps
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DLARK_WERROR=ON
	cmake --build build-release -j $(JOBS)

# Builds the fuzz targets with clang and runs each for FUZZ_SECONDS on a copy of its
# seed corpus (CI runs them briefly after the tests). A single allocation above 1 GiB
# counts as a failure: no input of at most 4 KiB has a sound reason to ask for it.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARK_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)
	set -e; for t in build-fuzz/fuzz/fuzz_*; do \
	  name=$$(basename $$t); corpus=build-fuzz/corpus/$${name#fuzz_}; \
	  mkdir -p $$corpus; cp -n fuzz/corpus/$${name#fuzz_}/* $$corpus/ 2>/dev/null || true; \
	  echo "== $$name"; \
	  if ! $$t -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -malloc_limit_mb=1024 $$corpus > build-fuzz/$$name.log 2>&1; then \
	    tail -40 build-fuzz/$$name.log; exit 1; fi; \
	  tail -1 build-fuzz/$$name.log; \
	done

clean:
	rm -rf build build-test build-fuzz build-release
