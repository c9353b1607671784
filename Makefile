# The front door. Every target installs what is missing, configures, builds and runs.
BUILD ?= build
JOBS  ?= $(shell nproc)
MAKEFLAGS += --no-print-directory
CMAKE_FLAGS ?=
# ccache, when installed, keeps a second build of the same sources (the
# sanitizer build of make test, another clone) from compiling them again.
CCACHE := $(shell command -v ccache 2>/dev/null)
ifneq ($(CCACHE),)
CMAKE_FLAGS += -DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE)
export CCACHE_BASEDIR := $(CURDIR)
# The test programs use a precompiled header; these let ccache cache them too.
export CCACHE_SLOPPINESS := pch_defines,time_macros
endif

.PHONY: all deps configure build test soak demo bench fuzz run install package clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

# The programs, their manual pages and documentation files: what the package
# holds. Test programs, benchmarks and fuzz targets have targets of their own.
build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Every test, through CTest: in the normal build, then once more with
# AddressSanitizer and UndefinedBehaviorSanitizer. The sanitizer build makes
# only the test programs and what they run, without the windows (their tests
# run in the normal build). CI also builds the fuzz targets with clang after
# this (.ci/run), so that neither they nor the core stop building with it
# unnoticed.
test: build
	@cmake --build $(BUILD) -j $(JOBS) --target tallyglass_tests
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYGLASS_SANITIZE=ON \
	  -DTALLYGLASS_BENCH=OFF -DTALLYGLASS_DESKTOP=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-asan -j $(JOBS) --target tallyglass_tests
	@cd build-asan && ctest --output-on-failure -j $(JOBS)

# The long noise soak: many rounds of the sample through the emulator's noisy
# line, then the integrity figures over 10,000 documents at 0.1 %, 0.3 % and
# 1 % noise (SOAK_FIGURES="--documents 1000" for a shorter run).
SOAK_ROUNDS ?= 30
SOAK_FIGURES ?=
soak: configure
	@cmake --build $(BUILD) -j $(JOBS) --target hardening_tests noise_figures
	@TALLYGLASS_SOAK_ROUNDS=$(SOAK_ROUNDS) $(BUILD)/tests/hardening/hardening_tests --gtest_filter='NoiseSoak.*'
	@$(BUILD)/tests/hardening/noise_figures $(SOAK_FIGURES)

# The program's main job without a register: the emulator with the sample journal.
# Builds only what it runs: the CLI, and the desktop program when there is a display.
DEMO_TARGETS = tallyglass-cli $(if $(DISPLAY)$(WAYLAND_DISPLAY),tallyglass)
demo: configure
	@cmake --build $(BUILD) -j $(JOBS) --target $(DEMO_TARGETS)
	@scripts/demo $(BUILD)

# Benchmarks, built in Release.
bench: deps
	@cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-release -j $(JOBS) --target tallyglass_bench
	@scripts/bench-report build-release

# Every fuzz target for 60 s (clang, ASan + UBSan); FUZZ_SECONDS to change it.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/fuzz $(FUZZ_SECONDS)

# The desktop program for a real register. Its fpinit.ini and work files
# (temp.xml, error.log) live in $(BUILD)/run.
run: build
	@mkdir -p $(BUILD)/run && cd $(BUILD)/run && "$(abspath $(BUILD))/src/app/tallyglass"

# The programs, menu entry, icon, manual pages and bash completion under
# PREFIX (DESTDIR is honoured for staging).
PREFIX ?= /usr/local
install: build
	@cmake --install $(BUILD) --prefix "$(abspath $(PREFIX))"

# A .deb with its dependencies computed from the binaries (dpkg-shlibdeps).
package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) build-asan build-release build-fuzz
