# Kirvane: quick start is `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
FUZZ_SECONDS ?= 20
STRESS_RUNS ?= 30
PREFIX     ?= /usr/local
DESTDIR    ?=

.PHONY: all deps build run test asan-test stress-ui fuzz fuzz-smoke bench-scan format clean \
        install uninstall deb e2e

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/kirvane

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Installs under PREFIX, or under DESTDIR/PREFIX for staging, and records the files it wrote
# (cmake's own install_manifest.txt is rewritten by `make deb`); `make uninstall` removes them.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt > $(BUILD)/installed-files.txt
	@$(MAKE) --no-print-directory desktop-database

uninstall:
	cmake -DLIST=$(BUILD)/installed-files.txt -P cmake/Uninstall.cmake
	@$(MAKE) --no-print-directory desktop-database

# File managers find the formats' handler through the desktop database of the real prefix.
.PHONY: desktop-database
desktop-database:
	@if [ -z "$(DESTDIR)" ] && command -v update-desktop-database >/dev/null; then \
	  update-desktop-database -q $(PREFIX)/share/applications || true; fi

# The Debian package, $(BUILD)/kirvane_<version>_<arch>.deb; its dependencies are read from the
# programs. Install it with `sudo apt install ./$(BUILD)/kirvane_*.deb`.
deb: build
	@scripts/install-deps.sh package
	cd $(BUILD) && cpack -G DEB

# The end-to-end test alone (make test runs it too when Xvfb and its tools are there).
e2e: build
	@scripts/install-deps.sh e2e
	KV_E2E_REQUIRED=1 tests/e2e/run.sh $(BUILD)

# The core and platform tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
asan-test: deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON -DKV_CORE_ONLY=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The user-interface tests STRESS_RUNS times with both cores busy: proves they wait for
# conditions, not for time.
stress-ui: build
	scripts/stress-ui.sh $(BUILD) $(STRESS_RUNS)

# libFuzzer targets, built with clang.
fuzz:
	@scripts/install-deps.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV_FUZZ=ON -DKV_CORE_ONLY=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

# A short run of every fuzz target (FUZZ_SECONDS each), as CI does.
fuzz-smoke: fuzz
	scripts/fuzz-smoke.sh $(FUZZ_BUILD)/fuzz $(FUZZ_SECONDS)

bench-scan: build
	bench/scan

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
