# Front door. Every target makes the machine ready first (scripts/setup).
ARCHS := i686 x86_64
JOBS ?= $(shell nproc)

.PHONY: all setup build test clean

all: build

setup:
	@scripts/setup

build: setup
	@for preset in $(ARCHS) host; do \
	  cmake --preset $$preset >/dev/null || exit 1; \
	  cmake --build --preset $$preset -j $(JOBS) || exit 1; \
	done

test: build
	@scripts/wine-env sh -c 'status=0; for preset in $(ARCHS) host; do ctest --preset $$preset || status=1; done; exit $$status'

clean:
	rm -rf build/i686 build/x86_64 build/host
