# Thin wrapper: the build is CMake + Ninja.
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_RUNS ?= 20000
JOBS ?= $(shell nproc)

.PHONY: all deps build build-asan build-tsan test test-normal test-asan test-tsan fuzz bench run package screens clean format

all: build

deps:
	scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIRELO_SANITIZE=ON

$(TSAN_BUILD)/build.ninja:
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIRELO_TSAN=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

build-tsan: deps $(TSAN_BUILD)/build.ninja
	cmake --build $(TSAN_BUILD) -j $(JOBS)

# Every test, in the normal build and under AddressSanitizer + UndefinedBehaviorSanitizer; the
# tests that start threads also under ThreadSanitizer; a bounded run of each fuzzer.
test: test-normal test-asan test-tsan fuzz

test-normal: build
	cd $(BUILD) && ctest --output-on-failure

test-asan: build-asan
	cd $(ASAN_BUILD) && ctest --output-on-failure

test-tsan: build-tsan
	cd $(TSAN_BUILD) && ctest --output-on-failure

$(FUZZ_BUILD)/build.ninja:
	cmake -S tests/fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++

# What other programs send Mirelo (AT-SPI replies, the sign-in redirect), FUZZ_RUNS inputs each.
fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for f in $(FUZZ_BUILD)/fuzz_*; do \
	  name=$${f##*/fuzz_}; seeds=tests/fuzz/corpus/$$(echo $$name | tr _ -); corpus=""; \
	  if [ -d $$seeds ]; then corpus=$(FUZZ_BUILD)/corpus-$$name; rm -rf $$corpus; cp -r $$seeds $$corpus; fi; \
	  echo "fuzz: $$f"; $$f -runs=$(FUZZ_RUNS) -seed=1 -max_len=4096 $$corpus || exit 1; \
	done

bench: build
	@if [ -x $(BUILD)/bench/mirelo_bench ]; then $(BUILD)/bench/mirelo_bench; else echo "bench: nothing to measure yet"; fi
	@if [ -x $(BUILD)/bench/trigger/mirelo_bench_trigger ]; then tests/desktop/session $(BUILD)/bench/trigger/mirelo_bench_trigger; fi
	@if [ -x $(BUILD)/bench/accessibility/mirelo_bench_accessibility ]; then tests/desktop/session $(BUILD)/bench/accessibility/mirelo_bench_accessibility; fi
	@if [ -x $(BUILD)/bench/kb/mirelo_bench_kb ]; then MIRELO_BACKEND=$(abspath $(BUILD))/tools/backend/mirelo-backend tests/desktop/session $(BUILD)/bench/kb/mirelo_bench_kb; fi
	@if [ -x $(BUILD)/bench/app/mirelo_bench_app ]; then MIRELO_BUILD_DIR=$(abspath $(BUILD)) MIRELO_BACKEND=$(abspath $(BUILD))/tools/backend/mirelo-backend tests/desktop/session $(BUILD)/bench/app/mirelo_bench_app; fi

# Screenshots of the status window, the tray menu, the caret panels and the dashboard, on Xvfb.
screens: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target mirelo_status_demo mirelo_dashboard_demo mirelo_icons
	mkdir -p $(BUILD)/screens
	tests/desktop/session $(BUILD)/tools/screens/mirelo_status_demo --screens $(abspath $(BUILD))/screens
	tests/desktop/session $(BUILD)/tools/screens/mirelo_dashboard_demo --screens $(abspath $(BUILD))/screens

# Mirelo on the stand-in backend (on Xvfb when there is no display).
run: build
	BUILD=$(BUILD) scripts/run

# A .deb of the normal build, in $(BUILD); its Depends come from the libraries it links.
package: build
	cd $(BUILD) && cpack -G DEB

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
