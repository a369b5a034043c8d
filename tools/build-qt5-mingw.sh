#!/usr/bin/env bash
# Builds the static Qt 5 for 64-bit Windows that the cross build of Quorvel.exe uses: Debian's
# qtbase source with Debian's patches, cross-compiled with Debian's MinGW-w64 (posix threads).
# About 30 minutes on 2 cores. Run as root on Debian 12.
#
#   tools/build-qt5-mingw.sh [--prefix DIR] [--work DIR] [--archive FILE.tar.xz] [--jobs N]
#
#   --prefix   where Qt is installed (default /opt/qt5-mingw). Qt's own tools remember this
#              path; the toolchain file cmake/mingw64-qt5.cmake looks for Qt there.
#   --work     where the source is fetched and built (default /opt/src)
#   --archive  also pack the installed prefix into this archive, laid out like the prebuilt
#              one (tar -C /opt -xJf FILE restores /opt/qt5-mingw)
#   --jobs     parallel make jobs (default: number of processors)
#
# CI does not run this: it unpacks a prebuilt archive of the same build.
set -euo pipefail

prefix=/opt/qt5-mingw
work=/opt/src
archive=
jobs=$(nproc)
while [ $# -gt 0 ]; do
    case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --archive) archive=$(realpath -m "$2"); shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 64 ;;
    esac
done

qt_version=5.15.8
src_dir=qtbase-everywhere-src-$qt_version

export DEBIAN_FRONTEND=noninteractive
apt-get install -y --no-install-recommends \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools \
    dpkg-dev xz-utils make perl python3 patch

# apt-get source needs the source archive in the package lists.
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\n' \
        >/etc/apt/sources.list.d/debian-src.sources
    apt-get update
fi

mkdir -p "$work"
cd "$work"
apt-get source --download-only qtbase-opensource-src
orig=$(ls qtbase-opensource-src_${qt_version}+dfsg.orig.tar.xz)
debian=$(ls qtbase-opensource-src_${qt_version}+dfsg-*.debian.tar.xz | sort -V | tail -n 1)
rm -rf "$src_dir"
tar xf "$orig"
tar xf "$debian" -C "$src_dir"
# Debian's patches, in the order of their series file.
(
    cd "$src_dir"
    while read -r patch _; do
        case "$patch" in '' | \#*) continue ;; esac
        patch -p1 --forward --quiet <"debian/patches/$patch"
    done <debian/patches/series
)

# Qt's configure calls the cross tools by their plain names; point those at the posix-thread
# variants (std::thread and std::mutex need them).
tools_dir=$work/mingw-posix-bin
mkdir -p "$tools_dir"
for t in c++ cpp g++ gcc gcc-ar gcc-nm gcc-ranlib; do
    ln -sf "/usr/bin/x86_64-w64-mingw32-$t-posix" "$tools_dir/x86_64-w64-mingw32-$t"
done
export PATH=$tools_dir:$PATH

rm -rf build-qt5-mingw
mkdir build-qt5-mingw
cd build-qt5-mingw
# Static Qt and static runtime, so Quorvel.exe needs only Windows' own DLLs. The dfsg source
# lacks wintab, iaccessible2 and sqlite: tablet events and SQL stay off.
"../$src_dir/configure" \
    -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- \
    -prefix "$prefix" -static -static-runtime -release \
    -opensource -confirm-license -nomake examples -nomake tests \
    -no-opengl -no-dbus -no-icu -no-pkg-config -no-openssl -no-vulkan \
    -qt-zlib -qt-libpng -qt-pcre -qt-freetype -qt-harfbuzz -qt-doubleconversion \
    -no-libjpeg -no-feature-sql -no-feature-printer -no-feature-tabletevent
nice -n 10 make -j"$jobs"
make install

if [ -n "$archive" ]; then
    tar -C "$(dirname "$prefix")" -cJf "$archive" "$(basename "$prefix")"
    echo "packed $prefix into $archive"
fi
echo "Qt $qt_version for MinGW-w64 is in $prefix"
