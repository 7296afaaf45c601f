# Front end over CMake. `make demo` and `make test` are all a new user needs.
BUILD   ?= build
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE   ?= cmake
CTEST   ?= ctest

.PHONY: all demo test deps release check sanitize bench clean

all: release

deps:
	@sh scripts/ensure-deps

# Release build, then every example converted and shown.
release: deps
	$(CMAKE) -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release -DVARNEL_TESTS=OFF
	$(CMAKE) --build $(BUILD)/release -j $(JOBS)

demo: release
	@sh scripts/demo $(BUILD)/release

# The whole suite twice: a warnings-as-errors build, then the sanitizers.
test: check sanitize

check: deps
	$(CMAKE) -S . -B $(BUILD)/check -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_WERROR=ON
	$(CMAKE) --build $(BUILD)/check -j $(JOBS)
	cd $(BUILD)/check && $(CTEST) --output-on-failure -j $(JOBS)

sanitize: deps
	$(CMAKE) -S . -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=Debug -DVARNEL_WERROR=ON -DVARNEL_SANITIZE=ON
	$(CMAKE) --build $(BUILD)/sanitize -j $(JOBS)
	cd $(BUILD)/sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		$(CTEST) --output-on-failure -j $(JOBS)

bench: deps
	$(CMAKE) -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DVARNEL_TESTS=OFF -DVARNEL_BENCH=ON
	$(CMAKE) --build $(BUILD)/bench -j $(JOBS)

clean:
	rm -rf $(BUILD)
