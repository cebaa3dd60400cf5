#!/usr/bin/env bash
# The private Wine prefixes of the Windows test suites.
#
#   wine_prefix.sh init PREFIX SLOTS  create (or bring up to date) the base prefix
#                                     and SLOTS case prefixes made from it
#   wine_prefix.sh start PREFIX       start its wineserver unless it runs, and keep it up
#   wine_prefix.sh stop PREFIX        end the wineservers of the base and its case
#                                     prefixes, with every Wine process they run
#
# Wine's mount manager rewrites every dosdevices/comN link from the registry
# (HKLM\Software\Wine\Ports) and from the serial devices it finds each time a
# wineserver starts, so a link made by hand can be replaced under a test. The
# base prefix therefore maps COM1..COM20 in the registry to ports/comN inside
# the prefix itself (a link relative to dosdevices/); a test publishes the
# emulator's pseudo-terminal as PREFIX/ports/comN and Wine follows it.
#
# A DOS device name belongs to a whole prefix, so connection cases that run
# side by side, each on COM1, need a prefix each. The case prefixes in
# PREFIX.slots/N copy only the base's registry files and share its drive_c;
# a case takes a free one (run_wine_link.sh), and its wineserver stays up for
# the next case, since starting one costs seconds.
set -euo pipefail
export WINEDEBUG=-all
# No Mono or Gecko installers: the suites need neither, and they would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="

max_port=20
ready_mark=.zuv-prefix-ready
# How long a wineserver outlives its last program; the stop normally comes first.
linger_s=60

ports_registry() {
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
    for n in $(seq 1 $max_port); do
        printf '"COM%d"="../ports/com%d"\r\n' "$n" "$n"
    done
}

# Starts the prefix's wineserver and its system processes now, so a test does
# not wait for them. Nothing they start may hold the caller's output open:
# CTest waits for that to close.
start_server() {
    local prefix=$1
    WINEPREFIX=$prefix wineserver -p$linger_s </dev/null >/dev/null 2>&1 || true
    WINEPREFIX=$prefix wine cmd /c exit </dev/null >/dev/null 2>&1
}

stop_server() {
    WINEPREFIX=$1 wineserver -k 2>/dev/null || true
}

make_base() {
    local prefix=$1
    # A prefix left half made by an interrupted run is made again.
    [ -e "$prefix/$ready_mark" ] || rm -rf "$prefix"
    mkdir -p "$prefix/ports"
    export WINEPREFIX=$prefix
    wineboot --init
    ports_registry > "$prefix/ports.reg"
    wine regedit /S 'Z:'"$(printf '%s' "$prefix/ports.reg" | tr / '\\')"
    # The registry reaches system.reg when the wineserver ends; the slots copy it.
    wineserver -k || true
    wineserver -w || true
    grep -q '"COM1"="../ports/com1"' "$prefix/system.reg" || {
        echo "wine_prefix.sh: the COM port map did not reach $prefix/system.reg" >&2
        exit 1
    }
    touch "$prefix/$ready_mark"
    unset WINEPREFIX
}

make_slot() {
    local base=$1 dir=$2
    rm -rf "$dir"
    mkdir -p "$dir/dosdevices" "$dir/ports"
    cp "$base"/system.reg "$base"/user.reg "$base"/userdef.reg "$base"/.update-timestamp "$dir"/
    ln -s "$(realpath "$base/drive_c")" "$dir/drive_c"
    ln -s ../drive_c "$dir/dosdevices/c:"
    ln -s / "$dir/dosdevices/z:"
    for n in $(seq 1 $max_port); do ln -s "../ports/com$n" "$dir/dosdevices/com$n"; done
    touch "$dir/$ready_mark"
}

init_prefixes() {
    local prefix=$1 slots=$2
    stop_prefixes "$prefix"
    make_base "$prefix"
    rm -rf "$prefix.slots"
    for n in $(seq 1 "$slots"); do make_slot "$prefix" "$prefix.slots/$n"; done
    start_server "$prefix"
    echo "Wine prefix ready: $prefix with $slots case prefixes ($(wine --version 2>/dev/null))"
}

stop_prefixes() {
    local prefix=$1
    [ -d "$prefix" ] && stop_server "$prefix"
    for slot in "$prefix".slots/*/; do
        [ -d "$slot" ] && stop_server "${slot%/}"
    done
    return 0
}

case ${1:-} in
init) init_prefixes "$2" "$3" ;;
start) start_server "$2" ;;
stop) stop_prefixes "$2" ;;
*) echo "usage: wine_prefix.sh init PREFIX SLOTS | start PREFIX | stop PREFIX" >&2; exit 2 ;;
esac
