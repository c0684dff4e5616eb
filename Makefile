# Front door: `make run` starts the program, `make test` runs every test.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: run test test-sanitize bench deps configure build clean

deps:
	@sh scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@if [ -n "$${DISPLAY:-}" ]; then \
		./$(BUILD)/fishtank; \
	else \
		echo "No display available (DISPLAY is not set): rendering the start frame instead."; \
		./$(BUILD)/fishtank-render -o fishtank.png; \
	fi

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize:
	@$(MAKE) --no-print-directory test BUILD=$(BUILD)-sanitize CMAKE_FLAGS="-DFISHTANK_SANITIZE=ON $(CMAKE_FLAGS)"

# Micro benchmarks (Google Benchmark); bench/pacing.sh, scripts/memcheck.sh and
# scripts/soak.sh measure the running program.
bench: build
	@./$(BUILD)/fishtank-bench

clean:
	rm -rf $(BUILD) $(BUILD)-sanitize $(BUILD)-fuzz
