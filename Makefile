# Set-up commands for a fresh Debian machine.
#   make test   installs what the build needs, builds and runs every test
#   make demo   builds and runs the main job, `r58267 demo`
#   make asan   the tests under AddressSanitizer and UndefinedBehaviorSanitizer

PACKAGES := cmake ninja-build g++ make libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
JOBS ?= $(shell nproc)

.PHONY: deps test demo asan release docs format clean

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  SUDO=""; [ "$$(id -u)" -ne 0 ] && SUDO=sudo; \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing; \
	fi

test: deps
	cmake --preset debug
	cmake --build --preset debug -j $(JOBS)
	ctest --preset debug -j $(JOBS)

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

release: deps
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
