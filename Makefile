# Wrapper around CMake for the two set-up commands of the README.
#   make run    install what is missing, build, start the workstation
#   make test   install what is missing, build, run every test
#   make test SANITIZE=1   the same with AddressSanitizer and UBSan
#   make bench  build and run the benchmarks
#   make fuzz   build the picture reader fuzzers with clang and run each FUZZ_TIME seconds

PACKAGES := cmake ninja-build g++ make qt6-base-dev libgl-dev libgtest-dev libgmock-dev \
            libbenchmark-dev libtbb-dev libspng-dev libdeflate-dev libjpeg62-turbo-dev imagemagick netpbm ffmpeg xvfb xauth

ifeq ($(SANITIZE),1)
BUILD_DIR := build-sanitize
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=ON
else
BUILD_DIR := build
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=Release
endif

JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench fuzz clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = "0" ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing || exit 1; \
	  else \
	    echo "Missing Debian packages. Run as root:"; \
	    echo "  apt-get update && apt-get install -y --no-install-recommends$$missing"; \
	    exit 1; \
	  fi; \
	fi

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS); \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  if [ -x $(BUILD_DIR)/bin/quorvix-render ] && [ -f $(BUILD_DIR)/bin/Data/demo_mesh.prj ]; then \
	    mkdir -p $(BUILD_DIR)/demo-out; \
	    $(BUILD_DIR)/bin/quorvix-render $(BUILD_DIR)/bin/Data/demo_mesh.prj --type avi --quiet --output $(BUILD_DIR)/demo-out && \
	    echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): rendered the demo project to the movie $(BUILD_DIR)/demo-out/demo.AVI"; \
	  else \
	    echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): start $(BUILD_DIR)/bin/quorvix under a desktop session or xvfb-run."; \
	  fi; \
	else \
	  if [ -f $(BUILD_DIR)/bin/Data/demo_mesh.prj ]; then \
	    $(BUILD_DIR)/bin/quorvix $(BUILD_DIR)/bin/Data/demo_mesh.prj; \
	  else \
	    $(BUILD_DIR)/bin/quorvix; \
	  fi; \
	fi

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target benchmarks
	@for b in $(BUILD_DIR)/bench/*; do [ -x "$$b" ] && [ -f "$$b" ] && "$$b"; done; true

# libFuzzer entry points of the picture readers (fuzz/fuzz_*.cpp), seeded with
# the picture fixtures. Crashing inputs land in build-fuzz/crashes/.
FUZZ_TIME ?= 120
FUZZ_DIR := build-fuzz
FUZZ_READERS := bmp tga pcx png jpg
fuzz:
	@command -v clang++ >/dev/null || { echo "make fuzz needs clang: apt-get install -y clang libclang-rt-14-dev"; exit 1; }
	@mkdir -p $(FUZZ_DIR)/crashes
	@for t in $(FUZZ_READERS); do \
	  clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -Isrc -Ifuzz \
	    fuzz/fuzz_$$t.cpp src/images/*.cpp -lspng -ldeflate -ljpeg -ltbb -o $(FUZZ_DIR)/fuzz_$$t || exit 1; \
	done
	@for t in $(FUZZ_READERS); do \
	  mkdir -p $(FUZZ_DIR)/corpus_$$t; \
	  cp tests/fixtures/pictures/*.$$t $(FUZZ_DIR)/corpus_$$t/ 2>/dev/null; \
	  $(FUZZ_DIR)/fuzz_$$t -max_total_time=$(FUZZ_TIME) -rss_limit_mb=4096 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_DIR)/crashes/$$t- $(FUZZ_DIR)/corpus_$$t || exit 1; \
	done

clean:
	rm -rf build build-sanitize build-fuzz
