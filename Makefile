# The two commands a newcomer types: `make run` and `make test`.
PRESET ?= default
BUILD := build/$(PRESET)

.PHONY: setup build run test sanitize fuzz bench format clean

setup:
	@scripts/setup.sh

build: setup
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

run: build
	@integrations/install.sh "$(CURDIR)/$(BUILD)/larkspire"
	@scripts/run.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j2

sanitize:
	@$(MAKE) test PRESET=sanitize

bench: build
	@$(BUILD)/bench/larkspire_bench

fuzz: setup
	@cmake --preset fuzz >/dev/null && cmake --build --preset fuzz

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build
