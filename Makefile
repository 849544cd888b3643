# SPDX-FileCopyrightText: 2026 The Quenlora authors
# SPDX-License-Identifier: GPL-3.0-or-later

# make run    build and start the program
# make test   build and run every test, then build and run them all again
#             with AddressSanitizer and UndefinedBehaviorSanitizer, then
#             print the core's branch coverage (a warning below 95%, never a
#             failure), then fuzz the core briefly, then cross-compile the
#             Windows program and its tests and run them under Wine (the first
#             run on a machine builds Qt for Windows once, see tools/build-windows-qt)
# make coverage  the core's line and branch coverage, per file
# make bench  build and run the benchmarks, then the whole-process comparison
#             of loading and exporting a million-code list with iconv
# make package  build the Debian package (build/default/quenlora_<version>_<arch>.deb)
# make package-windows  build the Windows zip and installer, with the sources and
#             notices offered beside them (build/windows/packages)
PRESET ?= default
BUILD := build/$(PRESET)

.PHONY: all run test test-sanitizers test-windows bench deps configure build clean

all: build

deps:
	@tools/install-deps

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

run: build
	@if [ ! -x $(BUILD)/app/vortanek ]; then echo "The desktop front end is not built yet."; exit 1; fi
	$(BUILD)/app/vortanek

test: build
	ctest --preset $(PRESET)
	@$(MAKE) --no-print-directory test-sanitizers
	@$(MAKE) --no-print-directory test-coverage
	@$(MAKE) --no-print-directory test-fuzz
	@$(MAKE) --no-print-directory test-windows

# A memory error or undefined behaviour anywhere in a test run stops it with a report.
test-sanitizers: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	ctest --preset asan

# Every fuzz target replays its committed corpus, then fuzzes for 20 seconds.
.PHONY: test-fuzz
test-fuzz: deps
	tools/fuzz 20

# The Windows program, built with MinGW-w64 and a static Qt for MinGW (built
# once from Debian's Qt source and cached outside the work tree), and its tests
# under Wine: the core as a Czech user (code page 1250) and as a Western one
# (code page 1252), the front end on Qt's Windows platform plugin on a virtual
# display, and the program itself driven through its window.
test-windows: deps
	@qt=$$(tools/build-windows-qt) && \
	  cmake --preset windows -DCMAKE_TOOLCHAIN_FILE="$$qt/lib/cmake/Qt6/qt.toolchain.cmake" >/dev/null
	@cmake --build --preset windows
	ctest --preset windows

# The Windows downloads, from the windows preset: build/windows/packages/
# quenlora-<version>-windows-x64.zip (the same bytes from every build of a
# commit) and quenlora-<version>-x64.msi.
.PHONY: package-windows
package-windows: deps
	@qt=$$(tools/build-windows-qt) && \
	  cmake --preset windows -DCMAKE_TOOLCHAIN_FILE="$$qt/lib/cmake/Qt6/qt.toolchain.cmake" >/dev/null
	@cmake --build --preset windows --target package-windows

# Line and branch coverage of the core by its tests, per file (gcc --coverage, gcovr).
.PHONY: coverage
coverage: deps
	tools/coverage

# The core's branch coverage in all, with a warning that names the files
# below 95% when the total falls below it; never fails the run.
.PHONY: test-coverage
test-coverage: deps
	@tools/coverage --summary

bench: build
	$(BUILD)/bench/core_bench
	@if [ -x $(BUILD)/bench/ui/ui_bench ]; then QT_QPA_PLATFORM=offscreen $(BUILD)/bench/ui/ui_bench; fi
	tools/bench-files $(BUILD)/bench/list_file_tool

.PHONY: package
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf build
