# The two entry points of the README. Both install what is missing first.
JOBS ?= $(shell nproc)

# ccache, when installed, keeps compiled objects between builds. Paths are hashed
# relative to the tree, so another clone of the same commit reuses them.
ifneq ($(shell command -v ccache 2>/dev/null),)
LAUNCH := -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
CCACHE_MAXSIZE ?= 15G
export CCACHE_MAXSIZE
endif

.PHONY: run test build deps clean fuzz release-check
FUZZ_SECONDS ?= 15

deps:
	scripts/install-deps

# Release-style build of the program, then run it.
build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARK_BUILD_TESTS=OFF -DLARK_BUILD_BENCH=OFF $(LAUNCH)
	cmake --build build -j $(JOBS) --target larkspool

run: build
	./build/app/Larkspool

# The tests: warnings are errors, and everything runs under AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: deps
	cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLARK_WERROR=ON -DLARK_SANITIZE=ON $(LAUNCH)
	cmake --build build-test -j $(JOBS)
	cd build-test && ctest --output-on-failure -j $(JOBS)

# The optimised build with warnings as errors, compiled but not run: g++ warns of some
# things only when it inlines, so CI compiles this configuration besides the tests.
release-check: deps
	cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DLARK_WERROR=ON $(LAUNCH)
	cmake --build build-release -j $(JOBS)

# Builds the fuzz targets with clang and runs each for FUZZ_SECONDS on a copy of its
# seed corpus (CI runs them briefly after the tests). Binary formats get inputs of up
# to 4 KiB; the text parsers (FUZZ_TEXT_TARGETS) take inputs of realistic size, up
# to FUZZ_TEXT_MAX_LEN, with no length control, so that paths whose work grows
# faster than the input show. A single allocation above 1 GiB counts as a failure:
# no input of these sizes has a sound reason to ask for it, and neither has one input
# that runs for a minute. Line tables are enough for the stacks of a finding, and
# keep the statically linked targets small on disk.
FUZZ_TEXT_TARGETS ?= feed http_response inifile url
FUZZ_TEXT_MAX_LEN ?= 262144
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARK_FUZZ=ON \
	  -DCMAKE_C_FLAGS_RELWITHDEBINFO='-O2 -gline-tables-only -DNDEBUG' \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO='-O2 -gline-tables-only -DNDEBUG' $(LAUNCH)
	cmake --build build-fuzz -j $(JOBS)
	set -e; for t in build-fuzz/fuzz/fuzz_*; do \
	  name=$$(basename $$t); target=$${name#fuzz_}; corpus=build-fuzz/corpus/$$target; \
	  mkdir -p $$corpus; cp -n fuzz/corpus/$$target/* $$corpus/ 2>/dev/null || true; \
	  lengths="-max_len=4096"; \
	  case " $(FUZZ_TEXT_TARGETS) " in *" $$target "*) lengths="-max_len=$(FUZZ_TEXT_MAX_LEN) -len_control=0";; esac; \
	  echo "== $$name ($$lengths)"; \
	  if ! $$t -max_total_time=$(FUZZ_SECONDS) $$lengths -malloc_limit_mb=1024 -timeout=60 -artifact_prefix=build-fuzz/$$name- $$corpus > build-fuzz/$$name.log 2>&1; then \
	    tail -40 build-fuzz/$$name.log; exit 1; fi; \
	  tail -1 build-fuzz/$$name.log; \
	done

clean:
	rm -rf build build-test build-fuzz build-release
