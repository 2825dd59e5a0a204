# The two quick-start commands: `make run` (the desktop program on a simulated controller) and
# `make test` (installs what is missing, builds, runs every test).
BUILD_DIR ?= build
BUILD_TYPE ?= Debug
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
JOBS ?= 2
# Where `make install` puts the programs; DESTDIR=/some/stage is honoured as usual.
PREFIX ?= /usr/local

# The sanitizer builds: clang, unit and integration tests (and the fuzz targets' short runs) under ASan
# and UBSan (make asan); integration and GUI tests under TSan (make tsan).
ASAN_DIR ?= build-asan
TSAN_DIR ?= build-tsan
SANITIZER_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++
ASAN_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Qt is built without ThreadSanitizer: what its own code does through intercepted calls (new, free,
# memmove) behind its own locks is not checked (ignore_noninstrumented_modules); our code still is.
TSAN_ENV = TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$(CURDIR)/tools/tsan.supp
# make fuzz FUZZ_SECONDS=600 FUZZ_JOBS=2
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 1

.PHONY: all deps configure build test asan tsan fuzz run install package screenshots bench format clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) > /dev/null

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Then once more under the address and undefined-behaviour sanitizers (make asan).
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory asan

asan: deps
	@cmake -S . -B $(ASAN_DIR) $(SANITIZER_FLAGS) -DDRAVIK_SANITIZE=address -DDRAVIK_BUILD_GUI=OFF > /dev/null
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && $(ASAN_ENV) ctest --output-on-failure -j $(JOBS) -L 'unit|integration|fuzz'

tsan: deps
	@cmake -S . -B $(TSAN_DIR) $(SANITIZER_FLAGS) -DDRAVIK_SANITIZE=thread > /dev/null
	cmake --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && $(TSAN_ENV) ctest --output-on-failure -j $(JOBS) -L 'integration|gui'

fuzz: deps
	@cmake -S . -B $(ASAN_DIR) $(SANITIZER_FLAGS) -DDRAVIK_SANITIZE=address -DDRAVIK_BUILD_GUI=OFF > /dev/null
	cmake --build $(ASAN_DIR) -j $(JOBS)
	$(ASAN_ENV) tools/fuzz.sh $(ASAN_DIR) $(FUZZ_SECONDS) $(FUZZ_JOBS)

# Only the desktop program and the demo's sample files, not the tests.
run: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target dravik demo-samples
	$(BUILD_DIR)/src/gui/dravik --demo

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package (stripped), in the build folder: make package BUILD_TYPE=Release for a release.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

screenshots: configure
	DRAVIK_BUILD=$(abspath $(BUILD_DIR)) tools/screenshots.sh

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR)

# The benchmarks build in Release in a folder of their own and print one table.
BENCH_DIR ?= build-release
BENCH_TARGETS = dravik-cli dravik-bench-download dravik-bench-zmodem dravik-bench-usb dravik-bench-srec \
	dravik-bench-terminal dxu-sim dravik-bench-fleet

bench: deps
	@cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DDRAVIK_BUILD_TESTS=OFF > /dev/null
	cmake --build $(BENCH_DIR) -j $(JOBS) --target $(BENCH_TARGETS)
	tools/bench.sh $(BENCH_DIR)
