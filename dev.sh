#!/usr/bin/env bash
# Orvane Update developer entry point.
#   ./dev.sh demo        update a simulated writer end to end (terminal program)
#   ./dev.sh test        every test: native, AddressSanitizer, MinGW build, Wine
#   ./dev.sh build       the native build only
#   ./dev.sh screenshot  docs/window-*.png: the window under Wine, idle, during
#                        the application transfer, and the success box
# Each installs what it needs on a fresh Debian machine first.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

NATIVE_PACKAGES=(cmake make g++ googletest libgtest-dev libbenchmark-dev)
CROSS_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 xvfb xauth)

log() { printf '\n== %s ==\n' "$*"; }

install_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build_preset() {
    local preset=$1
    log "build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$JOBS"
}

# Starts a virtual X display for Wine and sets DISPLAY; stopped on exit.
start_display() {
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
    done
    echo "cannot start Xvfb" >&2
    return 1
}

setup_wine() {
    export WINEPREFIX="$ROOT/build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        log "creating the Wine prefix"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
    fi
    # One server for all the tests, with its desktop up before the first window.
    wineserver -p 2>/dev/null || true
    wine cmd /c exit >/dev/null 2>&1 || true
}

cleanup() {
    [ -n "${SIM_PID:-}" ] && kill "$SIM_PID" 2>/dev/null || true
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

cmd_build() {
    install_packages "${NATIVE_PACKAGES[@]}"
    build_preset native
}

cmd_demo() {
    cmd_build
    local work
    work=$(mktemp -d /tmp/orvane-demo.XXXXXX)
    mkdir -p "$work/writers" "$work/Documents"
    log "starting orvane-writer-sim (an out-of-date Orvane whose clock is an hour off)"
    build/native/bin/orvane-writer-sim --dir "$work/writers" --clock-offset 3600 >"$work/writer-trace.txt" 2>&1 &
    SIM_PID=$!
    for _ in $(seq 200); do [ -S "$work/writers/writer0.sock" ] && break; sleep 0.1; done
    log "orvane-update: pressing Go! and answering Yes to the clock question"
    # No "quit" is sent: after a successful update the program ends by itself.
    printf 'go\ny\n' | ORVANE_WRITER_DIR="$work/writers" XDG_DOCUMENTS_DIR="$work/Documents" \
        build/native/bin/orvane-update
    log "what the writer showed on its display, and what it did"
    grep -E '^  (display|writer):' "$work/writer-trace.txt"
    log "the update log: $work/Documents/QXUpdate.log"
    cat "$work/Documents/QXUpdate.log"
    echo
    echo "Every request the writer received: $work/writer-trace.txt"
}

# What the fault sweeps and the damaged replies held, from ctest's record.
sweep_figures() {
    grep -h -E '^(sweep |damaged replies: [0-9])' "build/$1/Testing/Temporary/LastTest.log" || true
}

cmd_test() {
    install_packages "${NATIVE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}"
    build_preset native
    log "tests: native"
    ctest --preset native -j "$JOBS"
    sweep_figures native
    build_preset asan
    log "tests: AddressSanitizer and UBSan"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --preset asan -j "$JOBS"
    sweep_figures asan
    build_preset mingw
    start_display
    setup_wine
    log "tests: Windows program under Wine"
    ctest --preset mingw
}

cmd_screenshot() {
    install_packages "${NATIVE_PACKAGES[@]}" "${CROSS_PACKAGES[@]}" imagemagick fonts-wine
    build_preset native
    build_preset mingw
    start_display
    # A prefix of its own whose windows sit in a Wine desktop window, which
    # draws the frame and caption a window manager would; fonts-wine brings
    # the symbol font of the caption buttons.
    export WINEPREFIX="$ROOT/build/wine-pictures" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w || true
    fi
    cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 600x420 /f >/dev/null 2>&1
    wineserver -k || true  # the next start makes the desktop the keys describe
    wineserver -w || true
    local moments
    moments=$(mktemp -d /tmp/orvane-pictures.XXXXXX)
    mkdir -p docs
    # The driver takes the test build through an update and holds three moments.
    wine build/mingw/bin/update_driver.exe "$(winepath -w build/mingw/bin/OrvaneUpdateSim.exe)" pictures \
        "$(winepath -w "$moments")" >/dev/null 2>&1 &
    local driver=$!
    for moment in idle transfer success; do
        for _ in $(seq 900); do [ -e "$moments/$moment" ] && break; sleep 0.1; done
        sleep 1
        import -window root -crop 600x420+0+0 "docs/window-$moment.png"
        echo "wrote docs/window-$moment.png"
    done
    wait "$driver" || true
    wineserver -k || true
}

case "${1:-}" in
    demo) cmd_demo ;;
    test) cmd_test ;;
    build) cmd_build ;;
    screenshot) cmd_screenshot ;;
    *) echo "usage: ./dev.sh demo|test|build|screenshot" >&2; exit 2 ;;
esac
