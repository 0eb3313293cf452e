# Front door: `make run` starts Vorla Agents, `make test` runs every test.
# Both install the Debian packages they need first (scripts/install-deps.sh).
JOBS ?= $(shell nproc)
APP   = build/debug/src/app/vorla-agents

.PHONY: all deps build run test test-debug tsan asan bench lint format clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake --preset debug >/dev/null
	@cmake --build --preset debug -j $(JOBS)

run: build
	@$(APP) --headless

test: test-debug tsan

test-debug: build
	@ctest --preset debug

tsan: deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS)
	@ctest --preset tsan

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan

bench: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@bench/run-all.sh build/release

lint: build
	@git ls-files '*.cpp' | grep -v '^bench/' | xargs -r clang-tidy -p build/debug --quiet

format:
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

clean:
	@rm -rf build
