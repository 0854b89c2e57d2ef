# Front door. Every target makes the machine ready first (scripts/setup).
ARCHS := i686 x86_64
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 300

.PHONY: all setup build test dist dist-test reproducible demo demo-interactive screenshots bench fuzz clean

all: build

setup:
	@scripts/setup

build: setup
	@for preset in $(ARCHS) host; do \
	  cmake --preset $$preset >/dev/null || exit 1; \
	  cmake --build --preset $$preset -j $(JOBS) || exit 1; \
	done

# On a machine whose kernel runs no 32-bit programs (scripts/wine-env) the
# i686 build cannot run under Wine: it is built, and its suite is reported
# as not run.
test: build
	@scripts/wine-env sh -c 'status=0; for preset in $(ARCHS) host; do \
	  if [ "$$preset" = i686 ] && [ -n "$${TOBRIN_WINE_64BIT_ONLY:-}" ]; then \
	    echo "make test: NOT RUN: the i686 suite (this machine runs no 32-bit programs)"; continue; \
	  fi; \
	  ctest --preset $$preset || status=1; done; exit $$status'

# The Debian package and the Windows archive in build/dist/ (scripts/dist).
dist: setup
	@scripts/dist

# The distribution as a vendor installs it: lintian, then the unpacked .deb's
# packer and the archive's packer each pack the probe payload, run under Wine.
dist-test: dist
	@cmake --build --preset i686 --target probe >/dev/null
	@tests/dist/installed_packer.sh build/dist build/i686/probe.exe

# Two clean clones of HEAD, in folders of different path lengths, build
# byte-identical runners, packers, .deb and .zip.
reproducible: setup
	@scripts/reproducible

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
	rm -rf build/i686 build/x86_64 build/host build/fuzz build/dist
