# SPDX-License-Identifier: MIT
# Front end over CMake. `make demo` and `make test` are all a new user needs.
BUILD   ?= build
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE   ?= cmake
CTEST   ?= ctest
CPACK   ?= cpack

.PHONY: all demo test deps test-deps release package dist docs check sanitize fuzz fuzz-smoke bench coverage clean

all: release

deps:
	@sh scripts/ensure-deps

# What only the tests need beside the build: lintian and doxygen.
test-deps:
	@sh scripts/ensure-deps --test

# Release build, then every example converted and shown.
release: deps
	$(CMAKE) -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release -DVARNEL_TESTS=OFF
	$(CMAKE) --build $(BUILD)/release -j $(JOBS)

demo: release
	@sh scripts/demo $(BUILD)/release

# The Debian packages varnel and libvarnel-dev, from a Release build of
# their own configured for /usr; left in $(BUILD)/package.
package: deps
	$(CMAKE) -S . -B $(BUILD)/package -DCMAKE_BUILD_TYPE=Release -DVARNEL_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr
	$(CMAKE) --build $(BUILD)/package -j $(JOBS)
	cd $(BUILD)/package && $(CPACK) -G DEB

# The source release: the committed tree under varnel-VERSION/.
VERSION := $(shell awk '/^project/ { for (i = 1; i < NF; i++) if ($$i == "VERSION") print $$(i + 1) }' CMakeLists.txt)
dist:
	@mkdir -p $(BUILD)
	git archive --format=tar.gz --prefix=varnel-$(VERSION)/ -o $(BUILD)/varnel-$(VERSION).tar.gz HEAD
	@echo "$(BUILD)/varnel-$(VERSION).tar.gz"

# The API reference of both libraries, in $(BUILD)/docs/html.
docs: test-deps
	sh scripts/docs $(BUILD)/docs

# The whole suite twice: a warnings-as-errors build, then the sanitizers;
# then each fuzz target briefly, where Clang can build them.
test: check sanitize fuzz-smoke

check: deps test-deps
	$(CMAKE) -S . -B $(BUILD)/check -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_WERROR=ON \
		-DCMAKE_INSTALL_PREFIX=/usr
	$(CMAKE) --build $(BUILD)/check -j $(JOBS)
	cd $(BUILD)/check && $(CTEST) --output-on-failure -j $(JOBS)

sanitize: deps
	$(CMAKE) -S . -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=Debug -DVARNEL_WERROR=ON -DVARNEL_SANITIZE=ON
	$(CMAKE) --build $(BUILD)/sanitize -j $(JOBS)
	cd $(BUILD)/sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		$(CTEST) --output-on-failure -j $(JOBS)

# libFuzzer targets (fuzz/), built with Clang and the sanitizers, each run
# for FUZZ_SECONDS; new inputs collect in $(BUILD)/fuzz/fuzz-corpus.
CLANGXX      ?= clang++
FUZZ_SECONDS ?= 60
fuzz: deps
	$(CMAKE) -S . -B $(BUILD)/fuzz -DCMAKE_CXX_COMPILER=$(CLANGXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVARNEL_TESTS=OFF -DVARNEL_WERROR=ON -DVARNEL_FUZZ=ON
	$(CMAKE) --build $(BUILD)/fuzz -j $(JOBS)
	sh scripts/fuzz $(BUILD)/fuzz $(FUZZ_SECONDS)

fuzz-smoke:
	@if sh scripts/fuzz --can-build $(CLANGXX); then \
		$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=10; \
	else \
		echo "fuzz: skipped, $(CLANGXX) cannot link libFuzzer programs (Debian: clang, libclang-rt-14-dev)"; \
	fi

bench: deps
	$(CMAKE) -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release -DVARNEL_TESTS=OFF -DVARNEL_BENCH=ON
	$(CMAKE) --build $(BUILD)/bench -j $(JOBS)

# The functions of both programs that never ran, for the golden cases alone
# and for the whole suite; a report, not a gate.
coverage: deps
	python3 scripts/coverage $(BUILD)/coverage

clean:
	rm -rf $(BUILD)
