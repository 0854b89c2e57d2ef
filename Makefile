# Front door. Every target makes the machine ready first (scripts/setup).
ARCHS := i686 x86_64
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 300

.PHONY: all setup build test demo demo-interactive screenshots bench fuzz clean

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

# The sample package: packs examples/demo into build/demo/DemoSetup.exe and
# runs it silently under Wine, printing what its payload received; the
# interactive run shows its windows on a virtual display and saves
# screenshots of them into build/demo/.
demo: build
	@scripts/demo

demo-interactive: build
	@scripts/demo --interactive

# PNG screenshots of the progress window and of the message box with one and
# two buttons in several languages, on a virtual display (build/screenshots/).
screenshots: build
	@scripts/screenshots

# Extraction benchmark: numbers and one line per target (bench/run).
bench: build
	@bench/run

# The package fuzzer for FUZZ_SECONDS (clang, libFuzzer; build/fuzz).
fuzz: setup
	@fuzz/run $(FUZZ_SECONDS)

clean:
	rm -rf build/i686 build/x86_64 build/host build/fuzz
