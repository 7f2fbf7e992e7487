# Thin wrapper around CMake.
#   make            Release build of the program and its tools into build/
#   make test       build everything, the tests included, and run them (ctest)
#   make demo       build only tolmek and the signal generator, convert a
#                   generated example and print the report
#   make deb        Debian package tolmek_VERSION_ARCH.deb in build/
#   make quality    pass-band ripple, aliases and delay of both modes
#   make test SANITIZE=address,undefined   the same suite in build-address-undefined/
# Only `make test` builds the tests, so only it needs GoogleTest.
comma := ,
SANITIZE ?=
PREFIX ?= /usr/local
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

ifeq ($(SANITIZE),)
BUILD_DIR ?= build
BUILD_TYPE ?= Release
else
BUILD_DIR ?= build-$(subst $(comma),-,$(SANITIZE))
BUILD_TYPE ?= RelWithDebInfo
endif

CTEST_ARGS ?=
# Set by `make test` only: the tests and GoogleTest stay out of the others.
TESTS_ARG :=

.PHONY: all build configure test demo install deb quality clean bench bench-compare

all: build

configure:
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DTOLMEK_SANITIZE=$(SANITIZE) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(TESTS_ARG) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: TESTS_ARG = -DTOLMEK_TESTS=ON
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

demo: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target tolmek gen_signal
	@sh tools/demo.sh $(BUILD_DIR)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The package installs under /usr whatever PREFIX says.
deb: build
	@cd $(BUILD_DIR) && cpack -G DEB

quality: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target tolmek gen_signal quality_analysis
	@bash bench/quality.sh $(BUILD_DIR)

bench:
	@$(MAKE) build BUILD_DIR=build-bench CMAKE_ARGS="-DTOLMEK_BENCH=ON -DTOLMEK_TESTS=OFF"

# Converts a generated 10-minute file with tolmek and the installed peers;
# writes bench/RESULTS.md. BENCH_SECONDS=60 for a quick check,
# BENCH_ARGS=--install-peers to apt-get the missing peers first.
bench-compare: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target tolmek gen_signal
	@bash bench/compare.sh $(BENCH_ARGS) $(BUILD_DIR)

clean:
	rm -rf build build-*
