# Thin wrapper: the build is CMake + Ninja.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: all deps build build-asan test test-normal test-asan bench run clean format

all: build

deps:
	scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIRELO_SANITIZE=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# Every test, in the normal build and under AddressSanitizer + UndefinedBehaviorSanitizer.
test: test-normal test-asan

test-normal: build
	cd $(BUILD) && ctest --output-on-failure

test-asan: build-asan
	cd $(ASAN_BUILD) && ctest --output-on-failure

bench: build
	@if [ -x $(BUILD)/bench/mirelo_bench ]; then $(BUILD)/bench/mirelo_bench; else echo "bench: nothing to measure yet"; fi
	@if [ -x $(BUILD)/bench/trigger/mirelo_bench_trigger ]; then tests/desktop/session $(BUILD)/bench/trigger/mirelo_bench_trigger; fi
	@if [ -x $(BUILD)/bench/accessibility/mirelo_bench_accessibility ]; then tests/desktop/session $(BUILD)/bench/accessibility/mirelo_bench_accessibility; fi
	@if [ -x $(BUILD)/bench/kb/mirelo_bench_kb ]; then MIRELO_BACKEND=$(abspath $(BUILD))/tools/backend/mirelo-backend tests/desktop/session $(BUILD)/bench/kb/mirelo_bench_kb; fi

# Mirelo on the stand-in backend (on Xvfb when there is no display).
run: build
	BUILD=$(BUILD) scripts/run

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
