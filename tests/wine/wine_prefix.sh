#!/usr/bin/env bash
# The private Wine prefix of the Windows test suites.
#
#   wine_prefix.sh init PREFIX       create (or bring up to date) the base prefix
#   wine_prefix.sh stop PREFIX       end the prefix's wineserver and its processes
#   wine_prefix.sh overlay BASE DIR  a throw-away prefix in DIR that shares BASE's drive_c
#
# Wine's mount manager rewrites every dosdevices/comN link from the registry
# (HKLM\Software\Wine\Ports) and from the serial devices it finds each time a
# wineserver starts, so a link made by hand can be replaced under a test. The
# base prefix therefore maps COM1..COM20 in the registry to ports/comN inside
# the prefix itself (a link relative to dosdevices/); a test publishes the
# emulator's pseudo-terminal as PREFIX/ports/comN and Wine follows it.
#
# An overlay copies only the registry files, so every connection case runs in
# its own prefix with its own wineserver and may use COM1 while others run.
set -euo pipefail
export WINEDEBUG=-all
# No Mono or Gecko installers: the suites need neither, and they would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="

max_port=20
ready_mark=.zuv-prefix-ready

ports_registry() {
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
    for n in $(seq 1 $max_port); do
        printf '"COM%d"="../ports/com%d"\r\n' "$n" "$n"
    done
}

init_prefix() {
    local prefix=$1
    # A prefix left half made by an interrupted run is made again.
    [ -e "$prefix/$ready_mark" ] || rm -rf "$prefix"
    mkdir -p "$prefix/ports"
    export WINEPREFIX=$prefix
    wineboot --init
    ports_registry > "$prefix/ports.reg"
    wine regedit /S 'Z:'"$(printf '%s' "$prefix/ports.reg" | tr / '\\')"
    # The registry reaches system.reg when the wineserver ends; overlays copy it.
    wineserver -k || true
    wineserver -w || true
    grep -q '"COM1"="../ports/com1"' "$prefix/system.reg" || {
        echo "wine_prefix.sh: the COM port map did not reach $prefix/system.reg" >&2
        exit 1
    }
    touch "$prefix/$ready_mark"
    start_server "$prefix"
    echo "Wine prefix ready: $prefix ($(wine --version 2>/dev/null))"
}

# Starts the prefix's wineserver and its system processes now, so the tests do
# not each wait for them, and keeps it up between tests (it ends by itself a
# while after the last one, should the stop never come). Nothing it starts may
# hold the caller's output open: CTest waits for that to close.
start_server() {
    local prefix=$1
    WINEPREFIX=$prefix wineserver -p30 </dev/null >/dev/null 2>&1
    WINEPREFIX=$prefix wine cmd /c exit </dev/null >/dev/null 2>&1
}

stop_prefix() {
    local prefix=$1
    [ -d "$prefix" ] || return 0
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
}

overlay_prefix() {
    local base=$1 dir=$2
    [ -e "$base/$ready_mark" ] || { echo "wine_prefix.sh: $base is not initialised" >&2; exit 1; }
    mkdir -p "$dir/dosdevices" "$dir/ports"
    cp "$base"/system.reg "$base"/user.reg "$base"/userdef.reg "$base"/.update-timestamp "$dir"/
    ln -s "$(realpath "$base/drive_c")" "$dir/drive_c"
    ln -s ../drive_c "$dir/dosdevices/c:"
    ln -s / "$dir/dosdevices/z:"
    for n in $(seq 1 $max_port); do ln -s "../ports/com$n" "$dir/dosdevices/com$n"; done
}

case ${1:-} in
init) init_prefix "$2" ;;
stop) stop_prefix "$2" ;;
overlay) overlay_prefix "$2" "$3" ;;
*) echo "usage: wine_prefix.sh init|stop PREFIX | overlay BASE DIR" >&2; exit 2 ;;
esac
