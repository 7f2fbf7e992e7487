# Thin wrapper around CMake.
#   make            Release build of the program and its tools into build/
#   make test       build everything, the tests included, and run them (ctest)
#   make demo       build only tolmek and the signal generator (quietly),
#                   convert a generated example into demo/ and print the report
#   make deb        Debian package tolmek_VERSION_ARCH.deb in build/
#   make quality    pass-band ripple, aliases and delay of both modes
#   make test SANITIZE=address,undefined   the same suite in build-address-undefined/
#   make windows    64-bit Windows program, cross-built: build-windows/tolmek.exe
#   make windows32  32-bit Windows program: build-windows32/tolmek.exe
#   make test-windows   the test programs cross-built and run under Wine
#   make dist-windows   tolmek-VERSION-win64.zip and tolmek-VERSION-win32.zip
# Only `make test` and `make test-windows` build the tests, so only they need GoogleTest.
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

.PHONY: all build configure test demo install deb quality clean bench bench-compare \
	windows windows32 test-windows dist-windows

all: build

configure:
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DTOLMEK_SANITIZE=$(SANITIZE) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(TESTS_ARG) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: TESTS_ARG = -DTOLMEK_TESTS=ON
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# Quiet: no directory or progress lines, only what the compiler says.
demo: configure
	@echo "Building $(BUILD_DIR)/tolmek and the signal generator..."
	@sh tools/quiet_build.sh $(BUILD_DIR) $(JOBS) tolmek gen_signal
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

# Windows, cross-built with MinGW-w64 (tests off: the program only).
WINDOWS_CMAKE = cmake -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS)

windows:
	@$(WINDOWS_CMAKE) -S . -B build-windows -DTOLMEK_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
	@cmake --build build-windows -j $(JOBS) --target tolmek

windows32:
	@$(WINDOWS_CMAKE) -S . -B build-windows32 -DTOLMEK_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake >/dev/null
	@cmake --build build-windows32 -j $(JOBS) --target tolmek

# The test programs cross-built (GoogleTest from its Debian source package)
# and run by ctest through Wine, with one wine server kept up for the whole
# run and a Wine prefix of its own; then a matrix of conversions must give
# the same bytes and reports as the Linux program of $(BUILD_DIR).
# WINE_TESTS_ARCH=i686 for the 32-bit build where a 32-bit Wine is installed.
# A test that fails is run once more: Wine now and then fails to start a
# test program at all (no output, 0 s); a real failure fails twice.
WINE_TESTS_ARCH ?= x86_64
WINE_TESTS_DIR = build-windows-tests-$(WINE_TESTS_ARCH)
test-windows: build
	@$(WINDOWS_CMAKE) -S . -B $(WINE_TESTS_DIR) -DTOLMEK_TESTS=ON \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$(WINE_TESTS_ARCH).cmake >/dev/null
	@sh tools/wine_env.sh $(WINE_TESTS_DIR) cmake --build $(WINE_TESTS_DIR) -j $(JOBS)
	cd $(WINE_TESTS_DIR) && sh ../tools/wine_env.sh . \
	  ctest --output-on-failure --repeat until-pass:2 -j $(JOBS) $(CTEST_ARGS)
	@sh tools/wine_env.sh $(WINE_TESTS_DIR) sh tools/windows_same_bytes.sh \
	  $(BUILD_DIR)/tolmek $(BUILD_DIR)/tools/gen_signal $(WINE_TESTS_DIR)/tolmek.exe

TOLMEK_VERSION := $(shell grep '^project' CMakeLists.txt | grep -o 'VERSION [0-9.]*' | cut -d ' ' -f 2)
dist-windows: windows windows32
	@sh tools/dist_windows.sh $(TOLMEK_VERSION)

clean:
	rm -rf build build-* demo tolmek-*-win*.zip
