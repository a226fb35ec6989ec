# Two entry points: `make demo` runs the bundled example scenario, `make test`
# runs every test. Both configure and build as needed. `make install
# PREFIX=/some/where` puts the program in PREFIX/bin.
BUILD ?= build
SAN_BUILD ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEMO_DIR ?= $(BUILD)/demo
EXAMPLE ?= examples/ditch
RUN_ID ?= ditch
PREFIX ?= /usr/local

.PHONY: all build demo test test-sanitize install clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The demo builds the program alone, so that a new user waits for the model
# and not for its tests.
demo: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target korvan
	rm -rf $(DEMO_DIR) && mkdir -p $(DEMO_DIR)
	cp -r $(EXAMPLE)/. $(DEMO_DIR)/
	cd $(DEMO_DIR) && ../korvan $(RUN_ID) > console.txt; status=$$?; \
	  tail -n 3 console.txt; echo; \
	  if [ $$status -eq 0 ]; then \
	    echo "Global maximum in the water layer (ug/L), first substance:"; \
	    grep -m 1 "^Global max" $(RUN_ID).sum; echo; \
	    awk '/Table: Maximum Time Weighted Averaged/ {on=1} on {print} on && /^\* -+$$/ {n++} n==3 {exit}' $(RUN_ID).sum; \
	    echo; \
	  else cat $(RUN_ID).err; fi; \
	  echo "Files of run $(RUN_ID) in $(DEMO_DIR):"; \
	  ls -1 $(RUN_ID).* korvan.ok 2>/dev/null | sed 's|^|  $(DEMO_DIR)/|'; exit $$status

test: build
	cd $(BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS)

# Installs the program (and what else the build has install rules for) under
# PREFIX, from the build directory of `make build`.
install: $(BUILD)/CMakeCache.txt
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD) -j $(JOBS) --target korvan
	cmake --install $(BUILD)
	@echo "Installed $(PREFIX)/bin/korvan"

test-sanitize:
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKORVAN_SANITIZE=ON
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure --no-tests=error -j $(JOBS)

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
