# Wrapper around CMake for the two set-up commands of the README.
#   make run    install what is missing, build, start the workstation
#   make test   install what is missing, build, run every test
#   make test SANITIZE=1   the same with AddressSanitizer and UBSan
#   make bench  build and run the benchmarks
#   make fuzz   build the fuzzers of every reader with clang and run each FUZZ_TIME seconds

PACKAGES := cmake ninja-build g++ make qt6-base-dev libgl-dev libgtest-dev libgmock-dev \
            libbenchmark-dev libtbb-dev libspng-dev libdeflate-dev libjpeg62-turbo-dev imagemagick netpbm ffmpeg xvfb xauth \
            time

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

# libFuzzer entry points of every reader (fuzz/fuzz_*.cpp): the picture
# readers, the project file and the mesh and node definition files, seeded
# with the fixtures and the demo data. The core is built once with clang;
# each fuzzer then runs FUZZ_TIME seconds (FUZZ=tga runs one). Crashing
# inputs land in build-fuzz/crashes/; kept ones go to tests/fixtures/fuzz/.
FUZZ_TIME ?= 120
# More libFuzzer options, e.g. FUZZ_ARGS="-max_len=4096 -runs=10100000".
FUZZ_ARGS ?=
FUZZ_DIR := build-fuzz
FUZZ ?= bmp tga pcx png jpg prj msh nod
FUZZ_FLAGS := -std=c++20 -O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -Isrc -Ifuzz
FUZZ_CORE := $(wildcard src/images/*.cpp src/numerics/*.cpp src/mesh/*.cpp src/node/*.cpp src/project/*.cpp)
# The node warp's vector rows choose their instruction sets by GCC's target
# pragmas, which clang ignores; no reader runs them, so here the whole file
# may use the widest set.
FUZZ_VECTOR := src/node/node_warp_rows.cpp src/node/node_warp_fast.cpp
FUZZ_LIBS := -lspng -ldeflate -ljpeg -ltbb
fuzz:
	@command -v clang++ >/dev/null || { echo "make fuzz needs clang: apt-get install -y clang libclang-rt-14-dev"; exit 1; }
	@mkdir -p $(FUZZ_DIR)/crashes $(FUZZ_DIR)/obj
	@for c in $(FUZZ_CORE); do \
	  o=$(FUZZ_DIR)/obj/$$(echo $$c | tr / _).o; \
	  case " $(FUZZ_VECTOR) " in *" $$c "*) x="-mavx2 -mfma -mavx512f" ;; *) x="" ;; esac; \
	  [ "$$o" -nt "$$c" ] || { echo "clang++ $$c"; clang++ $(FUZZ_FLAGS) $$x -c $$c -o $$o || exit 1; }; \
	done
	@for t in $(FUZZ); do \
	  clang++ $(FUZZ_FLAGS) -fsanitize=fuzzer fuzz/fuzz_$$t.cpp $(FUZZ_DIR)/obj/*.o $(FUZZ_LIBS) -o $(FUZZ_DIR)/fuzz_$$t || exit 1; \
	done
	@for t in $(FUZZ); do \
	  mkdir -p $(FUZZ_DIR)/corpus_$$t; \
	  case $$t in \
	    prj) cp data/*.prj $(FUZZ_DIR)/corpus_$$t/ ;; \
	    msh) cp data/demo_start.msh data/demo_end.msh $(FUZZ_DIR)/corpus_$$t/ ;; \
	    nod) cp data/*_nodes.msh $(FUZZ_DIR)/corpus_$$t/ ;; \
	    *) cp tests/fixtures/pictures/*.$$t $(FUZZ_DIR)/corpus_$$t/ 2>/dev/null ;; \
	  esac; \
	  cp tests/fixtures/fuzz/$$t/* $(FUZZ_DIR)/corpus_$$t/ 2>/dev/null; \
	  $(FUZZ_DIR)/fuzz_$$t -max_total_time=$(FUZZ_TIME) -rss_limit_mb=2048 -print_final_stats=1 $(FUZZ_ARGS) \
	    -artifact_prefix=$(FUZZ_DIR)/crashes/$$t- $(FUZZ_DIR)/corpus_$$t || exit 1; \
	done

clean:
	rm -rf build build-sanitize build-fuzz
