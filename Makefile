# Front door: `make run` starts Vorla Agents, `make test` runs every test.
# Both install the Debian packages they need first (scripts/install-deps.sh).
JOBS ?= $(shell nproc)
APP   = build/debug/src/app/vorla-agents

.PHONY: all deps node-deps build run run-headless test test-debug contract tsan asan thread-safety bench \
	fuzz-build fuzz fuzz-smoke lint format check-format clean package package-test desktop-entry

all: build

deps:
	@scripts/install-deps.sh

# playwright-core for the browser test and the pinned agent CLIs for the
# contract tests, into build/ (outside git).
node-deps: deps
	@scripts/install-node-deps.sh

build: deps
	@cmake --preset debug >/dev/null
	@cmake --build --preset debug -j $(JOBS)

run: build
	@$(APP)

# The engine without a window (what plain `vorla-agents` does without a
# display); approvals wait for `vorla-agents allow/deny` in another terminal.
run-headless: build
	@$(APP) --headless --hold

test: test-debug tsan package-test check-format

test-debug: build node-deps
	@ctest --preset debug

# The real Claude Code and Codex through our hooks (also part of test-debug).
contract: build node-deps
	@ctest --preset debug -L contract

tsan: deps node-deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS)
	@ctest --preset tsan

asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan

# The Debian package: build/package/vorla-agents_<version>_<arch>.deb
package: deps
	@cmake --preset package >/dev/null
	@cmake --build --preset package -j $(JOBS)
	@cd build/package && cpack -G DEB >/dev/null && ls -1 $$PWD/vorla-agents_*.deb

# Installs that package into a clean Debian 12 root and uses it there.
package-test: package
	@scripts/package-test.sh $$(ls -1t build/package/vorla-agents_*.deb | head -1)

# A menu entry for the program in the build tree, for people who run from source.
desktop-entry: build
	@install -Dm644 build/debug/packaging/vorla-agents.desktop ~/.local/share/applications/vorla-agents.desktop
	@echo "Added Vorla Agents (build tree) to the application menu."

bench: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@bench/run-all.sh build/release

# clang's -Wthread-safety as errors over the engine and the bridge.
thread-safety: deps
	@cmake --preset clang >/dev/null
	@cmake --build --preset clang -j $(JOBS) --target vorla_engine vorla-bridge

FUZZ_TARGETS = $(basename $(notdir $(wildcard fuzz/*_fuzz.cpp)))

fuzz-build: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS) --target $(FUZZ_TARGETS)

# Every libFuzzer target from its seeds, 60 s each (VORLA_FUZZ_SECONDS to change).
fuzz: fuzz-build
	@scripts/run-fuzzers.sh build/fuzz $${VORLA_FUZZ_SECONDS:-60}

# Ten seconds of every target.
fuzz-smoke: fuzz-build
	@scripts/run-fuzzers.sh build/fuzz 10

# clang-tidy over src/ and tests/ with the debug build's compile commands, in
# parallel; reports, does not fail (not yet part of `make test`).
lint: build
	@run-clang-tidy -p build/debug -j $(JOBS) -quiet -extra-arg=-Wno-unknown-warning-option \
	  '^$(CURDIR)/(src|tests)/.*\.cpp$$'

check-format:
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run -Werror

format:
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

clean:
	@rm -rf build
