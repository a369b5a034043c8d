#!/bin/bash
# End-to-end tests of the Windows build: Quorvel.exe runs under Wine inside an Xvfb that this
# script starts for itself; wineprobe.exe looks at the Windows side (clipboard, windows, code
# page) and stands in for the shell's tray.
#
#   winetest.sh CASE     CASE: setup filestart_clipboard filestart_notice single_instance
#                              gbk_script startup
#
# Environment (set by CTest): QUORVEL_WIN_EXE, WINEPROBE_EXE, WINETEST_DIR (a build folder
# that holds the shared Wine prefix, the Chinese locale, a private home and the run folders).
#
# Wine runs with a Chinese locale: it takes the ANSI code page from the language of LC_CTYPE
# (zh_CN gives 936, GBK) while the Unix side stays UTF-8. Scripts are GBK files, as on a
# Chinese Windows.
set -u

case_name=${1:?usage: winetest.sh CASE}
exe=${QUORVEL_WIN_EXE:?}
probe=${WINEPROBE_EXE:?}
work=${WINETEST_DIR:?}
title_main="OrbenixQuorvel5.4"
title_notice="注意："

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
note() { echo "-- $*"; }

mkdir -p "$work/home"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No Mono/Gecko installer dialogs, and no menu or MIME entries written for the Linux desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export LOCPATH="$work/locale"
# Only Wine gets the Chinese locale; this shell keeps its own.
wine() { env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 wine "$@"; }

xvfb_pid=
run_dir=
cleanup() {
    # Only this prefix's server: it ends just the Windows processes this test started.
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    [ -n "$run_dir" ] && rm -rf "$run_dir"
}
trap cleanup EXIT

start_xvfb() {
    local size=${1:-1280x800} fifo display
    fifo=$(mktemp -u "$work/xvfb.XXXXXX")
    mkfifo "$fifo"
    # Xvfb picks a free display itself and reports its number.
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r -t 20 display <"$fifo"
    rm -f "$fifo"
    [ -n "$display" ] || fail "Xvfb did not start"
    export DISPLAY=":$display"
}

# A fresh program folder: Quorvel.exe and its empty settings file, as the build leaves them.
make_program_folder() {
    local folder=$1
    mkdir -p "$folder"
    cp "$exe" "$folder/Quorvel.exe" || fail "cannot copy $exe"
    : >"$folder/Quorvel.qcf"
}

# Wine maps drive Z: to the Unix root.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Writes UTF-8 text (with \n escapes) as a GBK file.
write_gbk() { printf '%b' "$2" | iconv -f UTF-8 -t GBK >"$1" || fail "cannot write $1"; }

probe() { wine "$probe" "$@"; }

# Starts Quorvel.exe of a folder in the background; the pid stays the Windows process's.
start_quorvel() {
    local folder=$1
    shift
    (cd "$folder" && exec env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 wine "$folder/Quorvel.exe" "$@") \
        >/dev/null 2>&1 &
    last_pid=$!
    disown
}

alive() { kill -0 "$1" 2>/dev/null; }

wait_exit() {
    local pid=$1 seconds=$2 i
    for ((i = 0; i < seconds * 10; i++)); do
        alive "$pid" || return 0
        sleep 0.1
    done
    return 1
}

count_windows() { probe windows | grep -cxF "$1"; }

wait_windows() {
    local title=$1 count=$2 seconds=$3 i
    for ((i = 0; i < seconds * 4; i++)); do
        [ "$(count_windows "$title")" -eq "$count" ] && return 0
        sleep 0.25
    done
    return 1
}

# Makes sure the Windows side runs before timing-sensitive steps.
boot_wine() { probe acp >/dev/null || fail "wine does not run"; }

# A new Windows session: no processes, an empty clipboard.
end_session() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
}
fresh_session() {
    end_session
    boot_wine
}

# --- cases -----------------------------------------------------------------------------------

# Once per test run: the Chinese locale, the prefix and its font substitution.
case_setup() {
    if [ ! -d "$LOCPATH/zh_CN.UTF-8" ]; then
        mkdir -p "$LOCPATH"
        localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" 2>/dev/null
        [ -d "$LOCPATH/zh_CN.UTF-8" ] || fail "localedef could not build zh_CN.UTF-8 (package locales)"
    fi
    start_xvfb
    if [ ! -f "$WINEPREFIX/.quorvel-ready" ]; then
        rm -rf "$WINEPREFIX"
        note "creating the Wine prefix $WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || fail "wineboot failed"
        # Wine has no Tahoma to offer Qt's dialog font.
        wine reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes" \
            /v "MS Shell Dlg 2" /d "DejaVu Sans" /f >/dev/null 2>&1 || fail "font substitution"
        wineserver -w
        touch "$WINEPREFIX/.quorvel-ready"
    fi
    local acp
    acp=$(probe acp | tr -d '\r')
    [ "$acp" = 936 ] || fail "Wine's ANSI code page is '$acp', not 936: zh_CN locale not taken"
}

# A script file given on the command line runs once; the process ends by itself and what the
# script copied stays on the clipboard after it.
case_filestart_clipboard() {
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    local n=0 name script expected got rc
    # name | script (UTF-8 here, GBK on disk) | clipboard afterwards ("<none>": no text)
    while IFS='|' read -r name script expected; do
        [ -z "$name" ] && continue
        n=$((n + 1))
        fresh_session
        write_gbk "$run_dir/case$n.zt" "$script"
        start_quorvel "$run_dir/prog" "$(winpath "$run_dir/case$n.zt")"
        wait_exit "$last_pid" 60 || fail "$name: the process did not end by itself"
        got=$(probe clip)
        rc=$?
        [ $rc -eq 3 ] && got="<none>"
        [ "$got" = "$expected" ] || fail "$name: clipboard '$got', expected '$expected'"
        note "$name: ok"
    done <<'EOF'
plain text|复制->Quorvel under Wine\n|Quorvel under Wine
last write wins|复制->first\n复制->second\n|second
clipboard read back|复制->甲\n已复制->甲\n{\n复制->读回\n}\n|读回
cleared|复制->something\n复制->(清空)\n|<none>
string variable|串1->乙\n串1->丙\n复制->[串1]\n|乙丙
EOF
}

# A script with an error line shows the first message in a box titled "注意：" and no main
# window; the process ends when the box is closed. What ran before the error has happened.
case_filestart_notice() {
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    local n=0 name script expected got pid
    while IFS='|' read -r name script expected; do
        [ -z "$name" ] && continue
        n=$((n + 1))
        fresh_session
        write_gbk "$run_dir/case$n.zt" "$script"
        start_quorvel "$run_dir/prog" "$(winpath "$run_dir/case$n.zt")"
        pid=$last_pid
        probe wait "$title_notice" 60000 || fail "$name: no \"$title_notice\" box"
        [ "$(count_windows "$title_main")" -eq 0 ] || fail "$name: a main window is shown in file-start mode"
        sleep 1
        alive "$pid" || fail "$name: the process ended while its box was open"
        got=$(probe clip) || got="<none>"
        [ "$got" = "$expected" ] || fail "$name: clipboard '$got', expected '$expected'"
        probe close "$title_notice" || fail "$name: cannot close the box"
        wait_exit "$pid" 30 || fail "$name: the process lives on after its box was closed"
        note "$name: ok"
    done <<'EOF'
unknown command first|未知命令->1\n复制->never\n|<none>
error after a copy|复制->之前\n串1->x\n串200->y\n复制->never\n|之前
EOF
}

# A plain start or "-autorun" ends the running instance and sweeps the tray; any other argument
# runs beside it.
case_single_instance() {
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    write_gbk "$run_dir/beside.zt" '复制->beside\n'
    local n=0 name arg first_ends sweeps windows first second tray_out sweep_lines i
    # name | argument of the second start | first instance ends | tray swept | main windows
    # shown afterwards
    while IFS='|' read -r name arg first_ends sweeps windows; do
        [ -z "$name" ] && continue
        n=$((n + 1))
        [ "$arg" = SCRIPT ] && arg=$(winpath "$run_dir/beside.zt")
        # The first instance is the session's first process, as Wine lists it first: the rule
        # must not take the first entry for the system's idle process.
        end_session
        start_quorvel "$run_dir/prog"
        first=$last_pid
        wait_windows "$title_main" 1 60 || fail "$name: the first instance shows no window"

        # A stand-in tray whose toolbar is 120 x 30: a sweep is 119 moves at half height.
        tray_out="$run_dir/tray$n.out"
        : >"$tray_out"
        wine "$probe" tray 120 30 >>"$tray_out" 2>/dev/null &
        disown
        for ((i = 0; i < 200; i++)); do
            grep -q . "$tray_out" && break
            sleep 0.1
        done
        grep -qx ready "$tray_out" || fail "$name: stand-in tray: $(cat "$tray_out")"
        if [ -n "$arg" ]; then start_quorvel "$run_dir/prog" "$arg"; else start_quorvel "$run_dir/prog"; fi
        second=$last_pid
        if [ "$first_ends" = yes ]; then
            wait_exit "$first" 30 || fail "$name: the first instance still runs"
        elif [[ "$arg" == Z:* ]]; then
            wait_exit "$second" 60 || fail "$name: the file start did not end"
        fi
        wait_windows "$title_main" "$windows" 60 \
            || fail "$name: $(count_windows "$title_main") main windows shown, expected $windows"
        sleep 2 # a start that was to be replaced or hidden has had time to go wrong
        [ "$(count_windows "$title_main")" -eq "$windows" ] || fail "$name: main windows changed"
        [ "$first_ends" = yes ] || alive "$first" || fail "$name: the first instance was ended"
        [ "$first_ends" = no ] || alive "$second" || fail "$name: the second instance is gone"
        sweep_lines=$(grep -c '^sweep' "$tray_out")
        if [ "$sweeps" = yes ]; then
            [ "$sweep_lines" -eq 1 ] || fail "$name: $sweep_lines tray sweeps, expected 1"
            grep -qx 'sweep 119 1,15 119,15' "$tray_out" \
                || fail "$name: tray $(grep '^sweep' "$tray_out"), expected 119 moves x 1..119 at y 15"
        else
            [ "$sweep_lines" -eq 0 ] || fail "$name: the tray was swept"
        fi
        note "$name: ok"
    done <<'EOF'
plain start replaces||yes|yes|1
autorun replaces, stays hidden|-autorun|yes|yes|0
autorun in other case runs beside|-Autorun|no|no|2
script file runs beside|SCRIPT|no|no|1
EOF
}

# Chinese Windows: GBK script files with Chinese names, in a folder with a Chinese name and a
# blank, decoded with the ANSI code page; an #insert of a GBK file by a Chinese path.
case_gbk_script() {
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    local folder="$run_dir/程序 目录"
    make_program_folder "$folder"
    boot_wine
    [ "$(probe acp | tr -d '\r')" = 936 ] || fail "Wine's ANSI code page is not 936"
    write_gbk "$folder/片段.zt" '复制->插入的中文：丁\n'
    local inserted
    inserted=$(winpath "$folder/片段.zt")
    inserted=${inserted//\\/\\\\} # kept through write_gbk's escapes
    local n=0 name script expected got
    while IFS='|' read -r name script expected; do
        [ -z "$name" ] && continue
        n=$((n + 1))
        script=${script//@INSERT@/"$inserted"}
        write_gbk "$folder/脚本 $n.zt" "$script"
        start_quorvel "$folder" "$(winpath "$folder/脚本 $n.zt")"
        wait_exit "$last_pid" 60 || fail "$name: the process did not end by itself"
        got=$(probe clip) || got="<none>"
        [ "$got" = "$expected" ] || fail "$name: clipboard '$got', expected '$expected'"
        note "$name: ok"
    done <<'EOF'
chinese text|// 中文注释\n复制->中文测试：甲乙丙\n|中文测试：甲乙丙
insert by chinese path|#insert @INSERT@\n|插入的中文：丁
EOF
}

# A plain start shows the main window, centred across and a third of the way down the screen
# whose size the system reports; prints the time to it and leaves a screenshot in the work
# folder (wine-main.png).
case_startup() {
    start_xvfb 1152x864
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    boot_wine
    local start end
    start=$(date +%s%N)
    start_quorvel "$run_dir/prog"
    probe wait "$title_main" 60000 || fail "no main window"
    end=$(date +%s%N)
    note "main window shown $(((end - start) / 1000000)) ms after the start (Wine already running)"
    local left top width height
    read -r left top width height < <(probe place "$title_main" | tr -d '\r')
    [ -n "$height" ] || fail "cannot read the window's place"
    [ "$left,$top" = "$(((1152 - width) / 2)),$(((864 - height) / 3))" ] \
        || fail "window at $left,$top (client ${width}x$height), not placed on a 1152x864 screen"
    sleep 1
    alive "$last_pid" || fail "the program ended"
    if command -v import >/dev/null; then
        import -window root "$work/wine-main.png" && note "screenshot: $work/wine-main.png"
    fi
}

"case_$case_name"
