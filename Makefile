# Thin front over the CMake presets. `make run` and `make test` install what they need first.
PRESET ?= debug

.PHONY: all deps build run test test-asan test-tsan bench fuzz format format-check clean

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

# Runs each fuzzer for FUZZ_SECONDS from its corpus and regressions; new entries go to
# $(FUZZ_BUILD)/new-corpus, crashes to $(FUZZ_BUILD)/crashes. Fails when any fuzzer crashed.
FUZZ_SECONDS ?= 30
FUZZ_BUILD ?= build/fuzz
FUZZ_TARGETS = fuzz_lists fuzz_value_word fuzz_handshakes fuzz_panel_commands

fuzz: deps
	cmake --preset fuzz -B $(FUZZ_BUILD) >/dev/null
	cmake --build $(FUZZ_BUILD)
	@failed=0; \
	for t in $(FUZZ_TARGETS); do \
	  asan=; opts="-max_len=4096"; \
	  case $$t in \
	    fuzz_lists) opts="-max_len=1100000 -rss_limit_mb=4096" ;; \
	    fuzz_panel_commands) asan=detect_leaks=0 ;; \
	  esac; \
	  mkdir -p $(FUZZ_BUILD)/new-corpus/$$t $(FUZZ_BUILD)/crashes; \
	  echo "== $$t for $(FUZZ_SECONDS) s"; \
	  ASAN_OPTIONS=$$asan UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 QT_QPA_PLATFORM=offscreen \
	  $(FUZZ_BUILD)/tests/fuzz/$$t $$opts -max_total_time=$(FUZZ_SECONDS) -close_fd_mask=1 \
	    -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/crashes/$$t- \
	    $(FUZZ_BUILD)/new-corpus/$$t tests/fuzz/corpus/$$t tests/fuzz/regressions/$$t \
	    || { echo "== $$t FAILED: see $(FUZZ_BUILD)/crashes/"; failed=1; }; \
	done; \
	exit $$failed

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build
