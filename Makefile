# Thin wrapper around CMake.
#   make            Release build into build/
#   make test       build and run every test (ctest)
#   make demo       build, convert a generated example and print the report
#   make test SANITIZE=address,undefined   the same suite in build-address-undefined/
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

.PHONY: all build configure test demo install clean bench bench-compare

all: build

configure:
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	  -DTOLMEK_SANITIZE=$(SANITIZE) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

demo: build
	@sh tools/demo.sh $(BUILD_DIR)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

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
