#!/bin/bash
# End-to-end tests of the Windows build: Quorvel.exe runs under Wine inside an Xvfb that this
# script starts for itself; wineprobe.exe looks at the Windows side (clipboard, windows, code
# page) and stands in for the shell's tray.
#
#   winetest.sh CASE     CASE: setup filestart_clipboard filestart_notice single_instance
#                              gbk_script csv_gbk files processes input hotkeys registry
#                              startup release_zip window_icon notice_texts check recorder
#                              feed_signature downloads update_good update_tampered
#                              update_rollback
#   winetest.sh dpi DPI  display scaling at 96 or 144 DPI (in a prefix of its own)
#
# Environment (set by CTest): QUORVEL_WIN_EXE, WINEPROBE_EXE, WINETEST_DIR (a build folder
# that holds the shared Wine prefix, the Chinese locale, a private home and the run folders),
# QUORVEL_SOURCE_DIR, QUORVEL_WIN_ZIP (the release archive; by default the one beside
# Quorvel.exe) and WINETEST_SHOTS (a folder for screenshots). A case whose subject is missing
# exits with 77, which CTest reports as skipped.
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
server_pid=
run_dir=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    # Only this prefix's server: it ends just the Windows processes this test started.
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    # WINETEST_KEEP=1 leaves the run folder for a look after a failure.
    [ -n "$run_dir" ] && [ -z "${WINETEST_KEEP:-}" ] && rm -rf "$run_dir"
}
trap cleanup EXIT

# Makes $WINEPREFIX once (a marker file says it is complete).
ensure_prefix() {
    [ -f "$WINEPREFIX/.quorvel-ready" ] && return 0
    rm -rf "$WINEPREFIX"
    note "creating the Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || fail "wineboot failed"
    # Wine has no Tahoma to offer Qt's dialog font.
    wine reg add "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes" \
        /v "MS Shell Dlg 2" /d "DejaVu Sans" /f >/dev/null 2>&1 || fail "font substitution"
    wineserver -w
    touch "$WINEPREFIX/.quorvel-ready"
}

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

# Waits up to 20 s for a probe's first line in its log.
wait_first_line() {
    local log=$1 i
    for ((i = 0; i < 200; i++)); do
        grep -q . "$log" && return 0
        sleep 0.1
    done
    return 1
}

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

# Waits until the clipboard holds a text; what it last held is left in $got.
wait_clip() {
    local text=$1 seconds=$2 i
    for ((i = 0; i < seconds * 4; i++)); do
        got=$(probe clip) || got="<none>"
        [ "$got" = "$text" ] && return 0
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
    ensure_prefix
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
        wait_first_line "$tray_out" || true
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

# Global hotkeys of a resident start: keys typed on the X display reach RegisterHotKey's
# WM_HOTKEY in the main window, also when it is hidden (-autorun) and another program's window
# has the keyboard (the probe's input target under the pointer). The scripts show what ran
# through the clipboard.
case_hotkeys() {
    command -v xdotool >/dev/null || fail "xdotool is missing"
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    mkdir -p "$run_dir/prog/ZtFiles"
    local slot
    slot=$(winpath "$run_dir/槽 一.zt")
    slot=${slot//\\/\\\\} # kept through write_gbk's escapes
    local n=0 name arg settings default_script slot_script steps expected step windows i
    # name | argument | settings file | editor's default script (ZtFiles\Quorvel.zt) | script
    # file of slot 1 (@SLOT@) | steps | clipboard at the end. Steps: key:KEYS (xdotool),
    # clip:TEXT (wait until the clipboard holds TEXT), setclip:TEXT, sleep:SECONDS,
    # pointer:X,Y (move it), at:X,Y (wait until it is there), windows:N (wait until N main
    # windows show).
    while IFS='|' read -r name arg settings default_script slot_script steps expected; do
        [ -z "$name" ] && continue
        n=$((n + 1))
        write_gbk "$run_dir/prog/Quorvel.qcf" "${settings//@SLOT@/"$slot"}"
        write_gbk "$run_dir/prog/ZtFiles/Quorvel.zt" "$default_script"
        write_gbk "$run_dir/槽 一.zt" "$slot_script"
        fresh_session
        if [ -n "$arg" ]; then
            start_quorvel "$run_dir/prog" "$arg"
            windows=0
        else
            start_quorvel "$run_dir/prog"
            windows=1
        fi
        wait_windows "$title_main" "$windows" 60 || fail "$name: $windows main windows expected"
        if [ "$windows" -eq 0 ]; then
            # Another program has the keyboard: X gives it to the window under the pointer.
            : >"$run_dir/target.log"
            wine "$probe" target 640 480 >>"$run_dir/target.log" 2>/dev/null &
            disown
            wait_first_line "$run_dir/target.log" || true
            grep -qx ready "$run_dir/target.log" || fail "$name: input target: $(cat "$run_dir/target.log")"
            xdotool mousemove 320 240
        fi
        # Wine hears keys only while X gives them to one of its windows: with no window manager
        # that is the window under the pointer, so the pointer stays on the main window or the
        # target.
        sleep 1
        for step in $steps; do
            case $step in
            key:*) xdotool key "${step#key:}" ;;
            pointer:*)
                step=${step#pointer:}
                xdotool mousemove "${step%,*}" "${step#*,}"
                ;;
            setclip:*) probe setclip "${step#setclip:}" || fail "$name: cannot set the clipboard" ;;
            sleep:*) sleep "${step#sleep:}" ;;
            clip:*)
                wait_clip "${step#clip:}" 20 \
                    || fail "$name: waited for $step, the clipboard holds '$got'"
                ;;
            windows:*) wait_windows "$title_main" "${step#windows:}" 20 || fail "$name: waited for $step" ;;
            at:*)
                for ((i = 0; i < 40; i++)); do
                    [ "$(xdotool getmouselocation | sed 's/^x:\([0-9]*\) y:\([0-9]*\).*/\1,\2/')" \
                        = "${step#at:}" ] && break
                    sleep 0.25
                done
                [ "$i" -lt 40 ] || fail "$name: the pointer is not at ${step#at:}: $(xdotool getmouselocation)"
                ;;
            esac
        done
        got=$(probe clip) || got="<none>"
        [ "$got" = "$expected" ] || fail "$name: clipboard '$got', expected '$expected'"
        alive "$last_pid" || fail "$name: the program ended"
        note "$name: ok"
    done <<'EOF'
Ctrl+E runs the editor|||复制->编辑器的脚本\n||key:ctrl+e clip:编辑器的脚本|编辑器的脚本
Ctrl+Q stops the run|||复制->开始\n延时->4000\n复制->没有停下\n||key:ctrl+e clip:开始 key:ctrl+q sleep:6|开始
without Ctrl+Q the run goes on|||复制->开始\n延时->1000\n复制->没有停下\n||key:ctrl+e clip:开始 sleep:3|没有停下
Ctrl+W runs the clipboard|||复制->编辑器\n||setclip:"复制->来自剪贴板" key:ctrl+w clip:来自剪贴板|来自剪贴板
Ctrl+1 runs its file||Ctrl_1=y\r\nCtrlPath_1=@SLOT@\r\n|复制->编辑器\n|复制->第一个槽\n|key:ctrl+1 clip:第一个槽|第一个槽
a slot that is off stays quiet||Ctrl_1=n\r\nCtrlPath_1=@SLOT@\r\n|复制->编辑器\n|复制->第一个槽\n|setclip:之前 key:ctrl+1 sleep:3|之前
hidden, from another window|-autorun||复制->隐藏时运行\n||key:ctrl+e clip:隐藏时运行|隐藏时运行
Ctrl+K shows the hidden window|-autorun||复制->编辑器\n||key:ctrl+k windows:1|<none>
Ctrl+M writes the pointer's place|||||pointer:300,300 key:ctrl+m pointer:700,400 key:ctrl+e at:300,300|<none>
EOF
}

# File and folder commands with drive-letter paths (Z: is the Unix root) and Chinese names,
# and cmd through the command interpreter. Every script ends by copying "完成", so a run that
# stopped early shows.
case_files() {
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    local n=0 name setup script checks dir win token path content
    # name | files before (f:NAME=CONTENT, d:NAME) | script (@D@: the case's folder) | checks
    # (f:NAME=CONTENT, d:NAME, -:NAME absent). Scripts and CONTENT are UTF-8 with printf's
    # escapes (so "\\" for a backslash), GBK on disk.
    while IFS='|' read -r name setup script checks; do
        [ -z "$name" ] && continue
        n=$((n + 1))
        dir="$run_dir/目录 $n"
        mkdir -p "$dir"
        win=$(winpath "$dir")
        win=${win//\\/\\\\} # kept through write_gbk's escapes
        for token in $setup; do
            path=${token#?:}
            path=${path%%=*}
            case $token in
            d:*) mkdir -p "$dir/$path" ;;
            f:*) mkdir -p "$(dirname "$dir/$path")" && write_gbk "$dir/$path" "${token#*=}" ;;
            esac
        done
        write_gbk "$run_dir/case$n.zt" "${script//@D@/"$win"}\\n复制->完成\\n"
        fresh_session
        start_quorvel "$run_dir/prog" "$(winpath "$run_dir/case$n.zt")"
        wait_exit "$last_pid" 60 || fail "$name: the process did not end by itself"
        got=$(probe clip) || got="<none>"
        [ "$got" = 完成 ] || fail "$name: the run did not reach its end (clipboard '$got')"
        for token in $checks; do
            path=${token#?:}
            path=${path%%=*}
            case $token in
            d:*) [ -d "$dir/$path" ] || fail "$name: no folder $path" ;;
            -:*) [ ! -e "$dir/$path" ] || fail "$name: $path exists" ;;
            f:*)
                content=${token#*=}
                [ -f "$dir/$path" ] || fail "$name: no file $path"
                printf '%b' "$content" | iconv -f UTF-8 -t GBK | cmp -s - "$dir/$path" \
                    || fail "$name: $path holds $(od -An -c "$dir/$path" | tr -s ' \n' ' ')," \
                        "expected GBK of '$content'"
                ;;
            esac
        done
        note "$name: ok"
    done <<'EOF'
nested folders||文件夹->创建 [@D@\\甲\\乙\\丙]\n文件夹->创建[@D@\\甲\\乙\\丙]|d:甲/乙/丙
copy into new folders|f:源.txt=内容一|文件->@D@\\源.txt=@D@\\新\\目录\\副本.txt|f:源.txt=内容一 f:新/目录/副本.txt=内容一
copy overwrites|f:a.txt=新的 f:b.txt=旧的|文件->@D@\\a.txt=@D@\\b.txt|f:a.txt=新的 f:b.txt=新的
move|f:a.txt=甲|文件->@D@\\a.txt=>@D@\\移到.txt|-:a.txt f:移到.txt=甲
move onto an existing file fails quietly|f:a.txt=一 f:b.txt=二|文件->@D@\\a.txt=>@D@\\b.txt|f:a.txt=一 f:b.txt=二
missing source|f:b.txt=二|文件->@D@\\没有.txt=@D@\\b.txt\n文件->@D@\\没有.txt=>@D@\\c.txt|f:b.txt=二 -:c.txt
rename|f:旧名.txt=乙|改名->@D@\\旧名.txt=>@D@\\新名.txt|-:旧名.txt f:新名.txt=乙
rename into another folder|f:x.txt=丙 d:子|改名->@D@\\x.txt=>@D@\\子\\y.txt|-:x.txt f:子/y.txt=丙
cmd writes a file and is waited for||cmd->echo 命令输出>"@D@\\命令.txt"\n文件->@D@\\命令.txt=@D@\\副本.txt|f:命令.txt=命令输出\r\n f:副本.txt=命令输出\r\n
EOF
}

# 进程 ends the first running process whose executable name matches exactly, with exit code 0,
# and leaves the others. The processes are copies of the probe under Chinese names, started
# here, so their names go through the ANSI code page both ways.
case_processes() {
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    local program
    for program in 待结束 另一个; do
        cp "$probe" "$run_dir/$program.exe" || fail "cannot copy the probe"
    done
    local n=0 name script ended pids pid i count status
    # name | script | how many of the two 待结束.exe end (另一个.exe always keeps running)
    while IFS='|' read -r name script ended; do
        [ -z "$name" ] && continue
        n=$((n + 1))
        fresh_session
        pids=()
        for program in 待结束 待结束 另一个; do
            (cd "$run_dir" && exec env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 \
                wine "$run_dir/$program.exe" idle) >/dev/null 2>&1 &
            pids+=($!)
        done
        sleep 1
        for pid in "${pids[@]}"; do alive "$pid" || fail "$name: a stand-in program did not start"; done
        write_gbk "$run_dir/case$n.zt" "$script\\n复制->完成\\n"
        start_quorvel "$run_dir/prog" "$(winpath "$run_dir/case$n.zt")"
        wait_exit "$last_pid" 60 || fail "$name: the process did not end by itself"
        got=$(probe clip) || got="<none>"
        [ "$got" = 完成 ] || fail "$name: the run did not reach its end (clipboard '$got')"
        count=0
        for i in 0 1; do
            if wait_exit "${pids[$i]}" $((ended > count ? 5 : 1)); then
                wait "${pids[$i]}"
                status=$?
                [ "$status" -eq 0 ] || fail "$name: the ended program's exit code is $status, not 0"
                count=$((count + 1))
            fi
        done
        [ "$count" -eq "$ended" ] || fail "$name: $count of the two 待结束.exe ended, expected $ended"
        alive "${pids[2]}" || fail "$name: 另一个.exe was ended"
        note "$name: ok"
    done <<'EOF'
ends the first of its name|进程->待结束.exe|1
twice ends both|进程->待结束.exe\n进程->待结束.exe|2
names are compared exactly|进程->待结束.EXE\n进程->待结束|0
no such program|进程->没有这个.exe|0
EOF
}

# Prints the data of a registry value (NAME empty: the key's default value) as reg.exe shows
# it; fails when there is none. reg.exe writes in the console code page, GBK here.
reg_value() {
    local key=$1 name=$2 out
    if [ -n "$name" ]; then
        out=$(wine reg query "$key" /v "$name" 2>/dev/null) || return 1
    else
        out=$(wine reg query "$key" /ve 2>/dev/null) || return 1
    fi
    printf '%s\n' "$out" | iconv -f GBK -t UTF-8 | tr -d '\r' \
        | sed -n 's/^    [^ ]\{1,\}    REG_SZ    //p' | grep . || return 1
}

# The settings page's two check boxes, clicked by keyboard as a user would (Ctrl+Tab to the
# page, Tab to a box, Space), write the Run value and the .zt association; `wine reg query`
# reads them back, and the shell then opens a .zt file with the program, and after the
# association is undone with Notepad. The program's folder has a Chinese name: the ANSI
# registry calls get GBK.
case_registry() {
    command -v xdotool >/dev/null || fail "xdotool is missing"
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    local folder="$run_dir/程序"
    make_program_folder "$folder"
    local run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
    local exe_win folder_win script_win
    exe_win=$(winpath "$folder/Quorvel.exe")
    folder_win=$(winpath "$folder/")
    write_gbk "$run_dir/双击.zt" '复制->双击运行\n'
    script_win=$(winpath "$run_dir/双击.zt")

    fresh_session
    # The prefix is shared by the test run: nothing left from an earlier one may answer.
    wine reg delete "$run_key" /v Quorvel /f >/dev/null 2>&1
    wine reg delete 'HKCR\.zt' /f >/dev/null 2>&1
    wine reg delete 'HKCR\ztfile' /f >/dev/null 2>&1
    start_quorvel "$folder"
    local resident=$last_pid
    wait_windows "$title_main" 1 60 || fail "no main window"
    sleep 1
    xdotool key ctrl+Tab
    sleep 0.5
    xdotool key Tab space # 关联zt文件…
    sleep 0.5
    xdotool key Tab space # 设置开机启动…
    local i got
    for ((i = 0; i < 40; i++)); do
        reg_value "$run_key" Quorvel >/dev/null && reg_value 'HKCR\ztfile\DefaultIcon' "" >/dev/null && break
        sleep 0.25
    done
    got=$(reg_value "$run_key" Quorvel) || fail "no Run value named Quorvel"
    [ "$got" = "$exe_win -autorun" ] || fail "Run value '$got', expected '$exe_win -autorun'"
    got=$(reg_value 'HKCR\.zt' "") || fail "no .zt key"
    [ "$got" = ztfile ] || fail ".zt is '$got'"
    got=$(reg_value 'HKCR\ztfile\shell\open\command' "") || fail "no open command"
    [ "$got" = "$exe_win \"%1\"" ] || fail "open command '$got', expected '$exe_win \"%1\"'"
    got=$(reg_value 'HKCR\ztfile\DefaultIcon' "") || fail "no DefaultIcon"
    [ "$got" = "${folder_win}iconengines\\zt.ico" ] || fail "DefaultIcon '$got'"
    grep -q '^ztFileRun=y' "$folder/Quorvel.qcf" && grep -q '^autoRun=y' "$folder/Quorvel.qcf" \
        || fail "settings file: $(tr '\r\n' '  ' <"$folder/Quorvel.qcf")"
    note "checked: Run value, association and settings written"

    # What a double click does: the shell's open verb of the file's type.
    wine start "$script_win" >/dev/null 2>&1
    wait_clip 双击运行 30 || fail "opening the .zt file did not run it (clipboard '$got')"
    alive "$resident" || fail "the file start ended the resident instance"
    note "association: the shell runs a .zt file"

    xdotool key space # 设置开机启动 off
    sleep 0.5
    xdotool key shift+Tab space # 关联zt文件 off
    for ((i = 0; i < 40; i++)); do
        ! reg_value "$run_key" Quorvel >/dev/null \
            && [ "$(reg_value 'HKCR\ztfile\shell\open\command' "")" = 'notepad.exe "%1"' ] && break
        sleep 0.25
    done
    ! got=$(reg_value "$run_key" Quorvel) || fail "the Run value stays: '$got'"
    got=$(reg_value 'HKCR\ztfile\shell\open\command' "")
    [ "$got" = 'notepad.exe "%1"' ] || fail "open command after dissociating '$got'"
    [ "$(reg_value 'HKCR\.zt' "")" = ztfile ] || fail ".zt changed when dissociating"
    [ "$(reg_value 'HKCR\ztfile\DefaultIcon' "")" = "${folder_win}iconengines\\zt.ico" ] \
        || fail "DefaultIcon changed when dissociating"
    grep -q '^ztFileRun=n' "$folder/Quorvel.qcf" && grep -q '^autoRun=n' "$folder/Quorvel.qcf" \
        || fail "settings file: $(tr '\r\n' '  ' <"$folder/Quorvel.qcf")"
    note "unchecked: Run value removed, Notepad opens scripts"

    wine start "$script_win" >/dev/null 2>&1
    for ((i = 0; i < 80; i++)); do
        probe edit Notepad >"$run_dir/notepad.txt" 2>/dev/null && [ -s "$run_dir/notepad.txt" ] && break
        sleep 0.25
    done
    [ "$(cat "$run_dir/notepad.txt")" = '复制->双击运行' ] \
        || fail "after dissociating, Notepad shows '$(cat "$run_dir/notepad.txt")'"
    note "dissociated: the shell opens a .zt file in Notepad"
}

# Mouse and keyboard commands: keybd_event, mouse_event and the cursor position reach the
# foreground window of another program (the probe's input target, which logs the key and
# button messages it gets) as the system delivers them.
case_input() {
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    local n=0 name script expected_log expected_clip log i
    # name | script | messages at the target, ";" between them | clipboard afterwards ("-":
    # not looked at)
    while IFS='|' read -r name script expected_log expected_clip; do
        [ -z "$name" ] && continue
        n=$((n + 1))
        fresh_session
        log="$run_dir/target$n.log"
        : >"$log"
        wine "$probe" target 640 480 >>"$log" 2>/dev/null &
        disown
        wait_first_line "$log" || true
        grep -qx ready "$log" || fail "$name: input target: $(cat "$log")"
        write_gbk "$run_dir/case$n.zt" "$script"
        start_quorvel "$run_dir/prog" "$(winpath "$run_dir/case$n.zt")"
        wait_exit "$last_pid" 60 || fail "$name: the process did not end by itself"
        sleep 0.5 # the last messages are logged
        got=$(tail -n +2 "$log" | tr -d '\r' | paste -sd ';')
        [ "$got" = "$expected_log" ] || fail "$name: the target got '$got', expected '$expected_log'"
        if [ "$expected_clip" != - ]; then
            got=$(probe clip) || got="<none>"
            [ "$got" = "$expected_clip" ] || fail "$name: clipboard '$got', expected '$expected_clip'"
        fi
        note "$name: ok"
    done <<'EOF'
a key|键盘->a|down 65;up 65|-
upper case is the same key|键盘->A|down 65;up 65|-
keypad digit|键盘->1|down 97;up 97|-
combination, released in written order|键盘->Ctrl+C|down 17;down 67;up 17;up 67|-
repeated|键盘->Tab*3(10)|down 9;up 9;down 9;up 9;down 9;up 9|-
held down and let go|按下->Shift\n键盘->b\n抬起->Shift|down 16;down 66;up 66;up 16|-
paste through the clipboard|粘贴->粘贴的文字|down 17;down 86;up 17;up 86|粘贴的文字
left click where the cursor is|鼠标->100,50\n鼠标->左键单击|ldown 100,50;lup 100,50|-
double click|鼠标->200,60\n鼠标->左键双击|ldown 200,60;lup 200,60;ldbl 200,60;lup 200,60|-
right click, full-width comma|鼠标->30，40\n鼠标->右键单击|rdown 30,40;rup 30,40|-
relative move, button held|鼠标->100,100\n鼠标->20*-10\n鼠标->左键按下\n鼠标->左键提起|ldown 120,90;lup 120,90|-
position read back|鼠标->321,123\n鼠标->(复制)||321,123
EOF
}

# The recorder's low-level hooks: what the user does through the X server arrives, with the
# text typed under Shift and without Ctrl; the probe's own injected key does not.
case_recorder() {
    local rprobe=${RECORDERPROBE_EXE:-}
    [ -f "$rprobe" ] || exit 77
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    fresh_session
    local log="$run_dir/recorder.log" i window got expected probe_pid
    wine "$rprobe" >"$log" 2>/dev/null &
    probe_pid=$!
    disown
    wait_first_line "$log" || true
    grep -qx ready <(tr -d '\r' <"$log") || fail "recorder probe: $(cat "$log")"
    window=$(xdotool search --sync --name '^recorderprobe$' | head -1)
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
    xdotool type 'aB!'
    xdotool key ctrl+c Return
    xdotool mousemove 100 120 click 1
    xdotool mousemove 150 130 click 3
    xdotool key F12
    wait_exit "$probe_pid" 20 || fail "the recorder probe did not see F12 go up"
    got=$(tail -n +2 "$log" | tr -d '\r' | paste -sd ';')
    expected="down 65 'a';up 65;down 160 '';down 66 'B';up 160;up 66;down 160 '';down 49 '!'"
    expected+=";up 160;up 49;down 162 '';down 67 'c';up 162;up 67;down 13 '';up 13"
    expected+=";press 1 100,120;release 1 100,120;press 3 150,130;release 3 150,130"
    [ "$got" = "$expected" ] || fail "recorded '$got', expected '$expected'"
    note "recorder: ok"
}

# Starts the probe's input target (640 x 480 at the top left), logging to the file given.
start_target() {
    local log=$1 i
    : >"$log"
    wine "$probe" target 640 480 >>"$log" 2>/dev/null &
    disown
    wait_first_line "$log" || true
    grep -qx ready <(tr -d '\r' <"$log") || fail "input target: $(cat "$log")"
}

# The clicks and the Tab key as a target logged them, ";" between them (typed text, the
# hotkeys' leftovers and the paste's Ctrl+V are looked at apart).
clicks_and_keys() {
    tail -n +2 "$1" | tr -d '\r' | grep -E '^[lr](down|up|dbl) |^(down|up) 9$' | paste -sd ';'
}

# The program's own recorder: Ctrl+Alt+R, a click, typing and Tab in a Wine window, Ctrl+Alt+R;
# then Ctrl+E runs the recorded lines (and saves them as the default script) into a fresh
# target, which sees the same clicks and keys; the typed text arrives through the clipboard.
case_recorder_program() {
    command -v xdotool >/dev/null || fail "xdotool is missing"
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    mkdir -p "$run_dir/prog/ZtFiles"
    fresh_session
    start_quorvel "$run_dir/prog" -autorun
    local resident=$last_pid i script first second
    sleep 3 # resident in the tray, its hotkeys registered
    alive "$resident" || fail "the resident program ended"
    start_target "$run_dir/first.log"
    # Wine hears keys only through one of its windows: the one under the pointer.
    xdotool mousemove 320 240
    sleep 0.5
    xdotool key ctrl+alt+r
    sleep 1
    xdotool mousemove 100 60 click 1
    sleep 0.4
    xdotool type --delay 80 'ab'
    xdotool key Tab
    sleep 0.4
    xdotool key ctrl+alt+r
    sleep 1
    first=$(clicks_and_keys "$run_dir/first.log")
    [ "$first" = "ldown 100,60;lup 100,60;down 9;up 9" ] || fail "the first target saw '$first'"
    probe close "input target" >/dev/null 2>&1 || true
    sleep 0.5
    start_target "$run_dir/second.log"
    xdotool mousemove 320 240
    sleep 0.5
    xdotool key ctrl+e
    for ((i = 0; i < 100; i++)); do
        [ -s "$run_dir/prog/ZtFiles/Quorvel.zt" ] && break
        sleep 0.1
    done
    script=$(iconv -f GBK -t UTF-8 "$run_dir/prog/ZtFiles/Quorvel.zt" | tr -d '\r' | paste -sd ';')
    note "recorded: $script"
    case ";$script;" in
    *";鼠标->100,60;"*"鼠标->左键单击;"*"粘贴->ab;"*"键盘->Tab;"*) ;;
    *) fail "the recorded script is '$script'" ;;
    esac
    for ((i = 0; i < 100; i++)); do
        second=$(clicks_and_keys "$run_dir/second.log")
        [ "$second" = "$first" ] && break
        sleep 0.2
    done
    [ "$second" = "$first" ] || fail "the replay gave '$second', the recording '$first'"
    grep -q '^down 86' <(tr -d '\r' <"$run_dir/second.log") || fail "the replay pasted nothing"
    wait_clip ab 10 || fail "the replay's clipboard holds '$got'"
    alive "$resident" || fail "the resident program ended"
    note "recorded and replayed: ok"
}

# Chinese Windows: 存csv appends GBK bytes and CR LF; 查csv decodes a GBK file. The files are
# read byte for byte here.
case_csv_gbk() {
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    local n=0 name prefill script expected_file expected_clip csv_unix csv rc
    # name | CSV file before the run | script | CSV file after the run | clipboard afterwards
    # ("-": not looked at); all UTF-8 here, GBK on disk. @CSV@ is the CSV file's path.
    while IFS='|' read -r name prefill script expected_file expected_clip; do
        [ -z "$name" ] && continue
        n=$((n + 1))
        mkdir -p "$run_dir/数据 $n"
        csv_unix="$run_dir/数据 $n/表 $n.csv"
        csv=$(winpath "$csv_unix")
        csv=${csv//\\/\\\\} # kept through write_gbk's escapes
        [ -z "$prefill" ] || write_gbk "$csv_unix" "$prefill"
        write_gbk "$run_dir/case$n.zt" "${script//@CSV@/"$csv"}"
        fresh_session
        start_quorvel "$run_dir/prog" "$(winpath "$run_dir/case$n.zt")"
        wait_exit "$last_pid" 60 || fail "$name: the process did not end by itself"
        if [ -n "$expected_file" ]; then
            [ -f "$csv_unix" ] || fail "$name: no CSV file written"
            printf '%b' "$expected_file" | iconv -f UTF-8 -t GBK | cmp -s - "$csv_unix" \
                || fail "$name: CSV bytes $(od -An -tx1 "$csv_unix" | tr -s ' \n' ' ')," \
                    "expected GBK of '$expected_file'"
        fi
        if [ "$expected_clip" != - ]; then
            got=$(probe clip)
            rc=$?
            [ $rc -eq 3 ] && got="<none>"
            [ "$got" = "$expected_clip" ] || fail "$name: clipboard '$got', expected '$expected_clip'"
        fi
        note "$name: ok"
    done <<'EOF'
string variable||串1->甲,乙丙\n存csv->[@CSV@][串1]\n|甲,乙丙\r\n|-
clipboard, appended||复制->中文,记录\n存csv->[@CSV@][复制]\n复制->第二行\n存csv->[@CSV@][复制]\n|中文,记录\r\n第二行\r\n|-
existing file kept|旧,行\r\n|串2->新,行\n存csv->[@CSV@][串2]\n|旧,行\r\n新,行\r\n|-
written and read back||串1->红,苹果,水果\n存csv->[@CSV@][串1]\n查csv->红[@CSV@](复制)\n|红,苹果,水果\r\n|苹果
lookup in a GBK file|名称,数量\r\n甲乙,七十\r\n|复制->x\n查csv->甲乙[@CSV@]（复制）\n|名称,数量\r\n甲乙,七十\r\n|七十
lookup into a variable|键,值一,值二\r\n|串5->前\n查csv->值一[@CSV@](串5)\n复制->[串5]\n||前值二
EOF

    # Without a file of its own 存csv appends to the record tool's file, whose path (GBK, with
    # "/") only a resident start reads from the settings; this one runs its script at once.
    fresh_session
    local record="$run_dir/记录 目录/记录.csv"
    mkdir -p "$run_dir/记录 目录"
    mkdir -p "$run_dir/prog/ZtFiles"
    write_gbk "$run_dir/prog/Quorvel.qcf" "executeAtOnce=y\r\nSaveToCsvFileSelect=Z:$record\r\n"
    write_gbk "$run_dir/prog/ZtFiles/Quorvel.zt" '复制->记,录\n存csv->[复制]\n复制->完成\n'
    start_quorvel "$run_dir/prog"
    wait_clip 完成 60 || fail "record file of the settings: the script did not run (clipboard '$got')"
    printf '记,录\r\n' | iconv -f UTF-8 -t GBK | cmp -s - "$record" \
        || fail "record file of the settings: $(od -An -tx1 "$record" 2>&1 | tr -s ' \n' ' ')"
    note "record file of the settings: ok"
}

# The release archive as a user gets it: exactly its files, a help text that the help button
# shows in Notepad on a Chinese Windows as written, and the unpacked Quorvel.exe runs a script
# file.
case_release_zip() {
    local zip=${QUORVEL_WIN_ZIP:-}
    if [ -z "$zip" ]; then
        zip=$(ls "$(dirname "$exe")"/Quorvel-*-win64.zip 2>/dev/null | head -n 1)
    fi
    if [ -z "$zip" ] || [ ! -f "$zip" ]; then
        echo "SKIP: no release archive beside $exe (cmake --build build-win --target release_zip)"
        exit 77
    fi
    local source=${QUORVEL_SOURCE_DIR:?}
    command -v unzip >/dev/null || fail "unzip is missing (package unzip)"
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    local entries
    entries=$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
    [ "$entries" = "BmpLibrary/ Quorvel.exe Quorvel.qcf QuorvelExplain.txt ZtFiles/ iconengines/ iconengines/zt.ico " ] \
        || fail "the archive holds: $entries"
    local folder="$run_dir/解压 后"
    mkdir -p "$folder"
    unzip -q "$zip" -d "$folder" || fail "unzip failed"
    cmp -s "$folder/Quorvel.exe" "$exe" || fail "the archive's Quorvel.exe is not $exe (an archive from an older build?)"
    [ -f "$folder/Quorvel.qcf" ] && [ ! -s "$folder/Quorvel.qcf" ] || fail "Quorvel.qcf is not an empty file"
    cmp -s "$folder/iconengines/zt.ico" "$source/resources/icons/zt.ico" || fail "iconengines/zt.ico differs"
    note "contents: ok"

    # The help button (the first control after the tabs: Tab, Space) starts Notepad with the
    # help text beside the program, in a folder whose name has a blank. Notepad's page must
    # hold the repository's text (with CR LF line ends).
    command -v xdotool >/dev/null || fail "xdotool is missing"
    fresh_session
    start_quorvel "$folder"
    wait_windows "$title_main" 1 60 || fail "the unpacked program shows no window"
    sleep 1
    xdotool key Tab space
    local i
    for ((i = 0; i < 120; i++)); do
        probe edit Notepad >"$run_dir/notepad.txt" 2>/dev/null && [ -s "$run_dir/notepad.txt" ] && break
        sleep 0.25
    done
    [ -s "$run_dir/notepad.txt" ] || fail "the help button (使用说明) opened no Notepad page"
    sed 's/$/\r/' "$source/resources/QuorvelExplain.txt" >"$run_dir/expected.txt"
    cmp -s "$run_dir/notepad.txt" "$run_dir/expected.txt" \
        || fail "Notepad (code page 936) shows the help text otherwise: $(head -c 120 "$run_dir/notepad.txt")"
    note "help text in Notepad: ok"

    fresh_session
    write_gbk "$folder/ZtFiles/发布.zt" '复制->解压后运行\n'
    start_quorvel "$folder" "$(winpath "$folder/ZtFiles/发布.zt")"
    wait_exit "$last_pid" 60 || fail "the unpacked program did not end its file start"
    local got
    got=$(probe clip) || got="<none>"
    [ "$got" = 解压后运行 ] || fail "unpacked file start: clipboard '$got'"
    note "unpacked file start: ok"
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

# The main window's icon, the idle frame ":/images/Quorvel_2.ico" of the compiled-in resources.
# Wine hands a window's icon to X as _NET_WM_ICON (an icon handle of another process cannot be
# read on the Windows side); without the resources the window would show the executable's own
# icon (Quorvel_1.ico), which the comparison tells apart.
case_window_icon() {
    command -v xprop >/dev/null || fail "xprop is missing (package x11-utils)"
    command -v xdotool >/dev/null || fail "xdotool is missing"
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    fresh_session
    start_quorvel "$run_dir/prog"
    wait_windows "$title_main" 1 60 || fail "no main window"
    local window data="$run_dir/icon.txt" i
    for ((i = 0; i < 40; i++)); do
        for window in $(xdotool search --name "^${title_main//./\\.}\$" 2>/dev/null); do
            xprop -id "$window" -notype -f _NET_WM_ICON 32c '=$0+\n' _NET_WM_ICON 2>/dev/null \
                | sed -n 's/^_NET_WM_ICON=//p' >"$data"
            [ -s "$data" ] && break 2
        done
        sleep 0.25
    done
    [ -s "$data" ] || fail "the main window has no icon"
    local icons=${QUORVEL_SOURCE_DIR:?}/resources/icons out
    out=$(probe icon "$(winpath "$data")" "$(winpath "$icons/Quorvel_2.ico")") \
        || fail "the window's icon is not Quorvel_2.ico (per image: size, pixels that show," \
            "pixels unlike the file's): $(echo $out | tr -d '\r')"
    note "the window's icon is Quorvel_2.ico: $(echo $out | tr -d '\r')"
}

# Qt's standard dialogs speak Chinese: the "注意：" box of a file start that ends with an error has
# one button, "是(&Y)" (Qt's own English "&Yes" without the embedded translation). Qt draws its
# buttons itself, so no window text holds them; Ctrl+C in the box copies title, message and
# button texts, as Windows' own message boxes do.
case_notice_texts() {
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    fresh_session
    write_gbk "$run_dir/error.zt" '复制->之前\n未知命令->1\n'
    start_quorvel "$run_dir/prog" "$(winpath "$run_dir/error.zt")"
    local pid=$last_pid text
    probe wait "$title_notice" 60000 || fail "no \"$title_notice\" box"
    text=$(probe copy "$title_notice") || fail "Ctrl+C in the box copied nothing: $text"
    text=$(printf '%s' "$text" | tr -d '\r')
    # Separator, title, separator, message, separator, buttons, separator.
    local separator=--------------------------- title message buttons
    title=$(printf '%s\n' "$text" | sed -n 2p)
    message=$(printf '%s\n' "$text" | sed -n 4p)
    buttons=$(printf '%s\n' "$text" | sed -n 6p | sed 's/ *$//')
    [ "$(printf '%s\n' "$text" | sed -n '1p;3p;5p;7p' | sort -u)" = "$separator" ] \
        || fail "the copied text is not title, message and buttons: $text"
    [ "$title" = "$title_notice" ] || fail "box title '$title'"
    [[ "$message" == *"未知命令->1"* ]] || fail "the message does not name the line: '$message'"
    [ "$buttons" = "是(&Y)" ] || fail "the box's buttons read '$buttons', expected '是(&Y)'"
    note "box: title $title, buttons $buttons"
    probe close "$title_notice"
    wait_exit "$pid" 30 || fail "the process lives on after its box was closed"
}

# `Quorvel.exe --check`: a console tool inside a GUI program. Redirected to a file its output is
# UTF-8 whatever the ANSI code page (the scripts are GBK); started from a console with no handles
# of its own, it writes on that console and leaves the console's code page as it was. No window
# opens and nothing is written beside the program.
case_check() {
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"
    local prog=$run_dir/prog/Quorvel.exe before
    write_gbk "$run_dir/good.zt" '鼠标->100,200\r\n// 注释\r\n延时->100\r\n'
    write_gbk "$run_dir/bad.zt" '鼠标->1,1\r\n\r\n跳舞->1\r\n'
    write_gbk "$run_dir/inserts.zt" '#insert lib.zt\r\n'
    write_gbk "$run_dir/lib.zt" '// 公共\r\n键盘->Ctrl+C\r\n'
    mkdir "$run_dir/folder.zt"
    before=$(ls -l --time-style=+%s.%N "$run_dir/prog")
    fresh_session
    cd "$run_dir" || fail "no run folder"
    local n=0 name arguments code row rc got
    # name | arguments | exit code | a row of stdout, or "-" and what stderr starts with (stdout
    # then empty)
    while IFS='|' read -r name arguments code row; do
        [ -z "$name" ] && continue
        n=$((n + 1))
        # shellcheck disable=SC2086 # the arguments are words
        wine "$prog" $arguments >"out$n.txt" 2>"err$n.txt"
        rc=$?
        [ "$rc" = "$code" ] || fail "$name: exit code $rc, expected $code ($(cat "err$n.txt"))"
        got=$(tr -d '\r' <"out$n.txt")
        if [ "${row:0:1}" = "-" ]; then
            [ -z "$got" ] || fail "$name: stdout holds '$got'"
            [[ "$(cat "err$n.txt")" == "${row:1}"* ]] || fail "$name: stderr '$(cat "err$n.txt")'"
        else
            grep -qxF -- "$row" <<<"$got" || fail "$name: no row '$row' in: $got"
        fi
        note "$name: ok"
    done <<'EOF'
good|--check good.zt|0|   2  good.zt:3  延时->100
unknown command|--check bad.zt|1|bad.zt:3: 错误: 第2行: 无该命令类型
insert from the working folder|--check inserts.zt|0|   1  lib.zt:2  键盘->Ctrl+C
missing file|--check none.zt|2|-Quorvel: 无法读取 none.zt: 文件不存在
folder|--check folder.zt|2|-Quorvel: 无法读取 folder.zt: 这是文件夹
usage|--check --jsn good.zt|2|-Quorvel: 未知选项 --jsn
EOF
    wine "$prog" --check bad.zt --json >json.txt 2>/dev/null
    rc=$?
    [ $rc = 1 ] || fail "--json: exit code $rc"
    got=$(perl -CO -MJSON::PP -0777 -ne '$d = JSON::PP->new->utf8->decode($_);
        print "$d->{errors} $d->{problems}[0]{sourceLine} $d->{problems}[0]{message}"' json.txt) \
        || fail "--json does not parse: $(cat json.txt)"
    [ "$got" = "1 3 无该命令类型" ] || fail "--json holds '$got'"
    note "--json: ok"

    # Through cmd, Wine hands the GUI program cmd's own handles: the output arrives in the pipe.
    got=$(wine cmd /c "$(winpath "$prog") --check bad.zt" 2>&1 | tr -d '\r')
    grep -qxF '1 个错误, 0 个警告' <<<"$got" || fail "through cmd: $got"
    note "through cmd: ok"

    # A console of its own with the ANSI code page, the program started without handles: the
    # rows land on the console in UTF-8, and the console keeps its code page.
    probe console "$(winpath "$prog") --check bad.zt" >console.txt
    rc=$?
    got=$(tr -d '\r' <console.txt)
    [ "$rc" = 1 ] || fail "on a console: exit code $rc: $got"
    grep -qxF '   2  bad.zt:3  跳舞->1' <<<"$got" || fail "on a console: $got"
    grep -qxF 'codepage 936' <<<"$got" || fail "the console's code page changed: $got"
    note "on a console: ok"

    [ "$(count_windows "$title_main")" = 0 ] || fail "a main window opened"
    [ "$(ls -l --time-style=+%s.%N "$run_dir/prog")" = "$before" ] \
        || fail "the program folder changed: $(ls -l "$run_dir/prog")"
    cd / || true
}

# The release feed's verifier on Windows (CNG through Wine's bcrypt): signatures made by the
# maker's tool hold, a changed document or signature and another key do not. The probe is the
# Win32 half alone; the tool needs Python with `cryptography`.
case_feed_signature() {
    local sprobe=${SIGNATUREPROBE_EXE:-} python=${QUORVEL_PYTHON:-}
    [ -f "$sprobe" ] || exit 77
    [ -n "$python" ] && "$python" -c 'import cryptography' 2>/dev/null || exit 77
    local tool=${QUORVEL_SOURCE_DIR:?}/tools/quorvel-feed
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    fresh_session
    local key other
    key=$("$python" "$tool" keygen "$run_dir/test-private.pem" | sed -n 's/^hex: //p')
    other=$("$python" "$tool" keygen "$run_dir/other-private.pem" | sed -n 's/^hex: //p')
    [ ${#key} = 130 ] && [ ${#other} = 130 ] || fail "the tool made no key pair"
    local sha
    sha=$(printf '%064d' 0)
    cat >"$run_dir/feed.json" <<EOF
{"product": "Quorvel", "version": "5.5.0", "published": "2027-01-15", "notes": "修复",
 "systems": {"windows-x64": {"url": "https://example.org/Q.zip", "size": 10, "sha256": "$sha"}}}
EOF
    "$python" "$tool" sign "$run_dir/test-private.pem" "$run_dir/feed.json" >"$run_dir/signed.json" \
        || fail "the tool did not sign"
    # The envelope's document bytes to a file, the signature as hex, and a copy of the document
    # with one bit changed.
    local signature
    signature=$("$python" - "$run_dir" <<'EOF'
import base64, json, sys
folder = sys.argv[1]
envelope = json.load(open(folder + "/signed.json"))
document = base64.b64decode(envelope["feed"])
open(folder + "/document.bin", "wb").write(document)
open(folder + "/tampered.bin", "wb").write(document[:30] + bytes([document[30] ^ 1]) + document[31:])
print(base64.b64decode(envelope["signature"]).hex())
EOF
    ) || fail "cannot read the envelope"
    local flipped=${signature:0:100}$(printf '%x' $(((0x${signature:100:1} + 1) % 16)))${signature:101}
    local name k file sig want got
    # name | key | message file | signature | what the probe must say
    while read -r name k file sig want; do
        got=$(wine "$sprobe" "${!k}" "$(winpath "$run_dir/$file")" "${!sig}" 2>&1 | tr -d '\r')
        [ "$got" = "$want" ] || fail "$name: the probe says '$got', expected '$want'"
        note "$name: $got"
    done <<'EOF'
signed key document.bin signature valid
tampered-document key tampered.bin signature invalid
tampered-signature key document.bin flipped invalid
other-key other document.bin signature invalid
EOF
}

# The downloads' WinHTTP half (downloadprobe.exe) against a small HTTP server on 127.0.0.1 that
# this case starts: a good file arrives byte for byte with no .part left; a 404, a body cut short
# of its Content-Length and one over the limit are refused and leave no file.
case_downloads() {
    local dprobe=${DOWNLOADPROBE_EXE:-} python=${QUORVEL_PYTHON:-}
    [ -f "$dprobe" ] && [ -n "$python" ] || exit 77
    start_xvfb
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    fresh_session
    head -c 300000 /dev/urandom >"$run_dir/good.bin"
    "$python" "${QUORVEL_SOURCE_DIR:?}/tests/support/updateserver.py" "$run_dir" &
    server_pid=$!
    local i
    for i in $(seq 100); do [ -f "$run_dir/port" ] && break; sleep 0.1; done
    [ -f "$run_dir/port" ] || fail "the HTTP server did not start"
    local base="http://127.0.0.1:$(cat "$run_dir/port")"
    local name path file max want got target
    # name | path | file (- keeps it in memory) | size limit | what the probe must say
    while read -r name path file max want; do
        target=-
        [ "$file" = - ] || target=$(winpath "$run_dir/$file")
        got=$(wine "$dprobe" "$base$path" "$target" "$max" 2>&1 | tr -d '\r')
        [ "$got" = "$want" ] || fail "$name: the probe says '$got', expected '$want'"
        [ ! -e "$run_dir/$file.part" ] || fail "$name: a .part file stayed behind"
        case $want in
        ok*)
            [ "$file" = - ] || cmp -s "$run_dir/good.bin" "$run_dir/$file" \
                || fail "$name: the file differs from the server's"
            ;;
        *) [ ! -e "$run_dir/$file" ] || fail "$name: a file stayed behind" ;;
        esac
        note "$name: $got"
    done <<'EOF'
good-file /good.bin got.bin 1000000 ok 300000
good-memory /good.bin - 1000000 ok 300000
missing /missing missing.bin 1000000 error status 404
truncated /short/good.bin short.bin 1000000 error incomplete 200
too-large /good.bin big.bin 1000 error toolarge 200
EOF
}

# --- the online update ---------------------------------------------------------------------
# A copy of Quorvel.exe that trusts a key made here (patched into its bytes in place of the
# maker's, which appears exactly once), in a program folder on the prefix's drive C: with the
# user's own files; the release archive and its signed feed served on 127.0.0.1.
title_offer="发现新版本"
title_update="检查更新"
title_done="提示:"

# Sets python, tool, prog (the program folder), www (the server's folder), base (its address)
# and key (the test's private key); the copy patched, the server running.
update_setup() {
    python=${QUORVEL_PYTHON:-}
    [ -n "$python" ] && "$python" -c 'import cryptography' 2>/dev/null || exit 77
    command -v xdotool >/dev/null || fail "xdotool is missing"
    tool=${QUORVEL_SOURCE_DIR:?}/tools/quorvel-feed
    start_xvfb
    run_dir=$(mktemp -d "$WINEPREFIX/drive_c/update.XXXXXX")
    prog="$run_dir/程序 目录" www="$run_dir/www" key="$run_dir/test.pem"
    mkdir -p "$www"
    make_program_folder "$prog"
    local public maker
    public=$("$python" "$tool" keygen "$key" | sed -n 's/^base64: //p')
    maker=$(sed -n 's/^ *"\(B[A-Za-z0-9+/=]*\)";$/\1/p' "$QUORVEL_SOURCE_DIR/update/makerkey.h")
    [ ${#public} = 88 ] && [ ${#maker} = 88 ] || fail "no test key, or no maker's key in makerkey.h"
    "$python" - "$prog/Quorvel.exe" "$maker" "$public" <<'EOF' || fail "cannot patch the key"
import sys
path, maker, public = sys.argv[1], sys.argv[2].encode(), sys.argv[3].encode()
data = open(path, "rb").read()
if data.count(maker) != 1:
    sys.exit(f"the maker's key appears {data.count(maker)} times in {path}")
open(path, "wb").write(data.replace(maker, public))
EOF
    "$python" "$QUORVEL_SOURCE_DIR/tests/support/updateserver.py" "$www" &
    server_pid=$!
    local i
    for i in $(seq 200); do [ -f "$www/port" ] && break; sleep 0.1; done
    [ -f "$www/port" ] || fail "the HTTP server did not start"
    base="http://127.0.0.1:$(cat "$www/port")"
}

# The release: Quorvel.exe (the patched copy with a few bytes appended, so the new file is told
# from the old; or the program $1), the new help text and icon, and the user's files of a fresh
# installation, which must never arrive.
update_release() {
    mkdir -p "$run_dir/stage/iconengines" "$run_dir/stage/ZtFiles" "$run_dir/stage/BmpLibrary"
    if [ -n "${1:-}" ]; then
        cp "$1" "$run_dir/stage/Quorvel.exe"
    else
        { cat "$prog/Quorvel.exe"; printf 'quorvel-e2e-new-version'; } >"$run_dir/stage/Quorvel.exe"
    fi
    printf '使用说明 5.5\r\n' >"$run_dir/stage/QuorvelExplain.txt"
    printf 'new icon' >"$run_dir/stage/iconengines/zt.ico"
    printf 'UpdateUrl=http://127.0.0.1:1/elsewhere\r\n' >"$run_dir/stage/Quorvel.qcf"
    write_gbk "$run_dir/stage/ZtFiles/Quorvel.zt" '复制->from the archive\r\n'
    printf 'BM archive' >"$run_dir/stage/BmpLibrary/mine.bmp"
    (cd "$run_dir/stage" && cmake -E tar cf "$www/release.zip" --format=zip Quorvel.exe \
        QuorvelExplain.txt iconengines/zt.ico Quorvel.qcf ZtFiles/Quorvel.zt BmpLibrary/mine.bmp) \
        || fail "cannot make the archive"
}

# The signed feed of version 5.5.0 offering the archive, with the size and hash of the file $1
# (default: the archive itself).
update_feed() {
    local hashed=${1:-$www/release.zip}
    cat >"$run_dir/feed.json" <<EOF
{"product": "Quorvel", "version": "5.5.0", "published": "2026-12-01", "notes": "修复",
 "systems": {"windows-x64": {"url": "$base/release.zip", "size": 1, "sha256": "$(printf '%064d' 0)"}}}
EOF
    "$python" "$tool" sign "$key" "$run_dir/feed.json" --archive "windows-x64=$hashed" \
        >"$www/feed.signed" || fail "the tool did not sign"
}

# The user's settings (with lines of their own), help text, icon, script and picture; then a
# list of every file's hash, the settings file apart.
update_user_files() {
    printf 'WindowX=40\r\nUpdateUrl=%s\r\nCheckUpdateAtStart=y\r\nWindowY=60\r\n' \
        "$base/feed.signed" >"$prog/Quorvel.qcf"
    printf 'help 5.4\r\n' >"$prog/QuorvelExplain.txt"
    mkdir -p "$prog/iconengines" "$prog/ZtFiles" "$prog/BmpLibrary"
    printf 'old icon' >"$prog/iconengines/zt.ico"
    write_gbk "$prog/ZtFiles/Quorvel.zt" '复制->mine\r\n'
    printf 'BM mine' >"$prog/BmpLibrary/mine.bmp"
    update_hashes >"$run_dir/before.txt"
}

# Every file of the program folder with its hash; the settings file without the date of the
# last check, which the program adds.
update_hashes() {
    (cd "$prog" && find . -type f ! -name Quorvel.qcf | LC_ALL=C sort | xargs -d '\n' sha256sum)
    tr -d '\r' <"$prog/Quorvel.qcf" | grep -v '^LastUpdateCheck=' | grep -v '^$'
}

# Started resident; the question box shown and answered with Yes (No is the default).
update_start_and_answer_yes() {
    fresh_session
    start_quorvel "$prog" -autorun
    old_pid=$last_pid
    probe wait "$title_offer" 60000 || fail "no \"$title_offer\" box"
    local text
    text=$(probe copy "$title_offer" | tr -d '\r') || fail "the question box copied nothing"
    [[ "$text" == *"5.5.0"* ]] || fail "the question does not name the version: $text"
    if [ -n "${WINETEST_SHOTS:-}" ]; then
        mkdir -p "$WINETEST_SHOTS"
        import -window root "$WINETEST_SHOTS/wine-update-question.png"
    fi
    # The box's X window takes the key once it has the X focus (nothing else gives it, without
    # a window manager); Y is the Yes button's key.
    local window
    window=$(xdotool search --name "^$title_offer\$" | head -n 1)
    [ -n "$window" ] || fail "the question box has no X window"
    xdotool windowfocus --sync "$window" || fail "cannot focus the question box"
    xdotool key y
}

# Waits up to $2 s for a message box titled $1 whose text holds $3 (a progress dialog of the
# same title copies nothing); its text is left in $box_text.
update_wait_box() {
    local title=$1 part=$3 end=$((SECONDS + $2))
    box_text=
    while [ $SECONDS -lt $end ]; do
        if probe wait "$title" 1000 >/dev/null 2>&1; then
            box_text=$(probe copy "$title" 2>/dev/null | tr -d '\r')
            [[ "$box_text" == *"$part"* ]] && return 0
        fi
        sleep 1
    done
    return 1
}

# The Windows processes running the program folder's Quorvel.exe, as Wine's processes name
# their executable on the Unix side (a C: or a Z: path: the folder's last names tell).
quorvel_pids() {
    local pid
    for pid in $(pgrep -f 'Quorvel\.exe'); do
        tr '\0' '\n' <"/proc/$pid/cmdline" 2>/dev/null \
            | grep -qiF "$(basename "$run_dir")\\$(basename "$prog")\\Quorvel.exe" \
            && echo "$pid"
    done
}

# A good update: the new Quorvel.exe is started and says so, the old one ends, the program
# files are the archive's, the user's files are as they were, and the work folder goes.
case_update_good() {
    update_setup
    update_release
    update_feed
    update_user_files
    update_start_and_answer_yes
    update_wait_box "$title_done" 90 "成功升级新版本!" \
        || fail "no \"$title_done\" box saying 成功升级新版本! ('$box_text'; $(probe windows | tr '\r\n' '  '))"
    if [ -n "${WINETEST_SHOTS:-}" ]; then
        import -window root "$WINETEST_SHOTS/wine-update-success.png"
        note "screenshots: $WINETEST_SHOTS/wine-update-question.png, wine-update-success.png"
    fi
    wait_exit "$old_pid" 30 || fail "the old program still runs"
    local i
    for ((i = 0; i < 150; i++)); do
        [ -e "$prog/QuorvelUpdate" ] || break
        sleep 0.2
    done
    [ ! -e "$prog/QuorvelUpdate" ] || fail "QuorvelUpdate is still there: $(find "$prog/QuorvelUpdate")"
    cmp -s "$prog/Quorvel.exe" "$run_dir/stage/Quorvel.exe" || fail "Quorvel.exe is not the new one"
    cmp -s "$prog/QuorvelExplain.txt" "$run_dir/stage/QuorvelExplain.txt" || fail "the help text is old"
    cmp -s "$prog/iconengines/zt.ico" "$run_dir/stage/iconengines/zt.ico" || fail "the icon is old"
    # The user's files as they were; the program files' hashes are the new ones.
    (cd "$run_dir/stage" && sha256sum ./Quorvel.exe ./QuorvelExplain.txt ./iconengines/zt.ico) \
        >"$run_dir/new.txt"
    grep -vE ' \./(Quorvel\.exe|QuorvelExplain\.txt|iconengines/zt\.ico)$' "$run_dir/before.txt" \
        | cat - "$run_dir/new.txt" | LC_ALL=C sort >"$run_dir/expected.txt"
    update_hashes | LC_ALL=C sort >"$run_dir/after.txt"
    diff "$run_dir/expected.txt" "$run_dir/after.txt" >&2 || fail "the program folder is not as expected"
    grep -q "^LastUpdateCheck=$(date +%F)" "$prog/Quorvel.qcf" || fail "no LastUpdateCheck line"
    local running
    running=$(quorvel_pids)
    [ -n "$running" ] || fail "no Quorvel.exe of the program folder runs"
    alive "$old_pid" && fail "the old program still runs"
    note "updated: new Quorvel.exe runs (unix pid $running), user files unchanged"
}

# An archive whose hash is not the feed's: told in a box, nothing changed, the old program runs.
case_update_tampered() {
    update_setup
    update_release
    # Another file of the archive's size: the download is whole, its hash differs.
    cp "$www/release.zip" "$run_dir/other.zip"
    printf 'X' | dd of="$run_dir/other.zip" bs=1 seek=100 conv=notrunc 2>/dev/null
    cmp -s "$www/release.zip" "$run_dir/other.zip" && fail "the other archive is the same"
    update_feed "$run_dir/other.zip"
    update_user_files
    update_start_and_answer_yes
    update_wait_box "$title_update" 90 "下载的更新包与更新信息不符" \
        || fail "no \"$title_update\" box telling of the mismatch ('$box_text')"
    [[ "$box_text" == *"没有做任何改动"* ]] || fail "the box does not say nothing changed: $box_text"
    alive "$old_pid" || fail "the old program ended"
    [ ! -e "$prog/QuorvelUpdate" ] || fail "QuorvelUpdate is left: $(find "$prog/QuorvelUpdate")"
    update_hashes >"$run_dir/after.txt"
    diff "$run_dir/before.txt" "$run_dir/after.txt" >&2 || fail "the program folder changed"
    note "tampered archive refused, nothing changed: $(printf '%s\n' "$box_text" | sed -n 4p)"
}

# A new version that ends at once (the probe, which without a command prints its usage and
# exits): the old files are put back, the old program says so and has its hotkeys again.
case_update_rollback() {
    update_setup
    update_release "$probe"
    update_feed
    update_user_files
    update_start_and_answer_yes
    update_wait_box "$title_update" 120 "已恢复原来的版本 5.4" \
        || fail "no \"$title_update\" box telling of the rollback ('$box_text')"
    alive "$old_pid" || fail "the old program ended"
    [ ! -e "$prog/QuorvelUpdate" ] || fail "QuorvelUpdate is left: $(find "$prog/QuorvelUpdate")"
    update_hashes >"$run_dir/after.txt"
    diff "$run_dir/before.txt" "$run_dir/after.txt" >&2 || fail "the old files are not back"
    probe close "$title_update" || fail "cannot close the box"
    # Ctrl+E runs the default script (复制->mine) while another window has the keyboard.
    : >"$run_dir/target.log"
    wine "$probe" target 640 480 >>"$run_dir/target.log" 2>/dev/null &
    disown
    wait_first_line "$run_dir/target.log" || true
    xdotool mousemove 320 240
    sleep 1
    xdotool key ctrl+e
    wait_clip mine 15 || fail "Ctrl+E did not run the default script after the rollback ('$got')"
    note "rolled back, old files and hotkeys back: $(printf '%s\n' "$box_text" | sed -n 4p)"
}

# Display scaling: the system's DPI is 96 or 144 (150 %) on a 1920 x 1080 screen. The window
# scales with the display and fits the screen; scripts, the pointer, 截图, 识别 and Ctrl+M stay in
# the screen's pixels: places beyond 1280 x 720 (the screen in 150 % units) are reached only in
# pixels. Leaves a screenshot (wine-dpi-DPI.png in WINETEST_SHOTS, else the work folder).
case_dpi() {
    local dpi=${1:?usage: winetest.sh dpi 96|144}
    command -v xdotool >/dev/null || fail "xdotool is missing"
    # A prefix of its own: the DPI is a setting of the whole prefix.
    export WINEPREFIX="$work/prefix-dpi"
    start_xvfb 1920x1080
    ensure_prefix
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 \
        || fail "cannot set the DPI"
    fresh_session
    local got
    got=$(probe screen | tr -d '\r' | cut -d' ' -f1-3)
    [ "$got" = "$dpi 1920 1080" ] || fail "Wine reports DPI and screen '$got', not '$dpi 1920 1080'"
    run_dir=$(mktemp -d "$work/run.XXXXXX")
    make_program_folder "$run_dir/prog"

    # The window: the design size 1030 x 680 times the scale, centred across the screen and a
    # third of the way down, wholly on the screen, per-monitor DPI-aware.
    start_quorvel "$run_dir/prog"
    local resident=$last_pid
    probe wait "$title_main" 60000 || fail "no main window"
    sleep 2 # laid out and painted
    local left top right bottom cleft ctop cright cbottom aware
    read -r left top right bottom cleft ctop cright cbottom aware < <(probe frame "$title_main" | tr -d '\r')
    [ -n "$aware" ] || fail "cannot read the window's place"
    local width=$((cright - cleft)) height=$((cbottom - ctop))
    local want_width=$((1030 * dpi / 96)) want_height=$((680 * dpi / 96))
    [ "$width" = "$want_width" ] && [ "$height" = "$want_height" ] \
        || fail "client area ${width}x$height, expected ${want_width}x$want_height at $dpi DPI"
    [ "$aware" = 1 ] || fail "the window is not per-monitor DPI-aware"
    [ "$left" -ge 0 ] && [ "$top" -ge 0 ] && [ "$right" -le 1920 ] && [ "$bottom" -le 1080 ] \
        || fail "the window ($left,$top)-($right,$bottom) is not wholly on the 1920 x 1080 screen"
    # The frame's corner, from the client size (as the program reckons it); 1 pixel of rounding
    # where the program reckons in 150 % units.
    local want_left=$(((1920 - width) / 2)) want_top=$(((1080 - height) / 3))
    ((left - want_left <= 1 && want_left - left <= 1 && top - want_top <= 1 && want_top - top <= 1)) \
        || fail "window at $left,$top, expected $want_left,$want_top (centred, upper third)"
    local shot="${WINETEST_SHOTS:-$work}/wine-dpi-$dpi.png"
    if command -v import >/dev/null; then
        mkdir -p "$(dirname "$shot")"
        import -window root "$shot" && note "screenshot: $shot"
    fi
    note "window: client ${width}x$height, frame ($left,$top)-($right,$bottom)"

    # Ctrl+M writes the pointer's place into the editor, Ctrl+E moves the pointer back there.
    # Both places are on the window, which then gets the keys (no window manager: the keyboard
    # follows the pointer), and 1400,800 is beyond 1280 x 720.
    xdotool mousemove 1400 800
    xdotool key ctrl+m
    sleep 1
    xdotool mousemove 1000 500
    xdotool key ctrl+e
    local i where
    for ((i = 0; i < 40; i++)); do
        where=$(xdotool getmouselocation | sed 's/^x:\([0-9]*\) y:\([0-9]*\).*/\1,\2/')
        [ "$where" = 1400,800 ] && break
        sleep 0.25
    done
    [ "$where" = 1400,800 ] || fail "Ctrl+M at 1400,800, then Ctrl+E: the pointer is at $where"
    alive "$resident" || fail "the resident program ended"
    note "Ctrl+M and Ctrl+E: ok"
    fresh_session

    # A pattern beyond 1280 x 720; 截图 of its region (by corners, and from the pointer) gives
    # its pixels, 识别 with that cut finds its centre.
    local pattern="$run_dir/pattern.bmp" log="$run_dir/pattern.log"
    : >"$log"
    wine "$probe" pattern 1400 700 120 90 "$(winpath "$pattern")" >>"$log" 2>/dev/null &
    disown
    wait_first_line "$log" || true
    grep -qx ready "$log" || fail "pattern window: $(cat "$log")"
    local dir
    dir=$(winpath "$run_dir")
    dir=${dir//\\/\\\\} # kept through write_gbk's escapes
    local n=0 name script pointer clip
    # name | script (@D@: the run folder) | pointer afterwards | clipboard afterwards
    while IFS='|' read -r name script pointer clip; do
        [ -z "$name" ] && continue
        n=$((n + 1))
        xdotool mousemove 1700 1000
        write_gbk "$run_dir/case$n.zt" "${script//@D@/"$dir"}"
        start_quorvel "$run_dir/prog" "$(winpath "$run_dir/case$n.zt")"
        wait_exit "$last_pid" 60 || fail "$name: the process did not end by itself"
        where=$(xdotool getmouselocation | sed 's/^x:\([0-9]*\) y:\([0-9]*\).*/\1,\2/')
        [ "$where" = "$pointer" ] || fail "$name: the pointer is at $where, expected $pointer"
        got=$(probe clip) || got="<none>"
        [ "$got" = "$clip" ] || fail "$name: clipboard '$got', expected '$clip'"
        note "$name: ok"
    done <<'EOF'
pointer read and moved|鼠标->(复制)\n鼠标->1500,900\n鼠标->20*-10\n|1520,890|1700,1000
capture and search|鼠标->1400,700\n截图->mxy-119*89=>@D@\\mxy.bmp\n截图->1400,700-1519,789=>@D@\\cut.bmp\n识别->@D@\\cut.bmp(复制)\n识别->@D@\\cut.bmp\n|1460,745|1460,745
EOF
    local cut
    for cut in cut mxy; do
        got=$(probe samebmp "$(winpath "$run_dir/$cut.bmp")" "$(winpath "$pattern")") \
            || fail "截图 ($cut.bmp) does not hold the screen's pixels: $(echo $got | tr -d '\r')"
    done
    note "截图 gives the region's pixels"
}

shift
"case_$case_name" "$@"
