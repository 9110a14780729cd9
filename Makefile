# The two commands a newcomer needs: `make play` and `make test`. Each
# installs the Debian packages it needs when any is missing, then builds.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CONFIGURE = cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release

.PHONY: play test check-all build game deps format bench package clean web web-serve web-test windows windows-test windows-installer

# Only the game: a new build folder leaves the tests, tools and benchmark
# out, so that nothing but what the game needs is installed and built.
game:
	@bash scripts/install-deps.sh play
	@$(CONFIGURE) $(if $(wildcard $(BUILD_DIR)/CMakeCache.txt),,-DBUILD_TESTING=OFF) > /dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target tubechain

play: game
	@bash scripts/play.sh $(BUILD_DIR)/tubechain

# The game, the tests, the tools and the benchmark.
build:
	@bash scripts/install-deps.sh test
	@$(CONFIGURE) -DBUILD_TESTING=ON > /dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

deps:
	@bash scripts/install-deps.sh test check-all

# The tests' windows go to virtual displays of their own, never to the
# desktop's: a Wayland session's compositor is hidden from them too. The
# slow checks are left to check-all.
test: build
	@bash scripts/check-format.sh
	@cd $(BUILD_DIR) && env -u WAYLAND_DISPLAY ALSOFT_DRIVERS=null xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
		ctest --output-on-failure -LE slow

# What make test leaves out, and CI runs after it: the game built with the
# sanitizers and played, the fuzzers, the Debian package with its
# validators, both README commands on a fresh Debian 13, the Windows build
# and installer played under Wine, and the page played in headless Chromium.
check-all: build
	@bash scripts/install-deps.sh check-all
	@cd $(BUILD_DIR) && env -u WAYLAND_DISPLAY ALSOFT_DRIVERS=null xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
		ctest --output-on-failure -L slow
	@bash scripts/test-debian13.sh
	@$(MAKE) --no-print-directory windows-installer
	@$(MAKE) --no-print-directory web-test

# Frame times of the real game on this machine's GL: on the display, or on
# two virtual ones when there is none, a 1024 x 768 screen that takes the
# frame straight and a 1920 x 1080 one that shows it scaled.
bench: build
	@if [ -n "$$DISPLAY" ]; then ALSOFT_DRIVERS=null $(BUILD_DIR)/bench/frame_bench; \
	else for screen in 1024x768x24 1920x1080x24; do \
		ALSOFT_DRIVERS=null xvfb-run -a -s "-screen 0 $$screen -noreset" $(BUILD_DIR)/bench/frame_bench || exit 1; \
	done; fi

# The Debian package, build/tubechain_<version>_amd64.deb: the game built for
# Release and installed under /usr, with its data, launcher and desktop files.
package:
	@bash scripts/install-deps.sh play check-all
	@$(CONFIGURE) -DCMAKE_INSTALL_PREFIX=/usr > /dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target tubechain_installed
	@cd $(BUILD_DIR) && cpack -G DEB

# The game for 64-bit Windows, cross-built with MinGW-w64:
# build-windows/Tubechain-<version>-win64.zip. The libraries' sources are
# fetched once and the libraries built once, into build-windows/.
windows:
	@JOBS=$(JOBS) bash scripts/windows/build.sh

# The zip's game played under Wine, and the unit tests built for Windows;
# installs Wine when it is missing (`make test` runs this only where Wine is).
windows-test:
	@JOBS=$(JOBS) bash tests/windows/windows_test.sh --install

# The zip and an NSIS installer, build-windows/Tubechain-<version>-win64.exe,
# both tested under Wine.
windows-installer:
	@JOBS=$(JOBS) bash tests/windows/windows_test.sh --install --installer

# The game on a web page, build-web/ and build-web/tubechain-web.zip, built
# with Debian's Emscripten; web-serve serves it on 127.0.0.1 and prints the
# address; web-test plays it in headless Chromium against the desktop game.
web:
	@bash scripts/build-web.sh

web-serve:
	@bash scripts/serve-web.sh

web-test: build web
	@bash tests/web/run.sh

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) build-web build-web-test
