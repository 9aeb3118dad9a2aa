# make run: install what is missing, build, start the face.
# make test: install what is missing, build, run every test.

BUILD ?= build
JOBS ?= $(shell nproc)

# Debian packages the build and the tests need. Each target installs only the missing ones.
PACKAGES := cmake g++ make pkg-config qt6-base-dev libgl-dev libgif-dev libxcb1-dev \
	fonts-liberation2 xdg-utils \
	xvfb xauth openbox xdotool x11-utils x11-xserver-utils imagemagick python3 python3-xlib \
	desktop-file-utils appstream dpkg-dev file binutils-mingw-w64-x86-64
# The other window managers the desktop tests run the face under, and the session bus that
# xfwm4 and metacity keep their settings behind.
PACKAGES += xfwm4 metacity icewm dbus

.PHONY: all deps build run test deb clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
		sudo=$$([ "$$(id -u)" -eq 0 ] || echo sudo); \
		echo "Installing:" $$missing; \
		$$sudo apt-get update && \
		$$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/vardo

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# make deb: the Debian package, written into $(BUILD)/ as vardo_VERSION_ARCH.deb.
deb: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
