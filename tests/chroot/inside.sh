#!/bin/bash
# Run by chroot.sh inside the chroot: the checkout is /src (read-only), the build trees go to
# /build. The same make targets as on the host; the sanitizer build, valgrind's memcheck, the
# soak and the benchmark stay on the host, whose figures and tool versions they are tuned to.
# With --load first, the desktop suites alone run under load (make test-load).
set -euo pipefail

echo "== $(. /etc/os-release && echo "$PRETTY_NAME"): $(gcc --version | head -1)," \
    "Qt $(dpkg-query -W -f='${Version}' qt6-base-dev), $(wine --version)"
cd /src
if [ "${1:-}" = --load ]; then
    shift
    exec make test-load BUILD=/build/native WINDOWS_BUILD=/build/windows \
        CTEST_ARGS="$(printf '%q ' "$@")"
fi
# make's own package step finds everything installed already (there is no network here).
# Arguments, if any, pick the tests (ctest's -R, -L...), and then the package is left out.
picked="-LE 'memcheck|soak|bench'"
[ $# -eq 0 ] || picked=$(printf '%q ' "$@")
make test BUILD=/build/native WINDOWS_BUILD=/build/windows CTEST_ARGS="$picked"
[ $# -eq 0 ] || exit 0
make deb BUILD=/build/native

# The package installs here (dpkg refuses it if a library it depends on has another name in
# this suite), and the installed vardo starts.
deb=$(ls /build/native/vardo_*.deb)
dpkg -i "$deb" >/dev/null
timeout 120 xvfb-run -a -s "-screen 0 640x480x24" /bin/sh -c '
    vardo & pid=$!
    xdotool search --sync --onlyvisible --pid "$pid" >/dev/null
    kill "$pid"; wait "$pid" 2>/dev/null || true'
echo "deb: $(basename "$deb") installs and starts"
