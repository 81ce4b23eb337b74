# Front door of the project. `make run` and `make test` set up, build and do their job.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)
# In CI (CI=true) every warning is an error.
WERROR     := $(if $(filter true 1 yes,$(CI)),ON,OFF)
GENERATOR  := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,)

.PHONY: all deps configure build run test bench gallery clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DHALYARD_WERROR=$(WERROR)

configure: deps $(BUILD)/CMakeCache.txt
	@cmake -S . -B $(BUILD) -DHALYARD_WERROR=$(WERROR) >/dev/null

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/src/widget/halyard-widget timeline

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b --benchmark_min_time=0.2; done

gallery: build
	scripts/gallery $(BUILD)

clean:
	rm -rf $(BUILD)
