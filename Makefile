# Front door: `make test` installs what is missing, builds every
# configuration and runs every test; `make demo` runs SetUp.exe on a demo
# machine under Wine; `make bench` measures; `make dist` makes the release
# packages.
.PHONY: test bootstrap native asan win32 win64 acad64 bench bench-build demo fuzz dist

# Each preset's time is noted in build/preset-times.txt and printed at the
# end; a preset that fails stops the run with its status.
test: bootstrap
	@mkdir -p build && rm -f build/preset-times.txt
	@$(MAKE) --no-print-directory native asan win32 acad64 $$(bash tools/runs-32bit.sh 2>/dev/null || echo win64) || \
	  { echo "== time per preset"; cat build/preset-times.txt; exit 1; }
	@echo "== time per preset"; cat build/preset-times.txt

bootstrap:
	bash tools/bootstrap.sh

# timed <preset> <ctest options>: configure, build and test one preset.
define timed
	@t=$$(date +%s); cmake --preset $(1) && cmake --build --preset $(1) && ctest --preset $(1) $(2); \
	  rc=$$?; mkdir -p build; echo "$(1): $$(( $$(date +%s) - t )) s (exit $$rc)" >> build/preset-times.txt; exit $$rc
endef

native:
	$(call timed,native,)

asan:
	$(call timed,native-asan,)

# The 32-bit edition: the suites (i686, posix threads) under Wine's WoW64,
# and the shipped SetUp.exe (i686, win32 threads, a sub-build) in its
# end-to-end scenarios, on 32-bit Windows and beside 64-bit AutoCAD. The
# Wine tests run two at a time, each scenario in a prefix of its own.
win32:
	$(call timed,win32,-j2)

# Where this machine runs no 32-bit code (tools/runs-32bit.sh), win32's
# Wine tests are skipped, and `make test` adds the suites built for x86_64,
# under wine64.
win64:
	@bash tools/runs-32bit.sh || echo "win64: the suites in the 64-bit build stand in for the 32-bit ones"
	$(call timed,win64,-j2)

# The shipped 64-bit edition: its imports checked and its end-to-end
# scenarios run under wine64.
acad64:
	$(call timed,acad64,-j2)

# Builds what it measures, without running the test suites.
bench: bootstrap bench-build
	bash tools/bench-size.sh
	./build/native/tests/bench/setup_bench
	bash tools/bench-scan-wine.sh
	tests/e2e/run-under-x.sh build/win32/bench-prefix bash tools/bench-launch-wine.sh
	bash tools/bench-copy-wine.sh

bench-build:
	cmake --preset native
	cmake --build --preset native --target setup_bench make_scan_tree
	cmake --preset win32
	cmake --build --preset win32 --target SetUp scan_once copy_once bare_dialog dialog_driver
	cmake --preset acad64
	cmake --build --preset acad64 --target SetUp bare_dialog

# SetUp.exe on the demo machine: on your display, or under Xvfb with a
# screenshot when there is none.
demo: bootstrap
	cmake --preset win32
	cmake --build --preset win32 --target SetUp dialog_driver
	bash tools/demo.sh

# libFuzzer targets under ASan and UBSan, FUZZ_SECONDS each, on a working
# copy of their seed corpus (what they find stays in build/fuzz). Not part
# of `make test`.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = reg_file_fuzz scan_fuzz text_fuzz trusted_paths_fuzz record_fuzz command_line_fuzz uninstall_fuzz \
  cleanup_command_fuzz
fuzz: bootstrap
	cmake --preset fuzz
	cmake --build --preset fuzz
	set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t build/fuzz/artefacts/$$t; \
	  cp -n tests/fuzz/corpus/$$t/* build/fuzz/corpus/$$t/; \
	  echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	  build/fuzz/tests/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build/fuzz/artefacts/$$t/ build/fuzz/corpus/$$t; \
	done

# The release packages of both shipped editions, zipped, with SHA256SUMS, in
# dist/: PAYLOAD=<folder> the add-on's files (default the demo package);
# SIGN_CERT= and SIGN_KEY= (PEM) sign each SetUp.exe, SIGN_TIMESTAMP=<url>
# with a timestamp.
PAYLOAD ?=
SIGN_CERT ?=
SIGN_KEY ?=
SIGN_TIMESTAMP ?=
dist: bootstrap
	PAYLOAD="$(PAYLOAD)" SIGN_CERT="$(SIGN_CERT)" SIGN_KEY="$(SIGN_KEY)" SIGN_TIMESTAMP="$(SIGN_TIMESTAMP)" \
	  bash tools/dist.sh
