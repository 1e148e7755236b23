# The two commands of the README. Each installs what it needs on a fresh Debian machine.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps configure build test run bench package clean

deps:
	./tools/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure --timeout 300 -j $(JOBS) --repeat until-pass:3

run: build
	./tools/run-demo.sh $(BUILD)

# The Debian package, built by CPack into the build folder.
package: build
	cd $(BUILD) && cpack -G DEB

bench: build
	./tools/run-bench.sh $(BUILD)

clean:
	rm -rf $(BUILD)
