# The two quick-start commands: `make run` (the desktop program on a simulated controller) and
# `make test` (installs what is missing, builds, runs every test).
BUILD_DIR ?= build
BUILD_TYPE ?= Debug
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)
JOBS ?= 2
# Where `make install` puts the programs; DESTDIR=/some/stage is honoured as usual.
PREFIX ?= /usr/local

.PHONY: all deps configure build test run install package screenshots bench format clean

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) > /dev/null

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

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
	rm -rf $(BUILD_DIR)

bench: build
	$(BUILD_DIR)/bench/dravik-bench-download
