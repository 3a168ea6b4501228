# The two entry points of the README. Both install what is missing first.
JOBS ?= $(shell nproc)

.PHONY: run test build deps clean

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

clean:
	rm -rf build build-test
