# The two ways in: `make demo` runs the tool against the simulated converter,
# `make test` builds and runs every test. Both install the Debian packages they
# need when missing (with sudo when not root).
#
# make test runs, in order: the tests of the normal build (the soak included),
# the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
# and each fuzz target for FUZZ_SECONDS. Parts of it on their own:
#   make check            the normal build's tests
#   make check-sanitize   the sanitizer build's tests
#   make fuzz             the fuzz targets
#   make bench            the benchmarks (figures, no pass or fail)
#   make bench-report     adreport over 500,000 and 5,000,000 records (slow)
#   make package          a Debian package in $(BUILD), checked by lintian

BUILD ?= build
SANITIZE_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
SOAK_SECONDS ?= 60
SANITIZE_SOAK_SECONDS ?= 20

BUILD_PACKAGES = cmake ninja-build g++ qt6-base-dev qt6-serialport-dev qt6-qpa-plugins \
                 fonts-liberation fonts-dejavu-core scdoc appstream desktop-file-utils \
                 libtomlplusplus-dev pkg-config libqt6sql6-sqlite libqt6sql6-psql postgresql \
                 libfftw3-dev nlohmann-json3-dev
# The fuzz targets build with the clang each Debian release ships:
# 14 on Debian 12, 19 on Debian 13. `make fuzz CLANG_VERSION=N` picks another.
DEBIAN_RELEASE := $(shell . /etc/os-release 2>/dev/null && echo "$$VERSION_ID")
CLANG_VERSION ?= $(if $(filter 13,$(DEBIAN_RELEASE)),19,14)
FUZZ_PACKAGES = cmake ninja-build clang-$(CLANG_VERSION) libclang-rt-$(CLANG_VERSION)-dev
PACKAGE_PACKAGES = dpkg-dev lintian

.PHONY: all build demo test check check-sanitize fuzz bench bench-report package clean

all: build

$(BUILD)/build.ninja:
	@scripts/install-deps.sh $(BUILD_PACKAGES)
	cmake -S . -B $(BUILD) -G Ninja -DADTEST_WERROR=ON

build: $(BUILD)/build.ninja
	@scripts/install-deps.sh $(BUILD_PACKAGES)
	cmake --build $(BUILD)

# The desktop check comes first, so that a session without one learns it
# before a long build.
demo:
	@scripts/demo.sh --check-display
	@$(MAKE) --no-print-directory build
	scripts/demo.sh $(BUILD)

test: check check-sanitize fuzz

check: build
	ADTEST_SOAK_SECONDS=$(SOAK_SECONDS) ctest --test-dir $(BUILD) --output-on-failure

check-sanitize:
	@scripts/install-deps.sh $(BUILD_PACKAGES)
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DADTEST_SANITIZE=ON -DADTEST_WERROR=ON \
	    -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(SANITIZE_BUILD)
	ADTEST_SOAK_SECONDS=$(SANITIZE_SOAK_SECONDS) ctest --test-dir $(SANITIZE_BUILD) --output-on-failure

fuzz:
	@scripts/install-deps.sh $(FUZZ_PACKAGES)
	CXX=clang++-$(CLANG_VERSION) cmake -S . -B $(FUZZ_BUILD) -G Ninja -DADTEST_GUI=OFF \
	    -DADTEST_FUZZ=ON -DBUILD_TESTING=OFF -DADTEST_WERROR=ON
	cmake --build $(FUZZ_BUILD)
	scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	$(BUILD)/bench_acquisition
	$(BUILD)/bench_line_rate
	$(BUILD)/bench_plot
	$(BUILD)/bench_analysis
	$(BUILD)/bench_dynamic

bench-report: build
	$(BUILD)/bench_report

package: build
	@scripts/install-deps.sh $(PACKAGE_PACKAGES)
	rm -f $(BUILD)/adtest_*.deb
	cd $(BUILD) && cpack -G DEB
	lintian --fail-on error,warning $(BUILD)/adtest_*.deb

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
