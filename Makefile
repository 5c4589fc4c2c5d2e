# The two commands a newcomer types: `make run` and `make test`.
PRESET ?= default
BUILD := build/$(PRESET)

.PHONY: setup build run install deb test sanitize fuzz bench format clean

setup:
	@scripts/setup.sh

build: setup
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET)

run: build
	@integrations/install.sh "$(CURDIR)/$(BUILD)/larkspire"
	@scripts/install-gnome-extension.sh $(BUILD)
	@scripts/run.sh $(BUILD)

# For this user, into ~/.local: the program, its desktop entry and icons, the file-manager entries;
# the udev rule for smooth scrolling needs root, so the command that installs it is printed.
PREFIX ?= $(HOME)/.local
install: setup
	@cmake --preset $(PRESET) -DCMAKE_INSTALL_PREFIX="$(PREFIX)" >/dev/null
	@cmake --build --preset $(PRESET) --target larkspire
	@cmake --install $(BUILD)
	@scripts/install-desktop-entry.sh "$(PREFIX)/bin/larkspire"
	@"$(PREFIX)/bin/larkspire" --install-file-manager-entries
	@scripts/udev-rule.sh "$(PREFIX)"

# The Debian package, in build/package.
deb: setup
	@cmake --preset package >/dev/null
	@cmake --build --preset package
	@cd build/package && cpack

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
