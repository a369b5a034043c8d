#!/bin/sh
# seeds.sh <source folder> <output folder>
#
# Builds one seed folder per fuzz target (<output>/<target>/) from what the repository already
# holds: the scripts the tests run (string literals of tests/*/*.cpp that contain "->"), the
# examples of the help text, the key-name table, and the small samples in tests/fuzz/seeds/.
# Seeds are only starting points; the fuzzer keeps what it finds in its own work corpus.
set -eu

src=$(cd "${1:?source folder}" && pwd)
out=${2:?output folder}
samples=$src/tests/fuzz/seeds

for target in fuzz_script fuzz_commands fuzz_colouring fuzz_parsers fuzz_imaging fuzz_zip; do
    rm -rf "${out:?}/$target"
    mkdir -p "$out/$target"
done

# put <target>: standard input becomes the target's next seed (numbered by the folder, as
# put runs in a subshell at the end of a pipe).
put() {
    cat >"$out/$1/seed-$(($(ls "$out/$1" | wc -l) + 1))"
}

# --- scripts: the script, command and colouring targets -----------------------------------
scripts=$out/.scripts
rm -rf "$scripts"
mkdir -p "$scripts"
cp "$samples"/scripts/*.zt "$scripts"/

# Every string literal of the tests that holds a script line, unescaped (at most 400).
find "$src/tests" -name '*.cpp' ! -path '*/fuzz/*' -print0 | sort -z | xargs -0 perl -e '
    my $dir = shift @ARGV;
    my (%seen, $n);
    local $/;
    for my $file (@ARGV) {
        open(my $in, "<", $file) or next;
        my $text = <$in>;
        while ($text =~ /"((?:[^"\\\n]|\\.)*->(?:[^"\\\n]|\\.)*)"/g) {
            my $s = $1;
            $s =~ s/\\(["\\nrt])/$1 eq "n" ? "\n" : $1 eq "r" ? "\r" : $1 eq "t" ? "\t" : $1/ge;
            next if $seen{$s}++;
            open(my $out, ">", sprintf("%s/test-%03d.zt", $dir, $n++)) or die;
            print $out $s;
            exit 0 if $n >= 400;
        }
    }' "$scripts"

# The help text's examples: each run of indented lines with an arrow, without the explanation
# after two blanks.
SEEDDIR=$scripts perl -ne '
    BEGIN { $n = 0; $run = "" }
    if (/^ {2,}(\S.*->.*?)(?: {2,}.*)?$/) { $run .= "$1\n"; next }
    if ($run ne "") {
        open(my $out, ">", sprintf("%s/help-%03d.zt", $ENV{SEEDDIR}, $n++)) or die;
        print $out $run;
        $run = "";
    }' "$src/resources/QuorvelExplain.txt"

for target in fuzz_script fuzz_commands fuzz_colouring; do
    cp "$scripts"/* "$out/$target"/
done

# --- fuzz_parsers: the first byte picks the routine ('0' … '5'), \001 separates arguments --
for file in "$samples"/settings*.qcf "$src/resources/Quorvel.qcf"; do
    for key in CtrlM autorun icon newkey ""; do
        { printf '0%s\001%s\001' "$key" " value "; cat "$file"; } | put fuzz_parsers
    done
done
for file in "$samples"/*.csv; do
    for key in 张三 电话 last a e ""; do
        { printf '1%s\001' "$key"; cat "$file"; } | put fuzz_parsers
        { printf '2%s\001%s\001' "新,记录,$key" "$key"; cat "$file"; } | put fuzz_parsers
    done
    { printf '3'; cat "$file"; } | put fuzz_parsers
done
# Regions with the pointer at (10, 20).
while IFS= read -r region; do
    printf '4\012\000\000\000\024\000\000\000%s' "$region" | put fuzz_parsers
done <"$samples/regions.txt"
# Every name of the key table, and a few that are not in it.
{
    perl -ne 'if (/add\(\{([^}]*)\}/) { my $names = $1; print "$1\n" while $names =~ /"([^"]*)"/g }' \
        "$src/engine/keynames.cpp"
    printf 'F1\nF12\na\nZ\n0\nENTER\nctrl+alt\n'
} | while IFS= read -r name; do
    printf '5%s' "$name" | put fuzz_parsers
done

# --- fuzz_imaging: '0' bitmap bytes, '1' recognition, '2' glyph cutting, '3' search --------
for file in "$samples"/bitmaps/*.bmp; do
    { printf '0\000\200'; cat "$file"; } | put fuzz_imaging
    # The same bytes read as parameters and pixels give the other routines varied pictures.
    for routine in 1 2 3; do
        { printf '%s' "$routine"; cat "$file"; } | put fuzz_imaging
    done
done

# --- fuzz_zip: archives as the release target packs them, with CMake's zip writer ----------
zips=$out/.zips
rm -rf "$zips"
mkdir -p "$zips/ZtFiles" "$zips/iconengines"
cp "$samples"/settings.qcf "$zips/Quorvel.qcf"
cp "$samples"/sample.csv "$zips/Quorvel.exe"
: >"$zips/QuorvelExplain.txt"
cp "$samples"/regions.txt "$zips/iconengines/zt.ico"
(cd "$zips" && cmake -E tar cf "$out/fuzz_zip/seed-release.zip" --format=zip -- \
    Quorvel.exe Quorvel.qcf QuorvelExplain.txt ZtFiles iconengines)
(cd "$zips" && cmake -E tar cf "$out/fuzz_zip/seed-one.zip" --format=zip -- Quorvel.qcf)
rm -rf "$zips"

rm -rf "$scripts"
for target in fuzz_script fuzz_commands fuzz_colouring fuzz_parsers fuzz_imaging fuzz_zip; do
    echo "$target: $(ls "$out/$target" | wc -l) seeds"
done
