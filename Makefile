# Front door: `make run` starts the program, `make test` runs every test.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: run test test-sanitize bench package icons animation configure build clean

configure:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run:
	@sh scripts/install-deps.sh run
	@$(MAKE) --no-print-directory build
	@if [ -n "$${DISPLAY:-}" ]; then \
		./$(BUILD)/fishtank; \
	else \
		echo "No display available (DISPLAY is not set): rendering the start frame instead."; \
		./$(BUILD)/fishtank-render -o $(BUILD)/fishtank.png; \
	fi

test:
	@sh scripts/install-deps.sh test
	@$(MAKE) --no-print-directory build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	@$(MAKE) --no-print-directory test BUILD=$(BUILD)-sanitize CMAKE_FLAGS="-DFISHTANK_SANITIZE=ON $(CMAKE_FLAGS)"

# Micro benchmarks (Google Benchmark); bench/*.sh and scripts/memcheck.sh and soak.sh
# measure the running programs.
bench:
	@sh scripts/install-deps.sh test
	@$(MAKE) --no-print-directory build
	@./$(BUILD)/fishtank-bench

# The Debian package, build/fishtank_VERSION_amd64.deb.
package:
	@sh scripts/install-deps.sh test
	@$(MAKE) --no-print-directory build
	@cd $(BUILD) && cpack > /dev/null && ls $(CURDIR)/$(BUILD)/fishtank_*.deb

# Render the icon and the README's animation again.
icons animation: build
	@cmake --build $(BUILD) --target $@

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize $(BUILD)-fuzz
