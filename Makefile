# Huevane front door. Every target builds through the CMake presets in
# CMakePresets.json (build/<preset>/) after scripts/install-deps has made
# sure the Debian packages are there.
#
#   make demo    release build, runs examples/demo.txt in the headless host,
#                writes out/demo/*.png
#   make test    every check while you work: the steps in TEST_STEPS, in order
#   make check   what CI runs (.ci/run): make test's steps, then the long ones
#                in CHECK_STEPS (bounded libFuzzer run, clean-clone packages)
#   make bench   release build, runs every build/release/huevane_bench_*
#   make fuzz    clang libFuzzer build, runs every harness for FUZZ_SECONDS
#                (or FUZZ_RUNS executions each: make fuzz FUZZ_RUNS=1000000)
#   make fuzz-corpus  minimizes each harness's grown corpus with its seeds
#                into fuzz/corpus/<name>, the seed corpus
#   make format  clang-format -i over the tracked C and C++ sources
#   make soak    SOAK_REQUESTS colour requests in one host process (asan build)

SHELL := bash
.SHELLFLAGS := -eu -o pipefail -c
.DEFAULT_GOAL := help

DEMO_SCRIPT ?= examples/demo.txt
DEMO_OUT ?= out/demo
BENCH_ARGS ?=
# Seconds each fuzz harness runs in `make fuzz`; seconds the bounded run of
# `make check` takes in all, shared evenly by the harnesses; and the libFuzzer
# flags of both runs (inputs up to 1 KiB: the harnesses stop reading long
# before; an input that runs 30 s is a hang).
FUZZ_SECONDS ?= 1800
# Executions per harness instead of a time, when set (the release runs: a
# million each).
FUZZ_RUNS ?=
CHECK_FUZZ_SECONDS ?= 120
FUZZ_FLAGS ?= -max_len=1024 -timeout=30

# The steps of `make test`, run in this order by scripts/run-steps; the first
# failure stops it. Steps joined by "+" run at the same time: the Wine cases
# wait on Wine and the X server most of their time, so they run beside the
# native build and tests (their output is printed when they end). The saved
# fuzz corpora are replayed within test-native (CTest fuzz.replay.*). To add
# a step, define a `test-<name>` target below and append it here.
TEST_STEPS := test-format test-windows test-native+test-wine test-dist
# `make check` runs these after them: the bounded libFuzzer run and the
# clean-clone reproducibility of the packages, which build the tree twice
# more (with clang, and for Windows in a clean clone).
CHECK_STEPS := check-fuzz check-reproducible

.PHONY: help deps demo test check bench fuzz format build-asan build-release build-mingw \
        build-fuzz $(subst +, ,$(TEST_STEPS) $(CHECK_STEPS))

help:
	@sed -n 's/^#   //p' Makefile

deps:
	@bash scripts/install-deps

# ---- builds ----------------------------------------------------------------

build-asan: deps
	cmake --preset asan
	ln -sfn build/asan/compile_commands.json compile_commands.json
	cmake --build --preset asan

build-release: deps
	cmake --preset release
	cmake --build --preset release

build-mingw: deps
	cmake --preset mingw
	cmake --build --preset mingw

# The harnesses and what they link (target huevane_fuzzers), not the rest of
# the tree.
build-fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz --target huevane_fuzzers

# ---- front-door targets ----------------------------------------------------

demo: build-release
	mkdir -p $(DEMO_OUT)
	build/release/huevane-host --script $(DEMO_SCRIPT) --snapshot $(DEMO_OUT)
	@echo "demo: snapshots in $(DEMO_OUT)/"; ls $(DEMO_OUT)

# Each step's time is printed after it ("==== make test: test-native took
# 123 s"), so that what a run costs can be told step by step, and the whole
# run's at the end.
test: deps
	@MAKE="$(MAKE)" bash scripts/run-steps test $(TEST_STEPS)

check: deps
	@MAKE="$(MAKE)" bash scripts/run-steps check $(TEST_STEPS) $(CHECK_STEPS)

bench: build-release
	@for b in build/release/huevane_bench_*; do \
	  [[ -x $$b ]] || continue; \
	  echo "==== $$b"; $$b $(BENCH_ARGS); \
	done

fuzz: build-fuzz
	$(MAKE) --no-print-directory run-fuzz \
	  FUZZ_LIMIT=$(if $(FUZZ_RUNS),-runs=$(FUZZ_RUNS),-max_total_time=$(FUZZ_SECONDS))

# Keeps what the runs grew: each harness's working corpus and its seeds,
# merged to the inputs that add coverage (libFuzzer -merge=1), become its
# seed corpus fuzz/corpus/<name> (file names are the inputs' SHA-1); the
# hand-written seeds of fuzz/make_*corpus.py are then written back beside
# them under their own names.
.PHONY: fuzz-corpus
fuzz-corpus: build-fuzz
	@for f in build/fuzz/fuzz_*; do \
	  [[ -x $$f && -f $$f ]] || continue; \
	  name=$$(basename $$f); merged=build/fuzz/merged/$$name; \
	  rm -rf $$merged; mkdir -p $$merged build/fuzz/corpus/$$name fuzz/corpus/$$name; \
	  $$f $(FUZZ_FLAGS) -merge=1 $$merged fuzz/corpus/$$name build/fuzz/corpus/$$name; \
	  rm -rf fuzz/corpus/$$name; mv $$merged fuzz/corpus/$$name; \
	  echo "==== fuzz/corpus/$$name: $$(ls fuzz/corpus/$$name | wc -l) inputs"; \
	done; \
	python3 fuzz/make_corpus.py && python3 fuzz/make_host_corpus.py

# The tracked C and C++ sources, which `make format` formats and test-format
# checks.
FORMAT_SOURCES := git ls-files -z '*.c' '*.cc' '*.cpp' '*.h' '*.hpp'

format:
	$(FORMAT_SOURCES) | xargs -0 -r clang-format -i

# ---- steps of `make test` --------------------------------------------------

# Formatting: every tracked C and C++ source as clang-format (.clang-format)
# would write it; a file that has drifted fails the step with its lines
# (`make format` rewrites them).
test-format: deps
	$(FORMAT_SOURCES) | xargs -0 -r clang-format --dry-run -Werror

# Native build under AddressSanitizer + UndefinedBehaviorSanitizer: unit and
# integration tests, and the replay of every saved fuzz input
# (fuzz/corpus, fuzz/regressions) through its harness. TMPDIR is an empty
# directory of the build tree, which must be empty again afterwards: every
# test removes what it wrote (tests/support/temp_dir.cpp).
TEST_TMPDIR := $(CURDIR)/build/asan/test-tmpdir
test-native: build-asan
	rm -rf $(TEST_TMPDIR) && mkdir -p $(TEST_TMPDIR)
	TMPDIR=$(TEST_TMPDIR) ctest --preset asan
	@left=$$(ls -A $(TEST_TMPDIR)); [[ -z $$left ]] || \
	  { echo "test-native: the tests left in TMPDIR: $$left"; exit 1; }

# Windows cross-build and the checks that need no Windows: the import and
# export tables of huevane.p (tests/dll).
test-windows: build-mingw
	ctest --preset mingw

# Windows end-to-end: the CTest tests of the mingw build labelled `wine`
# (tests/wine): huevane-host.exe and huevane.p under Wine, each case with its
# script played as real input, one case at a time. Two sessions, each an X
# server on a free display and a fresh WINEPREFIX, removed afterwards: Xvfb,
# and Xorg's two monitors at 144 dpi (made one after the other: Wine 8 once
# failed to make a prefix while another was being made).
# HUEVANE_WINE_DISPLAY and HUEVANE_WINEPREFIX pin the first to a display and
# a prefix of your own (tests/wine/wine_e2e.py).
test-wine: build-mingw
	ctest --preset wine

# ---- steps `make check` adds ------------------------------------------------

# Bounded fuzz run: CHECK_FUZZ_SECONDS shared by the harnesses, at least 10 s
# each.
check-fuzz: build-fuzz
	@n=0; for f in build/fuzz/fuzz_*; do [[ -x $$f && -f $$f ]] && n=$$((n + 1)); done; \
	each=$$(( $(CHECK_FUZZ_SECONDS) / (n > 0 ? n : 1) )); \
	$(MAKE) --no-print-directory run-fuzz FUZZ_LIMIT=-max_total_time=$$(( each > 10 ? each : 10 ))

# Runs every libFuzzer harness build/fuzz/fuzz_*: first once over each input
# saved in fuzz/regressions/<name>/ (inputs that once crashed it), then up to
# FUZZ_LIMIT (-max_total_time=S or -runs=N) with its working corpus
# build/fuzz/corpus/<name>/ and the seeds from fuzz/corpus/<name>/. A crash is
# written to build/fuzz/artifacts/<name>/ and fails the run.
.PHONY: run-fuzz
run-fuzz:
	@found=0; for f in build/fuzz/fuzz_*; do \
	  [[ -x $$f && -f $$f ]] || continue; found=1; \
	  name=$$(basename $$f); corpus=build/fuzz/corpus/$$name; artifacts=build/fuzz/artifacts/$$name; \
	  mkdir -p $$corpus $$artifacts; \
	  seeds=; [[ -d fuzz/corpus/$$name ]] && seeds=fuzz/corpus/$$name; \
	  regressions=$$(shopt -s nullglob; echo fuzz/regressions/$$name/*); \
	  if [[ -n $$regressions ]]; then \
	    echo "==== $$f over fuzz/regressions/$$name"; \
	    $$f $(FUZZ_FLAGS) -artifact_prefix=$$artifacts/ $$regressions; \
	  fi; \
	  echo "==== $$f with $(FUZZ_LIMIT)"; \
	  $$f $(FUZZ_FLAGS) $(FUZZ_LIMIT) -print_final_stats=1 \
	    -artifact_prefix=$$artifacts/ $$corpus $$seeds; \
	done; \
	[[ $$found -eq 1 ]] || echo "fuzz: no harness built yet (build/fuzz/fuzz_*)"

# ---- release package -------------------------------------------------------
#   make dist    out/dist/huevane-VERSION-win64.zip (huevane.p, README.txt,
#                LICENSE, CHANGELOG.md, SHA256SUMS) and
#                out/dist/huevane-host-VERSION-win64.zip (huevane-host.exe,
#                sdk_host.exe, host_api.h, the authors' README.txt, the same
#                three), each with its .sha256
# Builds huevane.p, huevane-host.exe and sdk_host.exe alone in the mingw
# preset; the version is the CMake project's. `make test` ends with
# test-dist: the packages of the tree's own mingw build, checked file by
# file and made twice in directories of different names, byte-identical.
# `make check` adds check-reproducible: two builds of HEAD in different
# directories must give byte-identical zips, a clean clone's and the tree's
# own when the tree is HEAD exactly, else a second clean clone's
# (scripts/check-reproducible).
.PHONY: dist

dist: deps
	cmake --preset mingw
	cmake --build --preset mingw --target dist

test-dist: deps
	bash scripts/check-reproducible --tree

check-reproducible: deps
	bash scripts/check-reproducible

# ---- soak --------------------------------------------------------------------

# A working day in one process (tests/soak/soak.cpp): SOAK_REQUESTS colour
# requests, one in ten with a sampling run; live desktop handles checked after
# every request, resident size at the end against after the first hundred.
# Then SOAK_WINE_REQUESTS of them in the windowed host under Wine with the
# real DLL, which reports its GDI and USER objects and private bytes at the
# start and the end ("soak resources ..." lines). `make test` runs the short
# forms (ctest soak_short, 300 requests; wine.soak, 20).
SOAK_REQUESTS ?= 10000
SOAK_WINE_REQUESTS ?= 500

.PHONY: soak
soak: build-asan build-mingw
	ASAN_OPTIONS=quarantine_size_mb=0 build/asan/tests/huevane_soak --requests $(SOAK_REQUESTS)
	@session=$(CURDIR)/build/mingw/soak-session; wine=tests/wine/wine_e2e.py; \
	python3 $$wine start --session $$session && \
	HUEVANE_WINE_SOAK_REQUESTS=$(SOAK_WINE_REQUESTS) python3 $$wine case soak \
	  --session $$session --exe $(CURDIR)/build/mingw/huevane-host.exe --work $(CURDIR)/build/mingw/soak-work; \
	status=$$?; python3 $$wine stop --session $$session; exit $$status
