# Front door of the project. `make run` and `make test` set up, build and do their job.
BUILD      ?= build
BUILD_TYPE ?= Release
JOBS       ?= $(shell nproc)
# In CI (CI=true) every warning is an error.
WERROR     := $(if $(filter true 1 yes,$(CI)),ON,OFF)
GENERATOR  := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,)

.PHONY: all deps configure build programs run test unit-test package-test sanitize bench gallery \
        fuzz coverage package install uninstall clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DHALYARD_WERROR=$(WERROR)

configure: deps $(BUILD)/CMakeCache.txt
	@cmake -S . -B $(BUILD) -DHALYARD_WERROR=$(WERROR) >/dev/null

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The program and its window program only, not the tests and benchmarks.
programs: configure
	cmake --build $(BUILD) -j $(JOBS) --target halyard-widget

# Draws the widget for this user's snapshot file (the placeholder when there is none), in
# every supported family, into $(BUILD)/pictures.
run: programs
	@mkdir -p $(BUILD)/pictures
	$(BUILD)/src/widget/halyard-widget render -o $(BUILD)/pictures
	@echo "The widget's pictures are in $(BUILD)/pictures/"

# The unit tests; in CI also the Debian package (lintian, its contents, its programs run), the
# whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the one-time initialisations under ThreadSanitizer, and every
# fuzz target for FUZZ_SECONDS.
test: unit-test $(if $(filter true 1 yes,$(CI)),package-test sanitize fuzz)

unit-test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

SANITIZE_BUILD ?= build-asan
TSAN_BUILD     ?= build-tsan
sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DHALYARD_WERROR=$(WERROR) -DHALYARD_BUILD_BENCH=OFF \
	  "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	  ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS)
	cmake -S . -B $(TSAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DHALYARD_WERROR=$(WERROR) -DHALYARD_BUILD_BENCH=OFF "-DCMAKE_CXX_FLAGS=-fsanitize=thread"
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target snapshot_tests views_tests
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_BUILD)/tests/snapshot/snapshot_tests --gtest_filter='SnapshotModel.*'
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_BUILD)/tests/views/views_tests --gtest_filter='SharedFormatters*'

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b --benchmark_min_time=0.2; done
	@echo "== bench/host_render.py"; bench/host_render.py $(BUILD)
	@echo "== bench/preview_scaling.py"; bench/preview_scaling.py $(BUILD)

# Fuzzing with clang's libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALYARD_FUZZ=ON -DHALYARD_BUILD_TESTS=OFF \
	  -DHALYARD_BUILD_BENCH=OFF \
	  "-DCMAKE_CXX_FLAGS=-fsanitize=address,undefined -fsanitize=fuzzer-no-link -fno-sanitize-recover=all"
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target decode_fuzz view_fuzz answer_fuzz
	scripts/fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Line coverage of src/ by the unit tests (a Debug build with gcov, summed up by gcovr).
# A confined process cannot write its coverage data, so the extension's own lines are
# undercounted.
COVERAGE_BUILD ?= build-coverage
coverage: deps
	cmake -S . -B $(COVERAGE_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug \
	  -DHALYARD_WERROR=$(WERROR) -DHALYARD_BUILD_BENCH=OFF "-DCMAKE_CXX_FLAGS=--coverage"
	cmake --build $(COVERAGE_BUILD) -j $(JOBS)
	find $(COVERAGE_BUILD) -name '*.gcda' -delete
	ctest --test-dir $(COVERAGE_BUILD) -j $(JOBS) >/dev/null || \
	  echo "Some tests failed ($(COVERAGE_BUILD)/Testing/Temporary/LastTestsFailed.log)."
	gcovr --root $(CURDIR) --filter '$(CURDIR)/src/' --object-directory $(COVERAGE_BUILD) \
	  --exclude-directories '.*/CMakeFiles/[0-9.]+' --gcov-ignore-parse-errors --print-summary \
	  -o $(COVERAGE_BUILD)/coverage.txt
	@echo "Per-file figures: $(COVERAGE_BUILD)/coverage.txt"

# The Debian package of the programs, in $(BUILD) (halyard-widget_<version>_<arch>.deb).
package: programs
	rm -f $(BUILD)/halyard-widget_*.deb
	cd $(BUILD) && cpack -G DEB

# Checks the package made from the programs already built (scripts/package-test).
package-test: build package
	scripts/package-test $(BUILD)

# Installs the programs under PREFIX (default: the configured one, /usr/local); `uninstall`
# removes what the last install wrote ($(BUILD)/install_manifest.txt).
install: programs
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

uninstall:
	cmake --build $(BUILD) --target uninstall

gallery: build
	scripts/gallery $(BUILD)

clean:
	rm -rf $(BUILD)
