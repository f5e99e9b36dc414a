# Entry points for building, testing and trying the player.
JOBS ?= 2
BUILD_TYPE ?= RelWithDebInfo
FUZZ_SECONDS ?= 30

.PHONY: all deps build test test-asan bench fuzz demo clean

all: build

deps:
	scripts/install-deps.sh

build/build.ninja:
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: deps build/build.ninja
	cmake --build build -j $(JOBS)

test: build
	ctest --test-dir build --output-on-failure -j $(JOBS)

build-asan/build.ninja:
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVIV_SANITIZE=ON

test-asan: deps build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)

build-bench/build.ninja:
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVIV_BENCH=ON -DVIV_TESTS=OFF

bench: deps build-bench/build.ninja
	cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do echo "== $$b"; $$b; done

build-fuzz/build.ninja:
	CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVIV_FUZZ=ON -DVIV_TESTS=OFF

fuzz:
	scripts/install-deps.sh --fuzz
	$(MAKE) build-fuzz/build.ninja
	cmake --build build-fuzz -j $(JOBS)
	@for f in build-fuzz/fuzz/fuzz_*; do \
	  name=$$(basename $$f); corpus=build-fuzz/corpus/$$name; mkdir -p $$corpus; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 $$corpus fuzz/seeds/$$name || exit 1; \
	done

demo: build
	@mkdir -p out
	build/apps/vivtool/vivtool pack examples/first-show out/first-show.vxshow
	build/apps/vivtool/vivtool info out/first-show.vxshow
	build/apps/vivtool/vivtool list out/first-show.vxshow

clean:
	rm -rf build build-asan build-bench build-fuzz out
