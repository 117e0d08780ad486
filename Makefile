# Entry points for a fresh Debian 12 machine: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
SUDO       := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# Debian packages the build, the tests and the program need.
PACKAGES := build-essential cmake ninja-build pkg-config \
            qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-qpa-plugins \
            libgl-dev xvfb xauth iputils-ping fping fonts-dejavu-core fonts-wqy-microhei \
            postgresql libqt6sql6-psql \
            help2man lintian appstream desktop-file-utils \
            libzint-dev libzxing-dev

# Coverage needs gcovr besides the packages above.
COVERAGE_PACKAGES := gcovr
COV_BUILD ?= build-coverage

# Fuzzing needs clang and libFuzzer besides the packages above.
FUZZ_PACKAGES := clang-15 libfuzzer-15-dev
FUZZ_SECONDS  ?= 60

.PHONY: all deps configure build run test test-asan test-asan-core coverage fuzz clean

all: build

deps:
	@if ! dpkg -s $(PACKAGES) >/dev/null 2>&1; then \
	  $(SUDO) apt-get update && $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y $(PACKAGES); \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G Ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Starts the program from the staged runtime tree (uses the X display, or Xvfb when there is none).
run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD)/runtime/bin/quillon; \
	else \
	  echo "No display: starting under xvfb-run"; xvfb-run -a $(BUILD)/runtime/bin/quillon; \
	fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The benchmarks are left out: they are never run as tests.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON -DQUILLON_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# The readers of outside data and the saves under the sanitizers: the part of
# test-asan that CI can afford beside the full run.
ASAN_CORE_TESTS := test_model_core test_model_formats test_model_text test_model_textbuild \
                   test_replay test_crashsave test_transfer_protocol test_platform_files
test-asan-core: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON -DQUILLON_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target $(ASAN_CORE_TESTS) robust-saver
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -R '^($(subst $(eval) ,|,$(strip $(ASAN_CORE_TESTS))))$$'

# Line coverage of src/ and tools/ by the whole suite, in its own build folder.
coverage: deps
	@if ! dpkg -s $(COVERAGE_PACKAGES) >/dev/null 2>&1; then \
	  $(SUDO) apt-get update && $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y $(COVERAGE_PACKAGES); \
	fi
	cmake -S . -B $(COV_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLON_COVERAGE=ON -DQUILLON_BENCH=OFF
	cmake --build $(COV_BUILD) -j $(JOBS)
	find $(COV_BUILD) -name '*.gcda' -delete
	cd $(COV_BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	gcovr -r . --filter 'src/' --filter 'tools/' --print-summary $(COV_BUILD)

# Builds the fuzz targets in build-fuzz and runs each for FUZZ_SECONDS; crashes
# are minimised into tests/corpus/, which `make test` replays.
fuzz: deps
	@if ! dpkg -s $(FUZZ_PACKAGES) >/dev/null 2>&1; then \
	  $(SUDO) apt-get update && $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y $(FUZZ_PACKAGES); \
	fi
	FUZZ_SECONDS=$(FUZZ_SECONDS) ./fuzz/run-fuzzers.sh

# The Debian package of the program, built into $(BUILD)/.
.PHONY: package
package: build
	cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(COV_BUILD)
