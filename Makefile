# Two commands: `make run` builds and runs the program in the current
# directory; `make test` builds the sanitized test build and runs every test.
SOURCE := $(dir $(abspath $(lastword $(MAKEFILE_LIST))))
RELEASE := $(SOURCE)build/release
TEST := $(SOURCE)build/test
JOBS := $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test build build-no-lto bench fuzz plotter build-deps test-deps install python python-deps python-module python-sdist r r-deps r-tarball r-test-package r-check r-docs
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
FUZZ := $(SOURCE)build/fuzz

# Debian packages the build needs (option parsing, json) and the tests add.
BUILD_PACKAGES := cmake g++ make pkg-config libcli11-dev nlohmann-json3-dev libedit-dev libfast-float-dev libboost-math-dev libcsv-dev help2man
# The Python package builds with pybind11 for Debian's python3 and its numpy;
# its tests add pandas, matplotlib, tqdm and pytest. pip builds it with
# setuptools and wheel (in a venv: python3-venv).
PYTHON_PACKAGES := python3-dev python3-numpy python3-pandas python3-matplotlib python3-tqdm pybind11-dev python3-pybind11 python3-dask python3-distributed python3-setuptools python3-wheel python3-venv
# The R package builds with Debian's R, Rcpp, BH (Boost's headers) and
# fast_float; its tests add testthat, jsonlite (to read the program's json)
# and ggplot2 (figures); R CMD check adds codetools (the code's names) and
# qpdf; roxygen2 writes its Rd files and NAMESPACE.
R_PACKAGES := r-base-dev r-cran-rcpp r-cran-bh libboost-dev libfast-float-dev
R_TEST_PACKAGES := $(R_PACKAGES) r-cran-testthat r-cran-jsonlite r-cran-ggplot2 r-cran-withr r-cran-processx
R_CHECK_PACKAGES := $(R_TEST_PACKAGES) r-cran-codetools qpdf
R_DOC_PACKAGES := r-base-dev r-cran-rcpp r-cran-roxygen2
# The figure and real-window tests draw with the real gnuplot on a virtual
# display and read its png and pdf.
PLOT_TEST_PACKAGES := gnuplot-x11 xvfb xdotool imagemagick poppler-utils
TEST_PACKAGES := $(BUILD_PACKAGES) $(PYTHON_PACKAGES) $(R_TEST_PACKAGES) $(PLOT_TEST_PACKAGES) python3-pytest libgtest-dev man-db bsdutils
R_BUILD := $(SOURCE)build/r
R_VERSION := $(shell sed -n 's/^Version: *//p' $(SOURCE)r/DESCRIPTION)
R_TARBALL := $(R_BUILD)/diffboot_$(R_VERSION).tar.gz
PYTHON_BUILD := $(SOURCE)build/python
NO_LTO := $(SOURCE)build/no-lto

# Installs the packages of $(1) that are missing, when run as root; otherwise
# CMake names what is missing.
define install_missing
	@missing=""; for p in $(1); do 	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; 	done; 	if [ -n "$$missing" ] && [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then 	  echo "installing$$missing"; 	  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing >/dev/null 2>&1 || 	  { apt-get update >/dev/null 2>&1 && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing >/dev/null; }; 	fi
endef

build-deps:
	$(call install_missing,$(BUILD_PACKAGES))

test-deps:
	$(call install_missing,$(TEST_PACKAGES))

python-deps:
	$(call install_missing,$(BUILD_PACKAGES) $(PYTHON_PACKAGES))

# The Python module in its own build without the sanitizers (a Python
# extension cannot carry them); the tests import it from there.
python-module:
	cmake -S $(SOURCE) -B $(PYTHON_BUILD) -DCMAKE_BUILD_TYPE=Release -DDIFFBOOT_PYTHON=ON -DDIFFBOOT_PYTHON_SITE=$(PYTHON_SITE)
	cmake --build $(PYTHON_BUILD) -j $(JOBS) --target diffboot_python

# Builds the Python package and installs it for /usr/bin/python3 (its site
# directory, or PYTHON_SITE=DIR).
python: python-deps python-module
	cmake --install $(PYTHON_BUILD) --component python

# The Python package's sdist, carrying the library's sources, in
# build/python-dist (pip builds it anywhere with cmake and pybind11).
python-sdist: python-deps
	mkdir -p $(PYTHON_BUILD)-dist
	cd $(SOURCE)python && /usr/bin/python3 -c 'import sys; from setuptools import build_meta; print(build_meta.build_sdist(sys.argv[1]))' $(PYTHON_BUILD)-dist > $(PYTHON_BUILD)-dist/sdist.log 2>&1 || { cat $(PYTHON_BUILD)-dist/sdist.log; exit 1; }
	@ls $(PYTHON_BUILD)-dist/*.tar.gz

r-deps:
	$(call install_missing,$(R_PACKAGES))

# The R package's source tarball, carrying the library's sources (copied
# into r/src/engine, which git ignores).
r-tarball:
	sh $(SOURCE)r/tools/bundle-engine.sh $(SOURCE)
	mkdir -p $(R_BUILD)
	cd $(R_BUILD) && R CMD build --no-build-vignettes --no-manual $(SOURCE)r

# Builds the tarball and installs it into R's first library (the user's own
# when R_LIBS_USER exists, else the site library, as root), or R_LIBRARY=DIR.
r: r-deps r-tarball
	MAKEFLAGS=-j$(JOBS) R CMD INSTALL $(if $(R_LIBRARY),-l $(R_LIBRARY)) $(R_TARBALL)

# The package installed under build/r/library for the tests.
r-test-package: r-tarball
	mkdir -p $(R_BUILD)/library
	MAKEFLAGS=-j$(JOBS) R CMD INSTALL -l $(R_BUILD)/library $(R_TARBALL) > $(R_BUILD)/install.log 2>&1 || { cat $(R_BUILD)/install.log; exit 1; }

# R CMD check of the tarball. Debian's r-cran-bh has no include/ of its own
# (its Boost headers are libboost-dev's, in /usr/include), which the check
# notes as an unused LinkingTo; the check is given a copy of that BH whose
# include/boost is those headers, as BH is laid out elsewhere.
r-check: r-tarball
	$(call install_missing,$(R_CHECK_PACKAGES))
	rm -rf $(R_BUILD)/check-library && mkdir -p $(R_BUILD)/check-library
	@bh=$$(Rscript -e 'cat(system.file(package = "BH"))'); \
	if [ -n "$$bh" ] && [ ! -d "$$bh/include" ]; then \
	  cp -r "$$bh" $(R_BUILD)/check-library/BH && mkdir $(R_BUILD)/check-library/BH/include && \
	  ln -s /usr/include/boost $(R_BUILD)/check-library/BH/include/boost; \
	fi
	cd $(R_BUILD) && R_LIBS=$(R_BUILD)/check-library MAKEFLAGS=-j$(JOBS) _R_CHECK_FORCE_SUGGESTS_=false R CMD check --no-manual $(notdir $(R_TARBALL))

# The R package's Rd files and NAMESPACE from its roxygen2 comments, and
# Rcpp's glue from its exported C++ functions; their output is committed.
r-docs:
	$(call install_missing,$(R_DOC_PACKAGES))
	cd $(SOURCE)r && Rscript -e 'Rcpp::compileAttributes(".")' -e 'roxygen2::roxygenise(load_code = roxygen2::load_source)'

build: build-deps
	cmake -S $(SOURCE) -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE) -j $(JOBS)

# The program and the library as distributions build them, -O3 without
# link-time optimisation, with -Werror: CI builds it so that a warning only
# this kind of build shows (GCC's -Wrestrict at -O3) cannot land.
build-no-lto: build-deps
	cmake -S $(SOURCE) -B $(NO_LTO) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=OFF -DDIFFBOOT_WERROR=ON
	cmake --build $(NO_LTO) -j $(JOBS)

# Installs bin/diffboot and share/man/man1/diffboot.1 under PREFIX.
install: build
	cmake --install $(RELEASE) --prefix $(PREFIX)

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

test: test-deps python-module r-test-package
	cmake -S $(SOURCE) -B $(TEST) -DCMAKE_BUILD_TYPE=Debug -DDIFFBOOT_SANITIZE=ON -DDIFFBOOT_TESTS=ON -DDIFFBOOT_WERROR=ON -DDIFFBOOT_PYTHON_BUILD=$(PYTHON_BUILD) -DDIFFBOOT_R_LIBRARY=$(R_BUILD)/library
	cmake --build $(TEST) -j $(JOBS)
	ctest --test-dir $(TEST) --output-on-failure
	$(MAKE) -f $(SOURCE)Makefile web-test WEB_PROGRAM=$(TEST)/diffboot

bench: build-deps
	cmake -S $(SOURCE) -B $(SOURCE)build/bench -DCMAKE_BUILD_TYPE=Release -DDIFFBOOT_BENCH=ON
	cmake --build $(SOURCE)build/bench -j $(JOBS)
	$(SOURCE)build/bench/bench/diffboot_bench
	$(SOURCE)bench/batch_loop.sh $(SOURCE)build/bench/diffboot
	$(MAKE) -f $(SOURCE)Makefile python-module
	PYTHONPATH=$(PYTHON_BUILD)/python /usr/bin/python3 $(SOURCE)bench/python_bench.py
	$(MAKE) -f $(SOURCE)Makefile r-test-package
	R_LIBS=$(R_BUILD)/library Rscript $(SOURCE)bench/r_bench.R

# Each fuzz target runs FUZZ_SECONDS on a fresh build; new inputs go to the
# build folder, the checked-in seeds in fuzz/corpus stay as they are.
fuzz:
	CXX=clang++ cmake -S $(SOURCE) -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDIFFBOOT_FUZZ=ON
	cmake --build $(FUZZ) -j $(JOBS) --target fuzz_record_reader fuzz_free_form fuzz_fields
	for t in record_reader free_form fields; do \
	  mkdir -p $(FUZZ)/corpus/$$t; \
	  $(FUZZ)/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    $(FUZZ)/corpus/$$t $(SOURCE)fuzz/corpus/$$t > $(FUZZ)/$$t.log 2>&1; status=$$?; \
	  echo "fuzz_$$t: $$(grep -o 'number_of_executed_units: [0-9]*' $(FUZZ)/$$t.log)"; \
	  if [ $$status -ne 0 ]; then tail -n 40 $(FUZZ)/$$t.log; exit 1; fi; \
	done

# The web page: the engine compiled to WebAssembly by Debian's emscripten
# into build/web-obj, the page and its engine in build/web. Its JavaScript
# optimiser needs Debian's acorn, which Node finds in /usr/share/nodejs.
WEB := $(SOURCE)build/web
WEB_OBJ := $(SOURCE)build/web-obj
WEB_PACKAGES := emscripten chromium nodejs
WEB_PORT ?= 8000
.PHONY: web web-serve web-test web-deps
web-deps:
	$(call install_missing,$(WEB_PACKAGES) libfast-float-dev libboost-math-dev nlohmann-json3-dev)

web: web-deps
	NODE_PATH=/usr/share/nodejs emcmake cmake -S $(SOURCE)web -B $(WEB_OBJ) -DCMAKE_BUILD_TYPE=Release -DDIFFBOOT_SOURCE=$(SOURCE) \
	  $$(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache) > $(WEB_OBJ).log 2>&1 || { cat $(WEB_OBJ).log; exit 1; }
	NODE_PATH=/usr/share/nodejs cmake --build $(WEB_OBJ) -j 2
	mkdir -p $(WEB)
	cp $(SOURCE)web/page/index.html $(SOURCE)web/page/app.js $(SOURCE)web/page/figure.js $(SOURCE)web/page/worker.js \
	   $(SOURCE)web/page/style.css $(WEB_OBJ)/engine.js $(WEB_OBJ)/engine.wasm $(WEB)/

web-serve: web
	cd $(WEB) && python3 -m http.server $(WEB_PORT) --bind 127.0.0.1

# The page in headless Chromium (puppeteer-core from web/package-lock.json)
# against the program's json, and the browser build's number formatting
# against the native one.
WEB_PROGRAM ?= $(RELEASE)/diffboot
web-test: web
	@[ -x $(WEB_PROGRAM) ] || $(MAKE) -f $(SOURCE)Makefile build
	g++ -std=c++20 -O2 -include $(SOURCE)web/compat/portable.h $(SOURCE)web/tests/shortest_test.cpp -o $(WEB_OBJ)/shortest_test && $(WEB_OBJ)/shortest_test
	cd $(SOURCE)web && npm ci --offline --no-audit --no-fund >/dev/null 2>&1 || (cd $(SOURCE)web && npm ci --no-audit --no-fund)
	node $(SOURCE)web/tests/browser_test.js $(WEB) $(WEB_PROGRAM)
