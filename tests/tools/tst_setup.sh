#!/bin/sh
# The README's two commands on a fresh Debian machine: the install script works as root without
# sudo (a fresh root machine often has none) and as a user through sudo; the project looks for
# nothing in fixed folders of one machine. apt-get and sudo are stand-ins that only record.
# Usage: tst_setup.sh <source folder>
set -u
src=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir "$work/bin"
for tool in apt-get sudo; do
    cat > "$work/bin/$tool" <<STUB
#!/bin/sh
echo "$tool \$*" >> "$work/calls"
exit 0
STUB
    chmod 755 "$work/bin/$tool"
done
: > "$work/calls"
chmod 666 "$work/calls"

# As root: apt-get itself, never sudo.
if [ "$(id -u)" -eq 0 ]; then
    : > "$work/calls"
    PATH="$work/bin:$PATH" sh "$src/tools/install-deps.sh" > "$work/out" 2>&1 || fail "as root: $(cat "$work/out")"
    grep -q '^apt-get install' "$work/calls" || fail "as root: no apt-get install"
    grep -q '^sudo' "$work/calls" && fail "as root: sudo was called"

    # As a user: the script asks sudo to run itself.
    if command -v setpriv > /dev/null; then
        : > "$work/calls"
        PATH="$work/bin:$PATH" setpriv --reuid 65534 --regid 65534 --clear-groups \
            sh "$src/tools/install-deps.sh" > "$work/out" 2>&1 || fail "as a user: $(cat "$work/out")"
        grep -q "^sudo sh $src/tools/install-deps.sh" "$work/calls" || fail "as a user: not through sudo: $(cat "$work/calls")"
        grep -q '^apt-get' "$work/calls" && fail "as a user: apt-get without sudo"
    else
        echo "SKIP: no setpriv to run as a user"
    fi
else
    : > "$work/calls"
    PATH="$work/bin:$PATH" sh "$src/tools/install-deps.sh" > "$work/out" 2>&1 || fail "as a user: $(cat "$work/out")"
    grep -q "^sudo sh " "$work/calls" || fail "as a user: not through sudo"
fi

# The README's commands start with the install script itself, not with sudo.
commands=$(grep -E '^    .*tools/install-deps\.sh' "$src/README.md")
[ "$(printf '%s\n' "$commands" | grep -c .)" -ge 2 ] || fail "README: the two commands are missing"
printf '%s\n' "$commands" | grep -qE '^ *sudo ' && fail "README: a command starts with sudo"

# CI and the build look beside the project or where a variable says, never in a machine's folder.
if grep -n '/work/' "$src/.ci/run" "$src/CMakeLists.txt" "$src"/cmake/*.cmake "$src"/tools/*.sh; then
    fail "a fixed absolute folder is named"
fi

[ "$failures" -eq 0 ] && echo "PASS" || exit 1
