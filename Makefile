# Set-up commands for a fresh Debian machine.
#   make demo   builds the r58267 program and runs the main job, `r58267 demo`
#   make test   installs what the build needs, builds and runs every test
#   make asan   the tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   make ci     optimised build of everything with warnings as errors, and its tests

DEMO_PACKAGES := cmake ninja-build g++ make nlohmann-json3-dev
TEST_PACKAGES := $(DEMO_PACKAGES) libgtest-dev libgmock-dev libbenchmark-dev
JOBS ?= $(shell nproc)

.PHONY: deps demo-deps test demo asan ci release docs format clean

# Installs the missing packages among $(1), through sudo when not root.
define install_missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  SUDO=""; [ "$$(id -u)" -ne 0 ] && SUDO=sudo; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi
endef

deps:
	$(call install_missing,$(TEST_PACKAGES))

demo-deps:
	$(call install_missing,$(DEMO_PACKAGES))

test: deps
	cmake --preset debug
	cmake --build --preset debug -j $(JOBS)
	ctest --preset debug -j $(JOBS)

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

ci: deps
	cmake --preset ci
	cmake --build --preset ci -j $(JOBS)
	ctest --preset ci -j $(JOBS)

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
