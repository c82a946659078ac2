# Front door: `make run` opens Tidewell, `make test` runs the tests.
#
#   make screenshots     every screen and dialog as PNG files in $(BUILD)/screenshots/
#   make package         the Debian package, $(BUILD)/tidewell_VERSION_ARCH.deb
#   make test            the normal build (warnings are errors) and every test
#   make sanitize-test   every test again under AddressSanitizer and UndefinedBehaviorSanitizer
#   make tsan-test       the threaded core tests (ctest label tsan) under ThreadSanitizer
#   make fuzz            the tree cache fuzzer for FUZZ_SECONDS on its seed corpus
#   make ci              all four, as CI runs them
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

# Tests never touch the real home: every XDG folder points into the build folder.
test_env = XDG_RUNTIME_DIR=$(abspath $(1))/test-env/runtime \
           XDG_CACHE_HOME=$(abspath $(1))/test-env/cache \
           XDG_DATA_HOME=$(abspath $(1))/test-env/data \
           XDG_CONFIG_HOME=$(abspath $(1))/test-env/config \
           XDG_STATE_HOME=$(abspath $(1))/test-env/state QT_QPA_PLATFORM=offscreen

# The sanitizer runtimes stop at the first report and print where it came
# from; the leak checker runs with nothing left out. These are set for
# building too: test discovery runs the test programs.
SANITIZER_ENV = ASAN_OPTIONS=detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1 \
                UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
                TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

# Runs ctest in build folder $(1), with the arguments $(2), in a fresh test environment.
define run_ctest
	@rm -rf $(1)/test-env && mkdir -p $(1)/test-env/runtime && chmod 700 $(1)/test-env/runtime
	cd $(1) && env $(call test_env,$(1)) $(SANITIZER_ENV) ctest --output-on-failure $(2)
endef

# The sanitizer builds use clang, whose libFuzzer the fuzzer needs.
SANITIZE_CONFIGURE = cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
                     -DTIDEWELL_SANITIZE=address,undefined -DTIDEWELL_BUILD_BENCH=OFF $(CMAKE_FLAGS)

.PHONY: all deps configure build run screenshots package test bench sanitize-test tsan-test fuzz ci clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	@scripts/install-deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD)

run: build
	$(BUILD)/app/tidewell

# Offscreen, at device pixel ratio 1 and 2, on a demo tree in a throw-away home.
screenshots: build
	QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1 $(BUILD)/app/tidewell-screenshots $(BUILD)/screenshots
	QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 $(BUILD)/app/tidewell-screenshots $(BUILD)/screenshots

package: build
	cmake --build $(BUILD) --target package

test: build
	$(call run_ctest,$(BUILD))

bench: build
	bench/run-scan-bench $(BUILD)
	bench/run-cache-bench $(BUILD)
	env XDG_STATE_HOME=/tmp/tidewell-bench/state \
	    $(BUILD)/bench/tidewell-history-bench /tmp/tidewell-bench/tree-1000000 /tmp/tidewell-history-bench
	env XDG_STATE_HOME=/tmp/tidewell-bench/state XDG_DATA_HOME=/tmp/tidewell-bench/data \
	    XDG_CONFIG_HOME=/tmp/tidewell-bench/config \
	    $(BUILD)/bench/tidewell-model-bench /tmp/tidewell-bench/tree-1000000
	$(BUILD)/bench/tidewell-analysis-bench /tmp/tidewell-bench/tree-1000000
	$(BUILD)/bench/tidewell-map-bench
	$(BUILD)/bench/tidewell-list-bench
	bench/run-results-bench $(BUILD) /tmp/tidewell-bench/tree-1000000
	$(BUILD)/bench/tidewell-panel-bench
	bench/run-startup-bench $(BUILD)/app/tidewell
	test -d /tmp/tidewell-bench/sheets/tree || \
	    $(BUILD)/bench/tidewell-gentree /tmp/tidewell-bench/sheets/tree 1000000 --seed 1
	$(BUILD)/bench/tidewell-sheet-bench /tmp/tidewell-bench/sheets

# Every test, the Qt layers too, under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize-test: deps
	$(SANITIZE_CONFIGURE)
	env $(SANITIZER_ENV) cmake --build $(SANITIZE_BUILD)
	$(call run_ctest,$(SANITIZE_BUILD))

# The tests of the threaded core (scanner, recorder, journal) under ThreadSanitizer.
tsan-test: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
	      -DTIDEWELL_SANITIZE=thread -DTIDEWELL_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	env $(SANITIZER_ENV) cmake --build $(TSAN_BUILD) --target core_tests
	$(call run_ctest,$(TSAN_BUILD),-L tsan)

# The tree cache reader under libFuzzer. New inputs go to the build folder;
# the seeds are only read. A finding is left as $(SANITIZE_BUILD)/fuzz-crash-*.
fuzz: deps
	$(SANITIZE_CONFIGURE)
	cmake --build $(SANITIZE_BUILD) --target tree_cache_fuzz
	@mkdir -p $(SANITIZE_BUILD)/fuzz-corpus
	$(SANITIZE_BUILD)/tests/fuzz/tree_cache_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -print_final_stats=1 -artifact_prefix=$(SANITIZE_BUILD)/fuzz- \
	    $(SANITIZE_BUILD)/fuzz-corpus tests/fuzz/corpus/tree_cache

ci: test sanitize-test tsan-test fuzz

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD)
