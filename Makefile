# Front door: `make run` scans your home folder, `make test` runs the tests.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
CMAKE_FLAGS ?=

# Tests never touch the real home: every XDG folder points into the build.
TEST_ROOT := $(abspath $(BUILD))/test-env
TEST_ENV := XDG_RUNTIME_DIR=$(TEST_ROOT)/runtime XDG_CACHE_HOME=$(TEST_ROOT)/cache \
            XDG_DATA_HOME=$(TEST_ROOT)/data XDG_CONFIG_HOME=$(TEST_ROOT)/config \
            XDG_STATE_HOME=$(TEST_ROOT)/state QT_QPA_PLATFORM=offscreen

.PHONY: all deps configure build run test bench sanitize-test clean

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
	$(BUILD)/cli/tidewell-cli scan "$$HOME" --depth 2

test: build
	@rm -rf $(TEST_ROOT) && mkdir -p $(TEST_ROOT)/runtime && chmod 700 $(TEST_ROOT)/runtime
	cd $(BUILD) && env $(TEST_ENV) ctest --output-on-failure

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

# The core tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize-test: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DTIDEWELL_SANITIZE=address,undefined \
	      -DTIDEWELL_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) --target core_tests tidewell-cli
	cd $(SANITIZE_BUILD) && ctest -L core --output-on-failure

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
