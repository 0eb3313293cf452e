# Front door: `make run` starts Vorla Agents, `make test` runs every test.
# Both install the Debian packages they need first (scripts/install-deps.sh).
JOBS ?= $(shell nproc)
APP   = build/debug/src/app/vorla-agents

.PHONY: all deps node-deps build run run-headless test test-debug contract tsan asan asan-build \
	thread-safety bench fuzz-build fuzz fuzz-smoke lint format check-format clean package package-test \
	packages packages-test desktop-entry test-desktops debian-root

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

# What CI runs (.ci/run). One clang build (build/asan) serves three checks:
# the whole suite under ASan + UBSan, -Wthread-safety as errors and
# the fuzz targets. The plain gcc debug suite is not
# repeated here (the same tests run in that build); gcc still compiles every
# program with -Werror for the package. The downloads (the agent CLIs, the
# clean Debian root for the package test) wait on the network, so they run
# while the ASan build keeps both cores busy. Each stage prints its time;
# the figures are in the README.
test: check-format
	@scripts/stage.sh build $(MAKE) --no-print-directory -j3 asan-build node-deps debian-root
	@for stage in asan lint fuzz-smoke tsan package-test; do \
	  scripts/stage.sh $$stage $(MAKE) --no-print-directory -o deps -o node-deps $$stage || exit 1; done

# The clean Debian root the package test installs into (debootstrap, cached).
debian-root: deps
	@bash -c 'source scripts/debian-root.sh && debian_root_tarball bookworm >/dev/null'

test-debug: build node-deps
	@ctest --preset debug

# The app on headless sway, KWin and GNOME Shell (Wayland, through XWayland): where the
# island lands, that it stays above a full-screen window while a gate waits,
# and a real click on Allow. Not part of `make test` (README: "Desktops").
test-desktops: deps
	@scripts/install-deps.sh desktops
	@cmake --preset debug >/dev/null
	@cmake --build --preset debug -j $(JOBS) --target vorla-agents vorla-bridge
	@tests/desktops/run.sh

# The real Claude Code and Codex through our hooks (also part of test-debug).
contract: build node-deps
	@ctest --preset debug -L contract

# Only the suites labelled concurrent, ui-concurrent or e2e run under
# ThreadSanitizer (tests/CMakeLists.txt), so only they are built.
TSAN_TARGETS = vorla-bridge vorla-agents e2e_tests ui_concurrent_tests \
	$(foreach s,session phone support usage repo,engine_$(s)_tests)

tsan: deps node-deps
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS) --target $(TSAN_TARGETS)
	@ctest --preset tsan

# clang, ASan + UBSan (a report fails the test), -Wthread-safety as errors, and
# the libFuzzer targets built against the same instrumented libraries.
asan-build: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

asan: asan-build node-deps
	@ctest --preset asan

# The Debian package: build/package/vorla-agents_<version>_<arch>.deb
package: deps
	@cmake --preset package >/dev/null
	@cmake --build --preset package -j $(JOBS)
	@cd build/package && cpack -G DEB >/dev/null && ls -1 $$PWD/vorla-agents_*.deb

# Installs that package into a clean Debian 12 root and uses it there.
package-test: package
	@scripts/package-test.sh $$(ls -1t build/package/vorla-agents_*.deb | head -1)

# Every way to install it, in build/dist: the Debian 12 package, the Debian 13
# package (built inside a clean Debian 13 root against its own libraries) and
# the portable tarball for other distributions. Not part of `make test`.
packages: package
	@mkdir -p build/dist && cp $$(ls -1t build/package/vorla-agents_*.deb | head -1) build/dist/
	@scripts/build-deb13.sh build/dist
	@scripts/build-portable.sh build/dist

# The Debian 13 package installed into a clean Debian 13 root, the portable
# tarball unpacked into clean Debian 12 and 13 roots with only a desktop's
# client libraries (the Debian 12 package is checked by `make test`).
packages-test: packages
	@scripts/package-test.sh $$(ls -1t build/dist/vorla-agents_*deb13*.deb | head -1) trixie
	@for suite in bookworm trixie; do \
	  scripts/portable-test.sh $$(ls -1t build/dist/vorla-agents-*-x86_64.tar.gz | head -1) $$suite || exit 1; done

# A menu entry for the program in the build tree, for people who run from source.
desktop-entry: build
	@install -Dm644 build/debug/packaging/vorla-agents.desktop ~/.local/share/applications/vorla-agents.desktop
	@echo "Added Vorla Agents (build tree) to the application menu."

bench: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@bench/run-all.sh build/release

# clang's -Wthread-safety as errors over the whole tree (the asan build).
thread-safety: asan-build

FUZZ_TARGETS = $(basename $(notdir $(wildcard fuzz/*_fuzz.cpp)))

fuzz-build: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS) --target $(FUZZ_TARGETS)

# Every libFuzzer target from its seeds, 60 s each (VORLA_FUZZ_SECONDS to
# change), in the optimised fuzz build; VORLA_FUZZ_RUNS=n runs n inputs each.
fuzz: fuzz-build
	@scripts/run-fuzzers.sh build/fuzz $${VORLA_FUZZ_SECONDS:-60}

# Ten seconds of every target, one per core, in the asan build (part of `make test`).
fuzz-smoke: asan-build
	@VORLA_FUZZ_JOBS=$(JOBS) scripts/run-fuzzers.sh build/asan 10

# clang-tidy over src/ with the asan build's flags; any warning fails. It reads
# the commands of a tree that is only configured (plus moc's output): core,
# engine, the commands and the bridge file by file, the Qt side by unity batch,
# where one parse of Qt's headers serves sixteen files (a batch includes .cpp
# files by design, hence no suspicious-include, and the header filter takes
# our .cpp files too). Tests are left out: parsing them doubles the time and
# they are checked by the compiler and the sanitizers. Costs per check:
# .clang-tidy.
lint: deps
	@cmake --preset lint >/dev/null
	@cmake --build --preset lint --target vorla_ui_autogen >/dev/null
	@run-clang-tidy -p build/lint -j $(JOBS) -quiet -checks=-bugprone-suspicious-include \
	  -header-filter='^$(CURDIR)/src/.*\.(h|cpp)$$' \
	  '^$(CURDIR)/(src/.*\.cpp|build/lint/src/.*/Unity/unity_[0-9]+_cxx\.cxx)$$' >build/lint/clang-tidy.log 2>&1 \
	  || { grep -A3 -E 'warning:|error:' build/lint/clang-tidy.log; echo "clang-tidy failed: build/lint/clang-tidy.log"; exit 1; }

check-format:
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run -Werror

format:
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

clean:
	@rm -rf build
