# The two commands of the README: `make run` and `make test`.
# Both install missing Debian packages and build first.
BUILD ?= build
ASAN_BUILD ?= build-asan
WERROR ?= $(if $(CI),ON,OFF)
JOBS ?= $(shell nproc)

.PHONY: deps build run package test test-plain test-sanitize test-fuzz fuzz bench clean

deps:
	bash scripts/setup-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	bash scripts/run-demo.sh $(BUILD) $(ARGS)

# The Debian package, quorvel_<version>_amd64.deb, in this folder.
package: build
	cd $(BUILD) && cpack -G DEB -B $(CURDIR)
	rm -rf $(CURDIR)/_CPack_Packages

test-plain: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON \
	  -DQUORVEL_BENCH=OFF -DQUORVEL_WERROR=$(WERROR)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Every fuzz target briefly on its seed corpus: a regression is found in seconds.
test-fuzz: deps
	WERROR=$(WERROR) bash scripts/fuzz.sh 20

# Longer fuzzing: make fuzz FUZZ_SECONDS=300
FUZZ_SECONDS ?= 60
fuzz: deps
	WERROR=$(WERROR) bash scripts/fuzz.sh $(FUZZ_SECONDS)

test: test-plain test-sanitize test-fuzz

bench: build
	$(BUILD)/bench/quorvel-bench
	bash bench/startup_bench.sh $(BUILD)
	$(BUILD)/bench/quorvel-speech-bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
