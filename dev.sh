#!/usr/bin/env bash
# Orvane Update developer entry point.
#   ./dev.sh demo        update a simulated writer end to end (terminal program)
#   ./dev.sh test        every test: native, AddressSanitizer, MinGW build, Wine
#   ./dev.sh build       the native build only
#   ./dev.sh screenshot  docs/window-*.png: the window under Wine, idle, during
#                        the application transfer, and the success box
#   ./dev.sh release [--images DIR] [--verify]
#                        dist/: OrvaneUpdate.exe (stripped, reproducible), its
#                        debug file, SHA256SUMS and RELEASE.txt. --images packs
#                        the real images in DIR, checked first; --verify builds
#                        the commit twice in two fresh folders and compares.
# Each installs what it needs on a fresh Debian machine first.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

NATIVE_PACKAGES=(cmake make g++ googletest libgtest-dev libbenchmark-dev)
CROSS_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 xvfb xauth)
RELEASE_PACKAGES=(g++-mingw-w64-x86-64-posix)
HOST_TOOLS=(orvane-pack orvane-make-images orvane-check-images)
OBJDUMP=x86_64-w64-mingw32-objdump

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
    grep -h -E '^(sweep [a-z]+|damaged replies: [0-9])' "build/$1/Testing/Temporary/LastTest.log" || true
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
    # The driver takes the shipped exe through an update and holds three moments.
    wine build/mingw/bin/update_driver.exe "$(winepath -w build/mingw/bin/OrvaneUpdate.exe)" pictures \
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

die() { echo "dev.sh: $*" >&2; exit 1; }

# Builds OrvaneUpdate.exe of the tree at $1 in a fresh build/release, with the
# real images in $2 when given; the one date it needs comes from the commit.
release_build() {
    local src=$1 images=$2
    (
        cd "$src" || exit 1
        SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) || exit 1
        export SOURCE_DATE_EPOCH
        log "host tools ($src/build/native)"
        cmake --preset native >/dev/null || exit 1
        cmake --build --preset native -j "$JOBS" --target "${HOST_TOOLS[@]}" >/dev/null || exit 1
        if [ -n "$images" ]; then
            log "checking the images in $images"
            build/native/bin/orvane-check-images "$images" || exit 1
        fi
        log "OrvaneUpdate.exe ($src/build/release)"
        rm -rf build/release
        cmake --preset release ${images:+"-DORVANE_REAL_IMAGES_DIR=$images"} >/dev/null || exit 1
        if ! cmake --build --preset release -j "$JOBS" >build/release-output.txt 2>&1; then
            tail -n 40 build/release-output.txt
            exit 1
        fi
        grep -h 'bytes as linked' build/release-output.txt | sed 's/^-- //'
    ) || die "no release made; dist/ holds no exe"
}

# Names the part of a PE file that holds its first byte differing from another's.
first_difference() {
    local a=$1 b=$2 at idx name size vma lma off rest first=""
    at=$(cmp "$a" "$b" 2>&1 | sed -n 's/.*differ: byte \([0-9]*\).*/\1/p; s/.*EOF on .* after byte \([0-9]*\).*/\1/p' | head -n 1)
    [ -n "$at" ] || { echo "an unknown place"; return; }
    at=$((at - 1))
    while read -r idx name size vma lma off rest; do
        # Sections without contents in the file (.bss) have offset 0.
        [[ "$idx" =~ ^[0-9]+$ && "$off" =~ ^[0-9a-f]+$ ]] && [ $((16#$off)) -ne 0 ] || continue
        [ -z "$first" ] && first=$((16#$off))
        if [ "$at" -ge $((16#$off)) ] && [ "$at" -lt $((16#$off + 16#$size)) ]; then
            printf 'section %s (byte 0x%X of the file, 0x%X into the section)\n' "$name" "$at" $((at - 16#$off))
            return
        fi
    done < <("$OBJDUMP" -h "$a")
    local stamp=$(($(od -An -tu4 -j60 -N4 "$a") + 8))  # the COFF header's TimeDateStamp
    if [ "$at" -ge "$stamp" ] && [ "$at" -lt $((stamp + 4)) ]; then
        printf 'the PE header'"'"'s time stamp (byte 0x%X)\n' "$at"
    elif [ -n "$first" ] && [ "$at" -lt "$first" ]; then
        printf 'the PE headers (byte 0x%X)\n' "$at"
    else
        printf 'byte 0x%X, outside every section\n' "$at"
    fi
}

# Puts what ships into dist/: the exe and its debug file built in the tree at
# $1, SHA256SUMS and RELEASE.txt describing the images in $2 ($3: which kind).
make_dist() {
    local src=$1 images=$2 kind=$3 stage
    local build="$src/build/release"
    mkdir -p "$ROOT/build"
    stage=$(mktemp -d "$ROOT/build/.dist.XXXXXX")
    cp "$build/bin/OrvaneUpdate.exe" "$build/bin/OrvaneUpdate.exe.debug" "$stage/"
    # Code signing: this project holds no certificate. A maintainer who does
    # sets ORVANE_SIGN_COMMAND to a command that signs, in place, the file
    # named by its last argument (for instance a script around osslsigncode).
    # Off by default. A signed exe differs from the reproducible build by its
    # signature: --verify compares the builds before signing.
    if [ -n "${ORVANE_SIGN_COMMAND:-}" ]; then
        log "signing OrvaneUpdate.exe"
        $ORVANE_SIGN_COMMAND "$stage/OrvaneUpdate.exe" || { rm -rf "$stage"; die "signing failed; dist/ holds no exe"; }
    fi
    (cd "$stage" && sha256sum OrvaneUpdate.exe OrvaneUpdate.exe.debug >SHA256SUMS)
    local header="$build/orvane_release.h"
    {
        echo "Orvane Update $(sed -n 's/^#define ORVANE_RELEASE_VERSION_TEXT "\(.*\)"/\1/p' "$header")," \
             "build $(sed -n 's/^#define ORVANE_RELEASE_BUILD //p' "$header")"
        local dirty=""
        [ -z "$(git -C "$src" status --porcelain)" ] || dirty=" with uncommitted changes"
        echo "Built from commit $(git -C "$src" log -1 --format='%H (%cI)')$dirty, with $kind images."
        # The same exe again needs the same tools.
        echo "Tools: $(x86_64-w64-mingw32-g++-posix --version 2>/dev/null | head -1 || true); $(dpkg-query -W -f='${Package} ${Version}, ' \
            binutils-mingw-w64-x86-64 cmake 2>/dev/null | sed 's/, $//')"
        echo
        echo "OrvaneUpdate.exe: $(stat -c %s "$stage/OrvaneUpdate.exe") bytes," \
             "SHA-256 $(sha256sum <"$stage/OrvaneUpdate.exe" | cut -d' ' -f1)"
        echo "To check a download, compare with SHA256SUMS what these print:"
        echo "  Windows: certutil -hashfile OrvaneUpdate.exe SHA256"
        echo "  elsewhere: sha256sum OrvaneUpdate.exe"
        echo
        echo "Images carried, each with the model it serves. The checksum is the image checksum"
        echo "the writer is told or asked for; the scanner's covers the range of its window sent"
        echo "to the sensor board."
        echo
        "$src/build/native/bin/orvane-check-images" "$images" --summary |
            while IFS=$'\t' read -r name bytes sum what; do
                printf '%-16s %8s bytes  checksum %s  SHA-256 %s\n    %s\n' "$name" "$bytes" "$sum" \
                    "$(sha256sum <"$images/$name" | cut -d' ' -f1)" "$what"
            done
    } >"$stage/RELEASE.txt"
    chmod 755 "$stage"
    rm -rf dist
    mv "$stage" dist
}

cmd_release() {
    local images="" verify=0
    # Whatever happens next, an older exe must not pass for this release's.
    rm -rf dist
    while [ $# -gt 0 ]; do
        case "$1" in
            --images) [ $# -ge 2 ] || die "--images needs a folder"; images=$2; shift 2 ;;
            --verify) verify=1; shift ;;
            *) die "usage: ./dev.sh release [--images DIR] [--verify]" ;;
        esac
    done
    if [ -n "$images" ]; then
        [ -d "$images" ] || die "--images $images: no such folder"
        images=$(cd "$images" && pwd)
    fi
    install_packages "${NATIVE_PACKAGES[@]}" "${RELEASE_PACKAGES[@]}"
    local commit
    commit=$(git rev-parse HEAD 2>/dev/null) || die "a release is built from a git commit"

    local src=$ROOT work=""
    if [ "$verify" -eq 1 ]; then
        [ -z "$(git status --porcelain)" ] || echo "dev.sh: note: uncommitted changes are left out; this is commit $commit"
        # Two clones of the commit, in folders of different names and lengths,
        # built one after the other.
        work=$(mktemp -d /tmp/orvane-verify.XXXXXX)
        local tree
        for tree in "$work/a" "$work/second-build"; do
            git clone -q --no-checkout "$ROOT" "$tree"
            git -C "$tree" checkout -q --detach "$commit"
            release_build "$tree" "$images"
        done
        local exe_a="$work/a/build/release/bin/OrvaneUpdate.exe"
        local exe_b="$work/second-build/build/release/bin/OrvaneUpdate.exe"
        log "comparing the two builds"
        echo "first:  $(sha256sum "$exe_a")"
        echo "second: $(sha256sum "$exe_b")"
        if ! cmp -s "$exe_a" "$exe_b"; then
            echo "NOT REPRODUCIBLE: the two builds of $commit differ, first in $(first_difference "$exe_a" "$exe_b")." \
                 "Both are kept under $work." >&2
            exit 1
        fi
        cmp -s "$exe_a.debug" "$exe_b.debug" || echo "note: the two debug files differ, though the exes do not" >&2
        echo "reproducible: the two builds are byte-identical"
        src="$work/a"
    else
        [ -z "$(git status --porcelain)" ] ||
            echo "dev.sh: note: the tree has uncommitted changes; this release is not that of commit $commit"
        release_build "$src" "$images"
    fi

    if [ -n "$images" ]; then
        make_dist "$src" "$images" real
    else
        make_dist "$src" "$src/build/release/images/raw" placeholder
    fi
    [ -n "$work" ] && rm -rf "$work"
    log "dist/"
    ls -l dist
    cat dist/RELEASE.txt
}

case "${1:-}" in
    demo) cmd_demo ;;
    test) cmd_test ;;
    build) cmd_build ;;
    screenshot) cmd_screenshot ;;
    release) shift; cmd_release "$@" ;;
    *) echo "usage: ./dev.sh demo|test|build|screenshot|release [--images DIR] [--verify]" >&2; exit 2 ;;
esac
