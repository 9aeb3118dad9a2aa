# make run: install what is missing, build, start the face.
# make test: install what is missing, build, run every test.
# make test SANITIZE=1: the same with AddressSanitizer and UBSan, built in build-asan/.
# make windows: cross-build vardo.exe into build-windows/ (MinGW-w64); make test runs it under
# Wine too, except with SANITIZE=1.
# make soak: the long reliability run (SOAK_MINUTES, 10 by default) on the real binary.
# make test-load: the desktop suites one at a time with the machine loaded (one busy process per
# core beside them), as a slow or busy machine runs the program; SANITIZE=1 and CTEST_ARGS work
# as for make test.

# SANITIZE=1 builds with -DVARDO_SANITIZE=ON (in build-asan/ unless BUILD says otherwise);
# SANITIZE=0 turns it off again in a build directory that had it.
SANITIZE ?=
ifeq ($(SANITIZE),1)
BUILD ?= build-asan
SANITIZE_FLAG := -DVARDO_SANITIZE=ON
else ifeq ($(SANITIZE),0)
SANITIZE_FLAG := -DVARDO_SANITIZE=OFF
endif
BUILD ?= build
JOBS ?= $(shell nproc)
WINDOWS_BUILD ?= build-windows

# make test builds the Windows executable and runs the desktop tests on it under Wine as well;
# the sanitizer round has nothing to add there.
ifneq ($(filter test test-load,$(MAKECMDGOALS)),)
ifneq ($(SANITIZE),1)
WINDOWS_EXE := $(abspath $(WINDOWS_BUILD))/vardo.exe
endif
endif

# Debian packages the build and the tests need. Each target installs only the missing ones.
PACKAGES := cmake g++ make pkg-config qt6-base-dev libgl-dev libgif-dev libxcb1-dev libx11-dev \
	libxcb-xinput-dev \
	fonts-liberation2 xdg-utils \
	xvfb xauth openbox xdotool x11-utils x11-xserver-utils imagemagick python3 python3-xlib \
	desktop-file-utils appstream dpkg-dev file binutils-mingw-w64-x86-64 valgrind \
	xserver-xephyr
# The other window managers the desktop tests run the face under, and the session bus that
# xfwm4 and metacity keep their settings behind.
PACKAGES += xfwm4 metacity icewm dbus
# The benchmark and its smoke run in the tests: an X protocol tracer, and xeyes to compare with.
PACKAGES += xtrace x11-apps
# The Windows build: the MinGW-w64 cross compiler, Wine to run it (with its own fonts, among
# them MS Sans Serif), and pefile to read the executable back.
WINDOWS_PACKAGES := cmake make g++-mingw-w64-x86-64-posix mingw-w64-tools \
	wine wine64 fonts-wine python3-pefile
# Its installer is made with NSIS.
WINDOWS_PACKAGES += nsis
ifneq ($(WINDOWS_EXE),)
PACKAGES += $(WINDOWS_PACKAGES)
endif
# The Wayland desktop tests: headless KWin and GNOME Shell with XWayland, a native Wayland window
# (weston's demo client), KWin's fake-input protocol and the Wayland client library and scanner
# for the test's pointer client, and D-Bus from Python for GNOME Shell's RemoteDesktop.
PACKAGES += kwin-wayland gnome-shell xwayland weston plasma-wayland-protocols libwayland-dev \
	libwayland-bin python3-dbus

.PHONY: all deps build run test deb clean windows windows-deps print-packages

all: build

# Every package the build and the tests need, the Windows side included (for tests/chroot/).
print-packages:
	@echo $(sort $(PACKAGES) $(WINDOWS_PACKAGES))

deps:
	@$(MAKE) --no-print-directory install-packages INSTALL_PACKAGES="$(PACKAGES)"

# Within make test, deps installs both lists at once: one apt-get at a time.
windows-deps: $(if $(WINDOWS_EXE),deps)
	@$(MAKE) --no-print-directory install-packages INSTALL_PACKAGES="$(WINDOWS_PACKAGES)"

.PHONY: install-packages
install-packages:
	@missing=$$(for p in $(INSTALL_PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
		sudo=$$([ "$$(id -u)" -eq 0 ] || echo sudo); \
		echo "Installing:" $$missing; \
		$$sudo apt-get update && \
		$$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(SANITIZE_FLAG) \
		-DVARDO_WINDOWS_EXE=$(WINDOWS_EXE)
	cmake --build $(BUILD) -j $(JOBS)

# make windows: build-windows/vardo.exe, 64-bit, statically linked, GUI subsystem, and beside it
# the portable vardo-VERSION-win64.zip and the installer vardo-VERSION-win64-setup.exe.
windows: windows-deps
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/platform/win32/MinGW-w64.cmake
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

run: build
	./$(BUILD)/vardo

# CTEST_ARGS picks tests, e.g. CTEST_ARGS="-L wayland" or CTEST_ARGS="-LE soak".
CTEST_ARGS ?=
test: build $(if $(WINDOWS_EXE),windows)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# make test-load: the desktop suites (the ctest labels desktop, reliability, wayland and wine,
# those the build has) one at a time, with LOAD_PROCESSES busy loops beside them, one per core
# unless set; the loops end with ctest, however it ends. The harness's waits grow with the load
# (VARDO_WAIT_FACTOR is their floor), what the program must do does not. CTEST_ARGS narrows
# the choice, e.g. CTEST_ARGS="-R icewm".
LOAD_PROCESSES ?= $(shell nproc)
LOAD_LABELS := desktop|reliability|wayland|wine
.PHONY: test-load
test-load: build $(if $(WINDOWS_EXE),windows)
	cd $(BUILD) && VARDO_WAIT_FACTOR=2 $(CURDIR)/tests/under-load.sh $(LOAD_PROCESSES) \
		ctest --output-on-failure -L '$(LOAD_LABELS)' $(CTEST_ARGS)

# make test-chroot: the same build and tests on a newer Debian (SUITE, unstable by default;
# trixie works too) in a chroot cached in /var/cache/vardo, made from the mirror the host's
# apt uses. Needs root. See tests/chroot/chroot.sh. CTEST_ARGS picks tests there too (and
# then the package is not built). LOAD=1 runs the desktop suites alone there, under load, as
# make test-load does on the host.
SUITE ?= unstable
.PHONY: test-chroot
test-chroot:
	tests/chroot/chroot.sh $(if $(filter 1,$(LOAD)),test-load,test) $(SUITE) $(CTEST_ARGS)

# make soak: random pointer motion, drags, the menu, the About window and its links for
# SOAK_MINUTES on the real vardo under Xvfb and openbox; prints its figures at the end.
SOAK_MINUTES ?= 10

.PHONY: soak
soak: build
	/usr/bin/python3 tests/desktop/soak.py --vardo $(BUILD)/vardo --minutes $(SOAK_MINUTES) \
		$(if $(filter 1,$(SANITIZE)),--sanitized)

# make deb: the Debian package, written into $(BUILD)/ as vardo_VERSION_ARCH.deb.
deb: build
	cd $(BUILD) && cpack -G DEB

# make bench: the performance benchmark (bench/): vardo against a bare Qt window and xeyes on
# Xvfb, and vardo at rest there and on headless KWin and GNOME Shell (with its extension
# installed where the Wayland tests put it). Prints the tables and writes them to
# $(BUILD)/bench/results.md and results.json. Options go through BENCH_ARGS, e.g.
# make bench BENCH_ARGS="--runs 5 --phase 60". It exits non-zero when vardo misses one of its
# budgets.
BENCH_ARGS ?=
BENCH_INSTALLED := $(abspath $(BUILD))/tests/wayland/installed

.PHONY: bench

bench: build
	cmake --install $(BUILD) --prefix $(BENCH_INSTALLED) > /dev/null
	VARDO_EXTENSION_DATA=$(BENCH_INSTALLED)/share \
	VARDO_FAKE_INPUT=$(abspath $(BUILD))/tests/wayland/vardo-test-fake-input \
		/usr/bin/python3 bench/vardo_bench.py --vardo $(BUILD)/vardo \
		--floor $(BUILD)/bench/vardo-bench-floor --out $(BUILD)/bench $(BENCH_ARGS)

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD)
