# The two entry points of the README: `make demo` and `make test`.
# Both install what they need first (scripts/install-deps.sh is quick when nothing is missing).

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=
# `make fuzz`: the libFuzzer build and how long each target runs.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60

# `make windows` / `make test-windows`: the MinGW-w64 cross build, its package and its suites
# under wine. QT_WINDOWS_PREFIX names an existing Qt 6 for MinGW-w64; without it Qt is built
# once from Debian's source into ~/.cache/quorvex (scripts/build-qt-windows.sh).
WINDOWS_BUILD ?= build-windows

.PHONY: all deps configure build test demo bench clean sanitize fuzz windows test-windows

all: build

deps:
	bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

configure: $(BUILD)/CMakeCache.txt

build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

demo: build
	bash scripts/demo.sh $(BUILD)/bin

bench: build
	bash bench/run.sh $(BUILD)/bin

sanitize:
	$(MAKE) test BUILD=build-asan BUILD_TYPE=Debug CMAKE_ARGS=-DQUORVEX_SANITIZE=ON

# Every fuzz target for FUZZ_SECONDS each; fails on any finding (scripts/fuzz.sh lists the
# other knobs). Builds with clang, address + undefined-behaviour sanitizers, in $(FUZZ_BUILD).
fuzz:
	bash scripts/install-deps.sh --fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DQUORVEX_FUZZ=ON -DQUORVEX_BUILD_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target quorvex_fuzz
	bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

windows:
	bash scripts/install-deps.sh --windows
	bash scripts/build-windows.sh $(WINDOWS_BUILD)

# The suites of the Windows build under wine, then the package's quorvex-cli.exe against the
# Linux build's (the same files but for the path form).
test-windows: windows build
	bash scripts/test-windows.sh $(WINDOWS_BUILD) $(BUILD)/bin

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD)
