# Two commands: `make run` builds and runs the program in the current
# directory; `make test` builds the sanitized test build and runs every test.
SOURCE := $(dir $(abspath $(lastword $(MAKEFILE_LIST))))
RELEASE := $(SOURCE)build/release
TEST := $(SOURCE)build/test
JOBS := $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test build bench fuzz plotter

build:
	cmake -S $(SOURCE) -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE) -j $(JOBS)

run: build plotter
	$(RELEASE)/diffboot

# The histograms are drawn by gnuplot; install it when it is missing and we may.
plotter:
	@command -v gnuplot >/dev/null 2>&1 || { \
	  if [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then \
	    apt-get install -y --no-install-recommends gnuplot-x11 >/dev/null 2>&1 || \
	    { apt-get update >/dev/null 2>&1 && apt-get install -y --no-install-recommends gnuplot-x11 >/dev/null 2>&1; } || \
	    echo "gnuplot could not be installed; the histograms will not be shown"; \
	  else \
	    echo "gnuplot is not installed (sudo apt-get install --no-install-recommends gnuplot-x11); the histograms will not be shown"; \
	  fi; }

test:
	cmake -S $(SOURCE) -B $(TEST) -DCMAKE_BUILD_TYPE=Debug -DDIFFBOOT_SANITIZE=ON -DDIFFBOOT_TESTS=ON
	cmake --build $(TEST) -j $(JOBS)
	ctest --test-dir $(TEST) --output-on-failure

bench:
	cmake -S $(SOURCE) -B $(SOURCE)build/bench -DCMAKE_BUILD_TYPE=Release -DDIFFBOOT_BENCH=ON
	cmake --build $(SOURCE)build/bench -j $(JOBS)
	$(SOURCE)build/bench/bench/diffboot_bench
