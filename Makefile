# The two commands that matter: `make run` and `make test`.
BUILD_DIR ?= build
ARGS ?=
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

PREFIX ?= /usr/local

# The checked builds live in folders of their own (see CMakeLists.txt).
ASAN_DIR ?= build-asan
FUZZ_DIR ?= build-fuzz
ASAN_CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG"
# Any report fails the test, leaks included; tests/ubsan.supp lists the
# undefined-behaviour reports that come from Qt's headers.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:suppressions=$(CURDIR)/tests/ubsan.supp

.PHONY: run test build deps configure bench clean install screenshots test-asan fuzz

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS) > /dev/null

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/tolvane $(ARGS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja $(ASAN_CMAKE_FLAGS) -DTOLVANE_SANITIZE=ON > /dev/null
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS (60) seconds: tests/fuzz/run.sh.
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_COMPILER=clang++ -DTOLVANE_FUZZ=ON > /dev/null
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	tests/fuzz/run.sh $(FUZZ_DIR)

bench: build
	@set -e; for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; $$b; done

bench-%: build
	$(BUILD_DIR)/bench/bench_$*

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

screenshots: build
	./scripts/screenshots

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
