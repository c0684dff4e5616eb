# Front door: `make run` starts the program, `make test` runs every test.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: run test deps configure build clean

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

clean:
	rm -rf $(BUILD)
