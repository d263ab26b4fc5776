#!/usr/bin/env bash
# Orvane Update developer entry point.
#   ./dev.sh demo        update a simulated writer end to end (terminal program)
#   ./dev.sh test        every test: native, AddressSanitizer, MinGW build, Wine
#   ./dev.sh build       the native build only
#   ./dev.sh screenshot  docs/window-*.png: the window under Wine, idle, during
#                        the application transfer, and the success box
#   ./dev.sh release [--images DIR] [--verify] [--sign PFX [--timestamp URL]]
#                        dist/: OrvaneUpdate.exe (64-bit) and OrvaneUpdate32.exe
#                        (32-bit), stripped and reproducible, their debug files,
#                        SHA256SUMS and RELEASE.txt. --images packs the real
#                        images in DIR, checked first; --verify builds the commit
#                        twice in two fresh folders and compares; --sign signs
#                        both exes with the certificate PFX (its password from
#                        ORVANE_SIGN_PASSWORD or the file ORVANE_SIGN_PASSWORD_FILE)
#                        and publishes each signature beside its exe.
# Each installs what it needs on a fresh Debian machine first.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

NATIVE_PACKAGES=(cmake make g++ googletest libgtest-dev libbenchmark-dev)
# No wine32: these machines run no 32-bit code, and with it wine picks a
# 32-bit loader that fails here. The 32-bit programs are checked from their
# files and, for the portable code, under qemu-i386.
CROSS_PACKAGES=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools wine wine64 xvfb xauth
    gcc-multilib g++-multilib qemu-user osslsigncode openssl)
RELEASE_PACKAGES=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix osslsigncode)
# The program's name and address in every signature.
SIGN_NAME="Orvane Update"
SIGN_URL=${ORVANE_SIGN_URL:-https://www.orvane.com/update}
EXES=(OrvaneUpdate.exe OrvaneUpdate32.exe)
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
    build_preset native32
    log "tests: the portable code at 32 bits, under qemu-i386"
    ctest --preset native32 -j "$JOBS"
    sweep_figures native32
    build_preset asan
    log "tests: AddressSanitizer and UBSan"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --preset asan -j "$JOBS"
    sweep_figures asan
    build_preset mingw
    build_preset mingw32
    log "tests: the 32-bit exe's file"
    ctest --preset mingw32
    check_signing
    start_display
    setup_wine
    log "tests: Windows program under Wine"
    ctest --preset mingw
    log "tests: the signed exe starts under Wine"
    wine build/mingw/bin/window_driver.exe "$(winepath -w "$SIGNED_EXE")"
}

# A release signed with a throwaway certificate: both signatures verify, a
# changed byte does not, and each published signature attached to an exe of
# an independent build (the mingw presets') gives the signed exe again.
check_signing() {
    log "tests: signing a release with a throwaway certificate"
    local certs
    certs=$(mktemp -d /tmp/orvane-certs.XXXXXX)
    openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -subj "/CN=Orvane Update test signing" \
        -keyout "$certs/key.pem" -out "$certs/cert.pem" -passout pass:throwaway-pass 2>/dev/null
    openssl pkcs12 -export -inkey "$certs/key.pem" -in "$certs/cert.pem" -out "$certs/test.pfx" \
        -passin pass:throwaway-pass -passout pass:throwaway-pass
    (ORVANE_SIGN_PASSWORD=throwaway-pass cmd_release --sign "$certs/test.pfx") >"$certs/release.txt" 2>&1 ||
        { tail -n 30 "$certs/release.txt"; die "the signed release failed"; }
    grep -q throwaway-pass "$certs/release.txt" dist/RELEASE.txt && die "the password was printed"
    local exe built
    for exe in "${EXES[@]}"; do
        osslsigncode verify -CAfile "$certs/cert.pem" -in "dist/$exe" >"$certs/verify.txt" 2>&1 ||
            { cat "$certs/verify.txt"; die "dist/$exe: the signature does not verify"; }
        echo "dist/$exe: signature verified"
        cp "dist/$exe" "$certs/changed.exe"
        printf '\x55' | dd of="$certs/changed.exe" bs=1 seek=$(( $(stat -c %s "dist/$exe") / 2 )) conv=notrunc 2>/dev/null
        cmp -s "$certs/changed.exe" "dist/$exe" && printf '\xAA' | dd of="$certs/changed.exe" bs=1 \
            seek=$(( $(stat -c %s "dist/$exe") / 2 )) conv=notrunc 2>/dev/null
        osslsigncode verify -CAfile "$certs/cert.pem" -in "$certs/changed.exe" >/dev/null 2>&1 &&
            die "$exe with one byte changed still verifies"
        echo "$exe with one byte changed: verification fails"
        built=build/mingw/bin/$exe
        [ "$exe" = OrvaneUpdate32.exe ] && built=build/mingw32/bin/$exe
        rm -f "$certs/attached.exe"  # osslsigncode writes no file that exists
        # It says "Signature mismatch" and fails when it cannot trust a throwaway certificate; the bytes decide.
        osslsigncode attach-signature -sigin "dist/$exe.p7" -in "$built" -out "$certs/attached.exe" >/dev/null 2>&1 || true
        cmp "$certs/attached.exe" "dist/$exe" || die "$built with dist/$exe.p7 attached is not dist/$exe"
        echo "$built with dist/$exe.p7 attached: byte for byte dist/$exe"
    done
    SIGNED_EXE=$certs/signed.exe
    cp dist/OrvaneUpdate.exe "$SIGNED_EXE"
    rm -rf dist
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

# Builds both exes of the tree at $1 in fresh build/release and build/release32, with the
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
        local preset
        for preset in release release32; do
            log "$preset ($src/build/$preset)"
            rm -rf "build/$preset"
            cmake --preset "$preset" ${images:+"-DORVANE_REAL_IMAGES_DIR=$images"} >/dev/null || exit 1
            if ! cmake --build --preset "$preset" -j "$JOBS" >"build/$preset-output.txt" 2>&1; then
                tail -n 40 "build/$preset-output.txt"
                exit 1
            fi
            grep -h 'bytes as linked' "build/$preset-output.txt" | sed 's/^-- //'
        done
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

# Where each exe is built in a tree.
exe_path() { if [ "$2" = OrvaneUpdate32.exe ]; then echo "$1/build/release32/bin/$2"; else echo "$1/build/release/bin/$2"; fi; }

# Signs $1 into $2 with the certificate $SIGN_PFX: SHA-256, the program's name
# and address, and a time stamp from $SIGN_TIMESTAMP when set. The password
# goes to osslsigncode through a private file, never on a command line.
sign_exe() {
    local in=$1 out=$2 pass rc=0
    pass=$(mktemp)
    chmod 600 "$pass"
    if [ -n "${ORVANE_SIGN_PASSWORD_FILE:-}" ]; then
        head -n 1 "$ORVANE_SIGN_PASSWORD_FILE" | tr -d '\r\n' >"$pass" || rc=1
    else
        printf '%s' "${ORVANE_SIGN_PASSWORD:-}" >"$pass"
    fi
    [ $rc -eq 0 ] && osslsigncode sign -pkcs12 "$SIGN_PFX" -readpass "$pass" -h sha256 -n "$SIGN_NAME" \
        -i "$SIGN_URL" -in "$in" -out "$out.unstamped" >/dev/null || rc=1
    rm -f "$pass"
    if [ $rc -eq 0 ] && [ -n "${SIGN_TIMESTAMP:-}" ]; then
        osslsigncode add -ts "$SIGN_TIMESTAMP" -h sha256 -in "$out.unstamped" -out "$out" >/dev/null || rc=1
        rm -f "$out.unstamped"
    elif [ $rc -eq 0 ]; then
        mv "$out.unstamped" "$out"
    fi
    rm -f "$out.unstamped"
    return $rc
}

# Puts what ships into dist/: both exes and their debug files built in the
# tree at $1 (signed when $SIGN_PFX is set, each signature beside its exe),
# SHA256SUMS and RELEASE.txt describing the images in $2 ($3: which kind).
make_dist() {
    local src=$1 images=$2 kind=$3 stage exe
    mkdir -p "$ROOT/build"
    stage=$(mktemp -d "$ROOT/build/.dist.XXXXXX")
    declare -A unsigned
    for exe in "${EXES[@]}"; do
        cp "$(exe_path "$src" "$exe")" "$(exe_path "$src" "$exe").debug" "$stage/"
        unsigned[$exe]=$(sha256sum <"$stage/$exe" | cut -d' ' -f1)
        if [ -n "${SIGN_PFX:-}" ]; then
            log "signing $exe"
            mv "$stage/$exe" "$stage/$exe.unsigned"
            sign_exe "$stage/$exe.unsigned" "$stage/$exe" || { rm -rf "$stage"; die "signing $exe failed; dist/ holds no exe"; }
            rm -f "$stage/$exe.unsigned"
            # The signature alone: attached to the reproducible build it gives this exe again.
            osslsigncode extract-signature -in "$stage/$exe" -out "$stage/$exe.p7" >/dev/null ||
                { rm -rf "$stage"; die "no signature could be read back from $exe"; }
        fi
    done
    (cd "$stage" && sha256sum $(ls | grep -v '^RELEASE.txt$') >SHA256SUMS)
    local header="$src/build/release/orvane_release.h"
    {
        echo "Orvane Update $(sed -n 's/^#define ORVANE_RELEASE_VERSION_TEXT "\(.*\)"/\1/p' "$header")," \
             "build $(sed -n 's/^#define ORVANE_RELEASE_BUILD //p' "$header")"
        local dirty=""
        [ -z "$(git -C "$src" status --porcelain)" ] || dirty=" with uncommitted changes"
        echo "Built from commit $(git -C "$src" log -1 --format='%H (%cI)')$dirty, with $kind images."
        # The same exe again needs the same tools.
        echo "Tools: $(x86_64-w64-mingw32-g++-posix --version 2>/dev/null | head -1 || true); $(i686-w64-mingw32-g++-posix --version 2>/dev/null | head -1 || true);" \
             "$(dpkg-query -W -f='${Package} ${Version}, ' binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 cmake 2>/dev/null | sed 's/, $//')"
        echo
        echo "Which to download: almost every PC today runs 64-bit Windows (Settings, System, About,"
        echo "System type); take OrvaneUpdate.exe. OrvaneUpdate32.exe is for 32-bit Windows."
        echo
        for exe in "${EXES[@]}"; do
            local what="64-bit Windows"
            [ "$exe" = OrvaneUpdate32.exe ] && what="32-bit Windows"
            echo "$exe ($what): $(stat -c %s "$stage/$exe") bytes, SHA-256 $(sha256sum <"$stage/$exe" | cut -d' ' -f1)"
            if [ -n "${SIGN_PFX:-}" ]; then
                echo "    signed; unsigned (as any build of this commit gives it) SHA-256 ${unsigned[$exe]};"
                echo "    osslsigncode attach-signature -sigin $exe.p7 -in UNSIGNED -out $exe gives this file"
            fi
        done
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
    SIGN_PFX="" SIGN_TIMESTAMP=""
    # Whatever happens next, an older exe must not pass for this release's.
    rm -rf dist
    while [ $# -gt 0 ]; do
        case "$1" in
            --images) [ $# -ge 2 ] || die "--images needs a folder"; images=$2; shift 2 ;;
            --verify) verify=1; shift ;;
            --sign) [ $# -ge 2 ] || die "--sign needs a certificate (.pfx)"; SIGN_PFX=$2; shift 2 ;;
            --timestamp) [ $# -ge 2 ] || die "--timestamp needs a URL"; SIGN_TIMESTAMP=$2; shift 2 ;;
            *) die "usage: ./dev.sh release [--images DIR] [--verify] [--sign PFX [--timestamp URL]]" ;;
        esac
    done
    if [ -n "$SIGN_PFX" ]; then
        [ -f "$SIGN_PFX" ] || die "--sign $SIGN_PFX: no such file"
        SIGN_PFX=$(cd "$(dirname "$SIGN_PFX")" && pwd)/$(basename "$SIGN_PFX")
        [ -n "${ORVANE_SIGN_PASSWORD+set}" ] || [ -n "${ORVANE_SIGN_PASSWORD_FILE:-}" ] ||
            die "--sign: set ORVANE_SIGN_PASSWORD, or ORVANE_SIGN_PASSWORD_FILE to a file holding it"
    elif [ -n "$SIGN_TIMESTAMP" ]; then
        die "--timestamp goes with --sign"
    fi
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
        log "comparing the two builds"
        local exe a b
        for exe in "${EXES[@]}"; do
            a=$(exe_path "$work/a" "$exe")
            b=$(exe_path "$work/second-build" "$exe")
            echo "first:  $(sha256sum "$a")"
            echo "second: $(sha256sum "$b")"
            if ! cmp -s "$a" "$b"; then
                echo "NOT REPRODUCIBLE: the two builds of $exe of $commit differ, first in $(first_difference "$a" "$b")." \
                     "Both are kept under $work." >&2
                exit 1
            fi
            cmp -s "$a.debug" "$b.debug" || echo "note: the two debug files of $exe differ, though the exes do not" >&2
            echo "reproducible: the two builds of $exe are byte-identical ($(stat -c %s "$a") bytes)"
        done
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
    if [ "$verify" -eq 1 ] && [ -n "$SIGN_PFX" ]; then
        # Signed and still reproducible: the other build with the published signature is the signed exe.
        local exe attached
        for exe in "${EXES[@]}"; do
            attached="$work/$exe.attached"
            # (It fails its own check of a certificate it cannot trust; the bytes decide.)
            osslsigncode attach-signature -sigin "dist/$exe.p7" -in "$(exe_path "$work/second-build" "$exe")" \
                -out "$attached" >/dev/null 2>&1 || true
            cmp -s "$attached" "dist/$exe" ||
                die "dist/$exe.p7 attached to the second build is not dist/$exe (kept under $work)"
            echo "signed and reproducible: the second build of $exe with $exe.p7 attached is dist/$exe"
        done
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
    *) echo "usage: ./dev.sh demo|test|build|screenshot|release [--images DIR] [--verify] [--sign PFX [--timestamp URL]]" >&2; exit 2 ;;
esac
