#!/bin/bash
# Installs what is missing (Debian 12, as root), builds Vistrel and then runs it or its tests.
#   ./build.sh run [FILE.dir]  build and start the program (the desktop window)
#   ./build.sh test            build and run every test
set -euo pipefail
cd "$(dirname "$0")"

# poppler-utils: pdftotext, with which the printing test reads its report back.
PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev poppler-utils)

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
    # The same suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
    cmake --preset asan
    cmake --build --preset asan --parallel "$(nproc)"
    ctest --preset asan
    ;;
*)
    echo "usage: $0 run [FILE.dir] | test" >&2
    exit 2
    ;;
esac
