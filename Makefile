# The two commands that matter: `make run` and `make test`.
BUILD_DIR ?= build
ARGS ?=
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

PREFIX ?= /usr/local

.PHONY: run test build deps configure bench clean install screenshots

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

bench: build
	@set -e; for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; $$b; done

bench-%: build
	$(BUILD_DIR)/bench/bench_$*

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

screenshots: build
	./scripts/screenshots

clean:
	rm -rf $(BUILD_DIR)
