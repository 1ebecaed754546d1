# Two commands for a fresh Debian 12 machine: `make run` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# Extra CMake options for the first configuration, e.g. -DLYRAFOLD_WERROR=ON (as CI builds).
CMAKE_ARGS ?=

.PHONY: all deps configure build run test test-asan test-ubsan bench format format-check fuzz crashtest writerstest clean

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
# Only what it needs is built first: the application, the demo profile tool and the demo books.
run: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target lyrafold lyrafold-demo-profile lyrafold-demo-books
	eval "$$($(BUILD_DIR)/tools/demo-profile/lyrafold-demo-profile --profile '$(DEMO_PROFILE)' \
		--books '$(BUILD_DIR)/demo/books')" && '$(BUILD_DIR)/src/app/lyrafold'

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The suite under a sanitizer, each in a build folder of its own (ccache keeps their objects apart).
# AddressSanitizer and UndefinedBehaviorSanitizer are never combined: gcc 12 miscompiles the demo-book
# tool with both. SANITIZE_TESTS narrows a run to some test folders, for example
# `make test-asan SANITIZE_TESTS="tests/core tests/pdf"`: only what those tests need is built.
ASAN_DIR ?= build-asan
UBSAN_DIR ?= build-ubsan
SANITIZE_TESTS ?= tests
export ASAN_OPTIONS ?= detect_leaks=1:check_initialization_order=1:strict_string_checks=1
export LSAN_OPTIONS ?= suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS ?= halt_on_error=1:print_stacktrace=1

# Sanitized builds of the default build type are optimised lightly and keep line tables only: reports
# still name file and line, and the build takes about half the time of -O2 -g.
SANITIZE_OPT ?= -O1 -g1

# $(call sanitized-test,<build folder>,<compiler and linker flags>)
define sanitized-test
	cmake -S . -B $(1) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DLYRAFOLD_BUILD_BENCH=OFF $(CMAKE_ARGS) \
		-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(SANITIZE_OPT) -DNDEBUG" \
		-DCMAKE_CXX_FLAGS="$(2)" -DCMAKE_EXE_LINKER_FLAGS="$(2)" -DCMAKE_SHARED_LINKER_FLAGS="$(2)"
	cmake --build $(1) -j $(JOBS) --target $(addsuffix /all,$(SANITIZE_TESTS))
	status=0; for tests in $(SANITIZE_TESTS); do \
		QT_QPA_PLATFORM=offscreen ctest --test-dir $(1)/$$tests --output-on-failure -j $(JOBS) || status=1; \
	done; exit $$status
endef

# Under AddressSanitizer gcc 12 takes some std::optional values for uninitialised where they are not.
test-asan: deps
	$(call sanitized-test,$(ASAN_DIR),-fsanitize=address -fno-omit-frame-pointer -Wno-maybe-uninitialized)

test-ubsan: deps
	$(call sanitized-test,$(UBSAN_DIR),-fsanitize=undefined -fno-omit-frame-pointer)

bench: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target lyrafold-bench
	$(BUILD_DIR)/bench/lyrafold-bench

format:
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i

format-check:
	scripts/check-format.sh

# Fuzzing: a clang build of its own (libFuzzer, address and undefined-behaviour sanitizers); the PDF
# and picture targets, which clang cannot build, run blind from the plain build. Each fuzz target runs over its kept
# inputs, then for FUZZ_SECONDS.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60

$(FUZZ_DIR)/build.ninja: CMakeLists.txt
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DLYRAFOLD_FUZZ=ON -DLYRAFOLD_BUILD_BENCH=OFF

fuzz: configure $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz-targets
	cmake --build $(BUILD_DIR) -j $(JOBS) --target fuzz_pdf fuzz_picture
	scripts/fuzz.sh $(FUZZ_DIR) $(BUILD_DIR) $(FUZZ_SECONDS)

# Kills a process that saves a 100,000-bookmark slot 1,000 times, at random moments, and checks the
# slot file after each kill.
crashtest: build
	LYRAFOLD_CRASHTEST_ITERATIONS=1000 LYRAFOLD_CRASHTEST_BOOKMARKS=100000 QTEST_FUNCTION_TIMEOUT=14400000 \
		$(BUILD_DIR)/tests/core/tst_savecrash

# Another process writes the playlists file 1,000 times (atomically, and every fourth time in place
# with a pause) while the library edits, and then a program without Lyrafold's lock does (1,000 times
# atomically, 50 times in place pausing 1.5 s, 250 times removing and creating the file); nothing either
# adds may be lost, and nothing set aside.
writerstest: build
	LYRAFOLD_WRITERS_ROUNDS=1000 QTEST_FUNCTION_TIMEOUT=14400000 $(BUILD_DIR)/tests/core/tst_playlistwriters

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(UBSAN_DIR) $(FUZZ_DIR)
