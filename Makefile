# The two set-up commands of the README: `make run` and `make test`.
# Both install what is missing first (tools/bootstrap.sh).

BUILD := build
JOBS ?= $(shell nproc)
XVFB_DISPLAY ?= :87
CTEST := ctest --output-on-failure --no-tests=error -j $(JOBS)

FUZZ_SECONDS ?= 600
FUZZ_TEST_SECONDS ?= 60

.PHONY: all bootstrap linux sanitize win32 win64 test test-linux test-sanitize test-win64 run clean \
	fuzzers test-fuzz fuzz bench

all: linux win32 win64

bootstrap:
	@./tools/bootstrap.sh $(BUILD)

linux sanitize win32 win64: bootstrap
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

test-linux: linux
	$(CTEST) --test-dir $(BUILD)/linux

test-sanitize: sanitize
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(CTEST) --test-dir $(BUILD)/sanitize

# The Windows tests run under wine64, inside a private X server so that the
# window tests have a display. Wine's own background processes are started
# first, with their output away from ctest's pipes, and stay for the run.
test-win64: win64
	./tools/with-xvfb $(XVFB_DISPLAY) ./tools/with-wine $(CTEST) -j 1 --test-dir $(BUILD)/win64

# The libFuzzer targets (clang, sanitizers). test-fuzz replays every saved
# input and fuzzes each target for a minute; fuzz runs them FUZZ_SECONDS each.
fuzzers: bootstrap
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

test-fuzz: fuzzers
	./tests/fuzz/run-fuzz.sh $(BUILD)/fuzz $(FUZZ_TEST_SECONDS)

fuzz: fuzzers
	./tests/fuzz/run-fuzz.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

# Brimlet beside wrestool and icoextract on Wine's shell32.dll (BENCH_ROUNDS each).
BENCH_ROUNDS ?= 7
bench: linux
	./tools/bench/bench.py $(BUILD)/linux $(BUILD)/testdata $(BENCH_ROUNDS)

test: win32 test-linux test-sanitize test-win64 test-fuzz
	@echo "make test: all passed"

# Builds everything, then extracts the icons of our own Windows program.
run: linux win32
	./tools/run-default.sh $(BUILD)

clean:
	rm -rf $(BUILD)/linux $(BUILD)/sanitize $(BUILD)/win32 $(BUILD)/win64 $(BUILD)/fuzz out
