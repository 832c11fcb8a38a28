# Lumiran Setup: make demo (build and run the installer), make test (every test).
SHELL := /bin/bash
JOBS ?= $(shell nproc)
HOST := build/host
WIN := build/win64
# cmake --build starts a make for each target; as sub-makes of this one they
# would each print their directory on the way in and on the way out.
MAKEFLAGS += --no-print-directory

# Debian packages the build, the tests and the demo need.
PACKAGES := cmake make g++ googletest libgtest-dev python3 python3-jsonschema \
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
    wine wine64 fonts-wine xvfb xauth x11-utils imagemagick fonts-wqy-microhei \
    liblnk-utils icoutils libimage-exiftool-perl python3-pil python3-matplotlib \
    strace nsis osslsigncode openssl patch softhsm2 opensc libengine-pkcs11-openssl

.PHONY: FORCE deps build build-host build-win test test-host test-win demo screenshots bench icon clean

# Installs only what is missing: as root directly, else through sudo, which
# may ask for the user's password. Nothing missing: nothing run, nothing asked.
deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; done); \
	missing=$$(echo $$missing); \
	[ -n "$$missing" ] || exit 0; \
	if [ "$$(id -u)" -eq 0 ]; then sudo=; \
	elif command -v sudo >/dev/null; then sudo=sudo; \
	else echo "make deps: installing packages needs root; as root run: apt-get install $$missing" >&2; exit 1; fi; \
	echo "Installing: $$missing"; \
	apt="$$sudo env DEBIAN_FRONTEND=noninteractive apt-get"; \
	$$apt update -qq && $$apt install -y -qq --no-install-recommends $$missing >/dev/null || \
	  { echo "make deps: could not install them; run 'sudo make deps', or as root: apt-get install $$missing" >&2; exit 1; }

# The version to build (make test LUMIRAN_VERSION=2.2.0); empty: the
# project's. Each tree notes the value it was configured with, and another
# value configures it again.
LUMIRAN_VERSION ?=
VERSION_NOTE = .lumiran-version-asked
$(HOST)/$(VERSION_NOTE) $(WIN)/$(VERSION_NOTE): FORCE
	@mkdir -p $(@D) && echo '$(LUMIRAN_VERSION)' | cmp -s - $@ || echo '$(LUMIRAN_VERSION)' >$@

$(HOST)/CMakeCache.txt: $(HOST)/$(VERSION_NOTE)
	cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=Debug -DLUMIRAN_VERSION='$(LUMIRAN_VERSION)' >/dev/null

$(WIN)/CMakeCache.txt: $(WIN)/$(VERSION_NOTE)
	cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	      -DLUMIRAN_VERSION='$(LUMIRAN_VERSION)' >/dev/null

FORCE:

build-host: $(HOST)/CMakeCache.txt
	cmake --build $(HOST) -j$(JOBS)

build-win: $(WIN)/CMakeCache.txt
	cmake --build $(WIN) -j$(JOBS)

build: build-host build-win

test-host: deps build-host
	cd $(HOST) && ctest --output-on-failure -j$(JOBS)

# Wine tests share one X server; each makes its own prefix.
test-win: deps build-win
	cd $(WIN) && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j$(JOBS)

test: deps
	$(MAKE) build
	$(MAKE) test-host
	$(MAKE) test-win

# The demo saves its screenshots under $(WIN)/screenshots; screenshots
# refreshes the committed ones in docs/ instead.
demo: deps build-win
	tools/demo.sh $(WIN)

screenshots: deps build-win
	LUMIRAN_DEMO_SHOTS=$(CURDIR)/docs tools/demo.sh $(WIN)

bench: deps build-win
	bench/run.sh $(WIN)

# Regenerates resources/lumiran.ico from its source, resources/make_icon.py.
icon:
	/usr/bin/python3 resources/make_icon.py

clean:
	rm -rf build
