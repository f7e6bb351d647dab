# Two commands do everything on a fresh Debian machine:
#   make run    installs what is missing, builds and starts the booth
#   make test   installs what is missing, builds and runs every test
BUILD     ?= build
FUZZBUILD ?= build-fuzz
JOBS      ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: all deps configure build run test package fuzz-build fuzz bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-booth $(BUILD)/bin/Pelmora

# The Debian package build/pelmora_<version>_amd64.deb.
package: build
	@cd $(BUILD) && cpack -G DEB > /dev/null && ls pelmora_*.deb

# Every test: a short fuzzing run of each binary reader, the tests that do
# not start the web engine once more under ASan and UBSan, then the whole
# CTest suite (unit, GUI and end-to-end tests, headless).
test: build fuzz-build
	@scripts/run-fuzzers $(FUZZBUILD) $${FUZZ_SECONDS:-10}
	@cmake --build $(FUZZBUILD) -j $(JOBS) --target sanitized_tests
	@cd $(FUZZBUILD) && ctest --output-on-failure -j $(JOBS) -L sanitize
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The fuzz targets of the binary readers, built with clang, ASan and UBSan.
fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZBUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELMORA_FUZZ=ON $(CMAKE_ARGS) > /dev/null
	@cmake --build $(FUZZBUILD) -j $(JOBS) --target fuzzers

# Longer fuzzing runs: each target until 10 million executions or
# FUZZ_SECONDS (300 by default) are up; the executions of each are printed.
fuzz: fuzz-build
	@scripts/run-fuzzers $(FUZZBUILD) $${FUZZ_SECONDS:-300}

bench: build
	@scripts/run-benchmarks $(BUILD)

clean:
	rm -rf $(BUILD) $(FUZZBUILD)
