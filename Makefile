# The two commands of the README: `make run` and `make test`.
# Both install missing Debian packages and build first.
BUILD ?= build
ASAN_BUILD ?= build-asan
WIN_BUILD ?= build-windows
WERROR ?= $(if $(CI),ON,OFF)
JOBS ?= $(shell nproc)

.PHONY: deps build run package windows test test-plain test-sanitize test-fuzz test-windows fuzz bench clean

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

# The Windows programs and build-windows/quorvel-windows-x64.zip (mingw-w64).
windows: deps
	bash scripts/windows-sources.sh $(WIN_BUILD)/third_party
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DQUORVEL_WERROR=$(WERROR)
	cmake --build $(WIN_BUILD) -j $(JOBS)

# The core's tests built for Windows and run under Wine.
test-windows: windows
	ctest --test-dir $(WIN_BUILD) --output-on-failure

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

test: test-plain test-sanitize test-fuzz test-windows

bench: build
	$(BUILD)/bench/quorvel-bench
	bash bench/startup_bench.sh $(BUILD)
	$(BUILD)/bench/quorvel-speech-bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD) build-fuzz
