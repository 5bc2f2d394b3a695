#!/bin/bash
# Installs what is missing (Debian 12, as root), builds Vistrel and then runs it or its tests.
#   ./build.sh run [FILE.dir]  build and start the program (the desktop window)
#   ./build.sh test            build and run every test, the Debian package's checks among them
#   ./build.sh package         build the Debian package build/vistrel_VERSION_ARCH.deb
set -euo pipefail
cd "$(dirname "$0")"

# poppler-utils: pdftotext, with which the printing test reads its report back. dpkg-dev and
# file: what CPack needs to read the package's dependencies off the programs. The rest check
# the package: its desktop entry, its AppStream metainfo and its manual pages. mtree-netbsd
# checks the mtree export against the tree it describes.
PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev libssl-dev poppler-utils
    dpkg-dev file desktop-file-utils appstream man-db mtree-netbsd chromium)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build build --parallel "$(nproc)"
}

package() {
    rm -f build/vistrel_*.deb
    (cd build && cpack -G DEB)
}

case "${1:-}" in
run)
    shift
    install_missing
    build
    exec build/src/vistrel "$@"
    ;;
test)
    install_missing
    build
    ctest --test-dir build --output-on-failure --timeout 600
    package
    tests/package/check_package.sh build/vistrel_*.deb
    # The same suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
    cmake --preset asan
    cmake --build --preset asan --parallel "$(nproc)"
    ctest --preset asan
    ;;
package)
    install_missing
    build
    package
    ;;
*)
    echo "usage: $0 run [FILE.dir] | test | package" >&2
    exit 2
    ;;
esac
