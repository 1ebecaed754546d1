# Two commands for a fresh Debian 12 machine: `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# Extra CMake options for the first configuration, e.g. -DLYRAFOLD_WERROR=ON (as CI builds).
CMAKE_ARGS ?=

.PHONY: all deps configure build run test bench format format-check clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

DEMO_PROFILE ?= $(BUILD_DIR)/demo/profile

# Starts Lyrafold on a demo profile of its own (its Default slot holds the built-in list matched to the
# demo books), never on your own library. Start `$(BUILD_DIR)/src/app/lyrafold` for that.
run: build
	eval "$$($(BUILD_DIR)/tools/demo-profile/lyrafold-demo-profile --profile '$(DEMO_PROFILE)' \
		--books '$(BUILD_DIR)/demo/books')" && '$(BUILD_DIR)/src/app/lyrafold'

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

bench: build
	$(BUILD_DIR)/bench/lyrafold-bench

format:
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i

format-check:
	scripts/check-format.sh

clean:
	rm -rf $(BUILD_DIR)
