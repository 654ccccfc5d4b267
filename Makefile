# Set-up and everyday commands; CMake does the building.
SUDO := $(if $(filter 0,$(shell id -u)),,sudo)
PACKAGES := cmake ninja-build g++ qt6-base-dev qt6-svg-dev libgl-dev libgtest-dev libgmock-dev \
            libbenchmark-dev clang-format libhamlib-utils locales \
            help2man librsvg2-bin dpkg-dev lintian desktop-file-utils appstream util-linux \
            python3-sgp4
PRESETS := dev asan core
# Seconds each fuzz target runs for in `make fuzz`.
FUZZ_SECONDS ?= 600

.PHONY: all deps build run test bench soak fuzz package screenshot format clean

all: build

# Installs only what is missing, so a ready machine makes no apt-get call.
deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing:" $$missing; \
	    $(SUDO) apt-get update -qq && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake --preset dev
	cmake --build --preset dev

# The demo: Vantrel and the simulated receiver, in build/dev/demo;
# `make run RECEIVER=rigctld` drives Hamlib's rigctld with its dummy radio.
RECEIVER ?= pcr1000
run: build
	tools/demo/vantrel-demo.sh build/dev $(RECEIVER)

test: deps
	@set -e; for p in $(PRESETS); do \
	    echo "== $$p =="; \
	    cmake --preset $$p >/dev/null; \
	    cmake --build --preset $$p; \
	    ctest --preset $$p; \
	done

# The benchmarks (the pass predictor beside skyfield), start-up against a
# bare dialog under Xvfb, and a waiting run's CPU and wake-ups over a minute
# (bench/idle-run.sh).
bench: build
	@$(MAKE) --no-print-directory deps PACKAGES="xvfb xauth xdotool python3-skyfield"
	@for b in build/dev/bench/bench_*; do \
	    case $$b in *bench_startup) xvfb-run -a $$b ;; *) $$b ;; esac; \
	done
	bench/idle-run.sh build/dev 60

# A station's weeks in about twenty minutes: 100,000 checks, 5,000 retunes,
# hooks and replaced pass lists against pcr1000-sim (bench/SoakRun.cpp).
SOAK_CHECKS ?= 100000
soak: build
	build/dev/bench/soak_run $(SOAK_CHECKS)

# Each fuzz target for FUZZ_SECONDS, with Debian's clang and its libFuzzer;
# findings and the grown corpus in build/fuzz.
fuzz:
	@$(MAKE) --no-print-directory deps \
	    PACKAGES="cmake ninja-build qt6-base-dev clang libclang-rt-14-dev"
	cmake --preset fuzz
	cmake --build --preset fuzz
	fuzz/run-fuzzers.sh build/fuzz $(FUZZ_SECONDS)

# The Debian package, from the dev build: build/dev/vantrel_<version>_<arch>.deb.
package: build
	cmake --build --preset dev --target package

# docs/vantrel.png: the window during a demo run, under Xvfb.
screenshot: build
	@$(MAKE) --no-print-directory deps PACKAGES="xvfb xauth xdotool imagemagick"
	tools/screenshot/take-screenshot.sh build/dev docs/vantrel.png

format:
	git ls-files --cached --others --exclude-standard '*.cpp' '*.h' | xargs -r clang-format -i

clean:
	rm -rf build
