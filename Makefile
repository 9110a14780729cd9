# The two commands a newcomer needs: `make play` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: play test build deps format bench package clean

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release > /dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

play: build
	@bash scripts/play.sh $(BUILD_DIR)/tubechain

# The tests' windows go to virtual displays of their own, never to the
# desktop's: a Wayland session's compositor is hidden from them too.
test: build
	@bash scripts/check-format.sh
	@cd $(BUILD_DIR) && env -u WAYLAND_DISPLAY ALSOFT_DRIVERS=null xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
		ctest --output-on-failure

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
package: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr > /dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target tubechain_installed
	@cd $(BUILD_DIR) && cpack -G DEB

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR)
