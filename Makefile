# Thin front over CMake. Every target first makes sure the machine has what it needs.
BUILD   := build/cmake
OUT     := build/out
PREFIX  := $(CURDIR)/build/wineprefix
WINE    := WINEPREFIX=$(PREFIX) WINEDEBUG=-all
JOBS    ?= $(shell nproc)

.PHONY: all setup build test compat demo dist bench clean format

all: build

setup:
	@tools/setup

build: setup
	@cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# One wineserver lives for the whole run (-p keeps it up), so each test
# program starts in a fraction of a second, and one desktop, held by the
# desktop keeper, so that it never closes under a program making a window;
# both are stopped afterwards.
test: build
	@tools/wine-prefix $(PREFIX) --up $(CURDIR)/$(BUILD)/bin/desktop_keeper.exe
	@status=0; cd $(BUILD) && ctest --output-on-failure -j $(JOBS) || status=$$?; \
	  cd $(CURDIR) && tools/wine-prefix $(PREFIX) --down; exit $$status

# The library's suites, the examples and the tour in prefixes that report
# Windows 98 (against marvo32w9) and Windows 2000 (against marvo32), and the
# start menu's window tests on Windows 98.
compat: build
	@tools/compat $(BUILD)

# Lays out the CD, shows the start menu from it (on a virtual display when
# there is none; the screenshot goes to build/demo) and runs the tour.
demo: build
	@tools/wine-prefix $(PREFIX) --up
	@status=0; tools/demo $(OUT) $(PREFIX) || status=$$?; \
	  tools/wine-prefix $(PREFIX) --down; exit $$status

# The CD folder (with the Slovak and the English setup program), its ISO image
# and the release archive, in build/dist.
dist: build
	@tools/dist $(OUT) build/dist

bench: build
	@tools/wine-prefix $(PREFIX)
	@$(WINE) wine $(BUILD)/bin/crypt_bench.exe
	@$(WINE) tools/bench-report $(BUILD)

# Reliability, long forms: a million fuzzing calls and the threads test for a
# minute, each in its sandbox prefix (make fuzz); the start menu's soak of ten
# thousand moves and a hundred failed install clicks (make soak).
FUZZ_CALLS ?= 1000000
FUZZ_SEED  ?= 20261207
SANDBOX    := tests/reliability/sandbox-prefix.sh $(CURDIR)/$(BUILD)/tests/reliability/sandbox-wineprefix $(CURDIR)/$(OUT)

fuzz: build
	@FUZZ_CALLS=$(FUZZ_CALLS) FUZZ_SEED=$(FUZZ_SEED) $(SANDBOX) $(BUILD)/bin/reliability_fuzz.exe
	@RELIABILITY_SECONDS=60 $(SANDBOX) $(BUILD)/bin/reliability_threads.exe

soak: build
	@RELIABILITY_SOAK_MOVES=10000 RELIABILITY_SOAK_CLICKS=100 tests/startmenu/window-display.sh \
	  $(CURDIR)/$(BUILD)/tests/reliability/soak-wineprefix $(BUILD)/bin/reliability_soak.exe

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
