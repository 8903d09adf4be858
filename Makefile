# Thin front over the CMake presets. `make run` and `make test` install what they need first.
PRESET ?= debug

.PHONY: all deps build run test test-asan test-tsan bench format format-check clean

all: build

deps:
	@tools/install-deps.sh

build: deps
	cmake --preset $(PRESET) >/dev/null
	cmake --build --preset $(PRESET)

run: build
	./build/$(PRESET)/tarnwell

test: build
	ctest --preset $(PRESET)

test-asan:
	$(MAKE) test PRESET=asan

test-tsan:
	$(MAKE) test PRESET=tsan

bench:
	$(MAKE) build PRESET=release
	tools/run-benchmarks.sh build/release

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build
