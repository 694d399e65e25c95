# Top-level commands; see README.md.
JOBS ?= $(shell nproc)
# Extra CMake settings for the configure step, e.g. -DCUEMARK_WERROR=ON (as CI builds).
CMAKE_FLAGS ?= -G Ninja
# The build folder of `make build` and `make test`; CI builds in its own (build-ci).
BUILD ?= build

.PHONY: all deps build test build-asan test-asan check-format run bench clean

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 600

build-asan: deps
	cmake -S . -B build-asan $(CMAKE_FLAGS) -DCUEMARK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build build-asan -j $(JOBS)

test-asan: build-asan
	cd build-asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS) --timeout 1200

check-format:
	scripts/check-format

run: build
	scripts/run-demo

bench: build
	scripts/run-bench

clean:
	rm -rf build build-ci build-asan
