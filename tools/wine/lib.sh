# Shared by the run script, the Wine test session and the benchmarks; sourced, not run.
# Wine here is Debian's 64-bit Wine, called directly: the `wine` wrapper would
# pick a 32-bit loader these machines cannot execute (32-bit Wine runs emulated:
# tools/wine/wine-i386).
QB_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Debian's Wine has no preloader: its loader, linked at 0x7d000000, takes the
# places every Wine process needs (the shared user data at 0x7ffe0000 among
# them) only once it runs, while Linux has put the loader's heap anywhere in the
# gigabyte above it. About one Wine process in a thousand finds its place taken
# and dies as it starts ("failed to map the shared user data", or an ld.so
# _dl_fini assertion). So the script, and all it starts, runs again with the
# address space laid out without randomisation, where the system allows that.
if [ -z "${QB_FIXED_LAYOUT:-}" ] && setarch "$(uname -m)" --addr-no-randomize true 2>/dev/null; then
    QB_FIXED_LAYOUT=1 exec setarch "$(uname -m)" --addr-no-randomize "$0" "$@"
fi
export WINE=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
export WINEDEBUG=${WINEDEBUG:--all}
# The build whose helpers (qbwine) run beside Quillbox: the one for this Wine.
QB_HELPERS=$QB_ROOT/build/x86_64
QB_CLEANUP=()

# qb_on_exit COMMAND [ARG...]: runs the command when the script ends, the last
# one added first. Its words are kept as given: a path with blanks stays one.
qb_on_exit() {
    QB_CLEANUP+=("$(printf '%q ' "$@")")
}
qb_cleanup() {
    local i
    for ((i = ${#QB_CLEANUP[@]} - 1; i >= 0; i--)); do eval "${QB_CLEANUP[i]}" 2>/dev/null || true; done
}
trap qb_cleanup EXIT

# From here on Wine is 32-bit Wine under emulation, with the 32-bit build's helpers.
qb_use_i686() {
    export WINE=$QB_ROOT/tools/wine/wine-i386 WINESERVER=$QB_ROOT/tools/wine/wineserver-i386
    QB_HELPERS=$QB_ROOT/build/i686
}

# Installs the Debian packages that are missing (as root), quietly and only when needed.
qb_need_packages() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}" >&2
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

QB_BUILD_PACKAGES=(cmake ninja-build g++ python3 libgtest-dev googletest mingw-w64 g++-mingw-w64-x86-64-posix
                   g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686)
QB_WINE_PACKAGES=(wine wine64 fonts-wine xvfb xclip xdotool x11-utils imagemagick fonts-ipafont-gothic libx11-dev)
# tools/wine/wine-i386 makes its i386 root with it.
QB_I386_PACKAGES=(debootstrap)
# What each build ships (tools/release) and builds again elsewhere to compare (tools/test):
# the 64-bit one also Windows 11's menu command.
declare -A QB_SHIPPED=([x86_64]="Quillbox QuillboxMenu" [i686]=Quillbox)
# tools/release: the commit's date, Authenticode signing (and openssl for the signer's subject), the installers
# (wixl, and libmsi from Python), the winget manifests (YAML) and the check of all manifests against their schemas.
QB_RELEASE_PACKAGES=(git osslsigncode openssl wixl msitools gir1.2-libmsi-1.0 python3-gi python3-yaml python3-jsonschema)

# qb_build_x86_64 [TARGET...]: builds the 64-bit targets (all of them by default),
# quietly unless the build fails.
qb_build_x86_64() {
    local log
    log=$(mktemp)
    if ! (cd "$QB_ROOT" && cmake --preset x86_64 && cmake --build --preset x86_64 ${1:+--target "$@"}) >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        return 1
    fi
    rm -f "$log"
}

# Starts Xvfb on a free display and exports DISPLAY.
qb_start_xvfb() {
    local fifo display
    fifo=$(mktemp -u) && mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    qb_on_exit kill $!
    read -r -t 20 display <"$fifo"
    rm -f "$fifo"
    [ -n "$display" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=:$display
}

# Makes the Wine prefix $WINEPREFIX once (about 10 s), then takes it as it is.
# With "desktop", programs run in Wine's own virtual desktop, where focus and
# keys behave as on Windows without a window manager.
qb_prefix() {
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINE" wineboot -i >/dev/null 2>&1
        "$WINESERVER" -w
    fi
    # Wine draws the caption buttons with Marlett and its dialogs with Tahoma, both
    # in fonts-wine; this Wine looks for them only among the prefix's fonts.
    cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    if [ "${1:-}" = desktop ]; then
        "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
        "$WINESERVER" -w
    fi
}

# Keeps wineserver and Wine's desktop (the clipboard's home) alive until the script ends.
# Wine's own processes (desktop, services) are started here, with no file of
# the caller open: started later by a test they would hold its output pipe
# open, and a test runner that waits for the pipe to close would never end.
qb_keep_desktop() {
    "$WINESERVER" -p
    "$WINE" "$QB_HELPERS/tools/wine/qbwine.exe" keep </dev/null >/dev/null 2>&1 9>&- &
    qb_on_exit "$WINESERVER" -k
    qb_on_exit kill $!
    "$WINE" "$QB_HELPERS/tools/wine/qbwine.exe" seq </dev/null >/dev/null 2>&1 9>&-
}

# A Unix path as Wine's programs see it (Z: is the Unix root).
qb_winpath() {
    local p
    p=$(realpath -m "$1")
    printf 'Z:%s' "${p//\//\\}"
}
