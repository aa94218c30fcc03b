# The two ways in: `make demo` runs the tool against the simulated converter,
# `make test` builds and runs every test. Both install missing Debian packages.

BUILD ?= build
CMAKE_FLAGS ?=

BUILD_PACKAGES = cmake ninja-build g++ qt6-base-dev qt6-serialport-dev \
                 fonts-liberation fonts-dejavu-core
DEMO_PACKAGES = $(BUILD_PACKAGES) qt6-qpa-plugins

.PHONY: all build deps demo test clean

all: build

deps:
	@tools/install-deps.sh $(BUILD_PACKAGES)

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

demo: build
	@tools/install-deps.sh $(DEMO_PACKAGES)
	tools/demo.sh $(BUILD)

test: build
	ctest --test-dir $(BUILD) --output-on-failure

clean:
	rm -rf $(BUILD)
