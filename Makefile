# Set-up commands for a fresh Debian machine.
#   make demo   builds the r58267 program and runs the main job, `r58267 demo`
#   make test   installs what the build needs, builds and runs every test
#   make asan   the tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   make ci     optimised build of everything with warnings as errors, and its tests
#   make windows  R58267.dll for x86 and x64 (mingw-w64), checked with objdump, and
#                 their installer packages R58267-x86.msi and R58267-x64.msi
#   make fuzz   each libFuzzer target for FUZZ_SECONDS (60) under both sanitizers
#   make bench  the benchmarks, with each check's automation calls
#   make bench-real  r58267 batch on real .xlsx and .xls beside python3-openpyxl and python3-xlrd

# LibreOffice reads real workbooks (.xls, .xlsx, .ods): its spreadsheet
# filters without a desktop (recommends left out: 254 MiB instead of far
# more), and its SDK for the C++ UNO headers and libraries.
OFFICE_PACKAGES := libreoffice-calc-nogui libreoffice-dev zlib1g-dev nettle-dev libzip-dev libexpat1-dev libgsf-1-dev pkg-config
DEMO_PACKAGES := cmake ninja-build g++ make nlohmann-json3-dev $(OFFICE_PACKAGES)
TEST_PACKAGES := $(DEMO_PACKAGES) libgtest-dev libgmock-dev libbenchmark-dev python3-xlrd python3-openpyxl python3-pil chromium
# Cross-compilers, widl (and Wine's .idl files), wixl (msitools) for the
# installer packages, Wine to run the x64 tests, GoogleTest's sources to
# build for Windows, and Xvfb for the display of the Excel automation
# server's test. 32-bit Wine (wine32:i386, for the x86 tests) is added where
# a probe shows that the machine runs 32-bit programs.
WINDOWS_PACKAGES := cmake ninja-build make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
  mingw-w64-tools libwine-dev wine wine64 libgtest-dev binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 xvfb wixl
# clang with libFuzzer and the sanitizers' run-times.
FUZZ_PACKAGES := cmake ninja-build g++ make nlohmann-json3-dev clang libclang-rt-dev \
                 pkg-config nettle-dev libzip-dev libexpat1-dev libgsf-1-dev
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := document checks vb workbook_files
JOBS ?= $(shell nproc)

.PHONY: deps demo-deps windows-deps fuzz-deps test demo asan ci ci-build bench bench-real fuzz release windows docs format clean

# Installs the missing packages among $(1), through sudo when not root.
define install_missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  SUDO=""; [ "$$(id -u)" -ne 0 ] && SUDO=sudo; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $(2) $$missing; \
	fi
endef

deps:
	$(call install_missing,$(OFFICE_PACKAGES),--no-install-recommends)
	$(call install_missing,$(TEST_PACKAGES))

demo-deps:
	$(call install_missing,$(OFFICE_PACKAGES),--no-install-recommends)
	$(call install_missing,$(DEMO_PACKAGES))

windows-deps:
	$(call install_missing,$(WINDOWS_PACKAGES))
	@SUDO=""; [ "$$(id -u)" -ne 0 ] && SUDO=sudo; \
	if ! reason="$$(win/tests/can-run-32bit)"; then \
	  echo "windows-x86: 32-bit Wine not installed, the x86 tests will be skipped: $$reason"; \
	elif ! dpkg-query -W -f='$${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then \
	  echo "installing: wine32:i386"; \
	  { dpkg --print-foreign-architectures | grep -qx i386 || $$SUDO dpkg --add-architecture i386; } && \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends wine32:i386 \
	    || echo "windows-x86: wine32:i386 could not be installed, the x86 tests will be skipped"; \
	fi

fuzz-deps:
	$(call install_missing,$(FUZZ_PACKAGES))

# The Linux tests, then the Windows library's tests under Wine, x64 then
# x86 (skipped, saying why, where 32-bit programs cannot run), each under
# Xvfb and ending with its line "windows-ARCH: N passed, N failed".
test: deps windows
	cmake --preset debug
	cmake --build --preset debug -j $(JOBS)
	ctest --preset debug -j $(JOBS)
	win/tests/run-suite x64
	win/tests/run-suite x86

# Both DLLs, each with its installer package (build/windows-ARCH/R58267-ARCH.msi);
# each DLL must export exactly the four COM entry points, import system DLLs
# only and carry its type library.
windows: windows-deps
	cmake --preset windows-x64
	cmake --build --preset windows-x64 -j $(JOBS)
	cmake --preset windows-x86
	cmake --build --preset windows-x86 -j $(JOBS)
	win/tests/check-dll x86_64 build/windows-x64/win/R58267.dll
	win/tests/check-dll i686 build/windows-x86/win/R58267.dll

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

ci: ci-build
	ctest --preset ci -j $(JOBS)

ci-build: deps
	cmake --preset ci
	cmake --build --preset ci -j $(JOBS)

# Each question's TestePoint and whole cycle, with their automation calls,
# and the document reader, on an optimised build.
bench: ci-build
	./build/ci/r58267_bench

# r58267 batch on real .xlsx and .xls files beside python3-openpyxl and
# python3-xlrd on the same files (bench/real.sh), on an optimised build.
bench-real: ci-build
	bench/real.sh build/ci

# Each target from its seed corpus (fuzz/corpus/TARGET, never written) and
# what earlier runs found (build/fuzz/corpus/TARGET); a finding stops the run
# and is left in build/fuzz/ to be fixed and kept as a seed. The file
# readers' target unwinds allocations fully, so that the leak libgsf leaves
# on a damaged file is known by its library (fuzz/lsan.supp).
fuzz: fuzz-deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	for target in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$target && \
	  env LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp \
	    $$([ $$target = workbook_files ] && echo ASAN_OPTIONS=fast_unwind_on_malloc=0) \
	  ./build/fuzz/r58267_fuzz_$$target -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=4096 \
	    -artifact_prefix=build/fuzz/$$target- -print_final_stats=1 \
	    build/fuzz/corpus/$$target fuzz/corpus/$$target || exit 1; \
	done

# The user's build: only the r58267 program, warnings not errors.
release: demo-deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

demo: release
	./build/release/r58267 demo

# Regenerates the page of cause codes from the catalog.
docs: release
	./build/release/r58267 causes > docs/causes.md

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf build
