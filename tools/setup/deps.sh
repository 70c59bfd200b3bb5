#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian machine and builds the third-party libraries that
# Debian does not ship for mingw-w64. Built libraries are cached outside the repo, keyed by the
# source package version, so a second run skips them.
#   deps.sh base        apt packages for building and testing
#   deps.sh bench       also the benchmark packages
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUORIN_CACHE=${QUORIN_CACHE:-/var/cache/quorin-sdk}
JOBS=${JOBS:-2}
log() { printf '[deps] %s\n' "$*" >&2; }

apt_updated=0
apt_install_list() {
    local missing=() pkg
    for pkg in $(grep -hv '^\s*#' "$@" | tr -s ' \n' '\n' | sort -u); do
        [ -n "$pkg" ] || continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    if [ $apt_updated -eq 0 ]; then apt-get update -qq; apt_updated=1; fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# A private deb-src list, so the machine's apt sources stay untouched.
apt_src() {
    local dir=$QUORIN_CACHE/apt
    mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial"
    cat > "$dir/sources.list" <<SRC
deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian bookworm-updates main
deb-src http://deb.debian.org/debian-security bookworm-security main
SRC
    echo -o Dir::Etc::SourceList="$dir/sources.list" -o Dir::Etc::SourceParts=/dev/null \
         -o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir/cache" \
         -o APT::Sandbox::User=root
}

src_updated=0
# fetch_source PACKAGE -> prints the unpacked source directory
fetch_source() {
    local pkg=$1 opts ver dir
    opts=$(apt_src)
    if [ $src_updated -eq 0 ] && [ ! -s "$QUORIN_CACHE/apt/updated" ]; then
        # shellcheck disable=SC2086
        apt-get $opts update -qq >&2
        date > "$QUORIN_CACHE/apt/updated"
    fi
    src_updated=1
    # The newest version first; a mirror may list a source it no longer serves, so fall back.
    local versions
    # shellcheck disable=SC2086
    versions=$(apt-cache $opts showsrc "$pkg" | awk '/^Version:/ {print $2}' | sort -Vru)
    [ -n "$versions" ] || { log "no source version for $pkg"; return 1; }
    for ver in $versions; do
        dir=$QUORIN_CACHE/src/$pkg-$ver
        [ -d "$dir/unpacked" ] && break
        [ -f "$dir.unavailable" ] && continue
        rm -rf "$dir"; mkdir -p "$dir"
        # shellcheck disable=SC2086
        if (cd "$dir" && apt-get $opts source -qq "$pkg=$ver" >&2); then
            local sub
            sub=$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -1)
            mv "$sub" "$dir/unpacked"
            break
        fi
        log "source $pkg=$ver not available, trying an older one"
        rm -rf "$dir"; touch "$dir.unavailable"
    done
    [ -d "$dir/unpacked" ] || { log "no source of $pkg could be fetched"; return 1; }
    echo "$pkg-$ver" "$dir/unpacked"
}

MINGW_PREFIX=$QUORIN_CACHE/mingw
export QUORIN_MINGW_PREFIX=$MINGW_PREFIX
NATIVE_PREFIX=$QUORIN_CACHE/native
STAMPS=$QUORIN_CACHE/stamps
TOOLCHAIN=$(cd "$here/../../cmake" && pwd)/toolchain-mingw64.cmake

built() { [ -f "$STAMPS/$1" ]; }
mark() { mkdir -p "$STAMPS"; date > "$STAMPS/$1"; }

build_cmake() { # name srcdir builddir extra-args...
    local name=$1 src=$2 bdir=$3; shift 3
    rm -rf "$bdir"; mkdir -p "$(dirname "$bdir")"
    cmake -S "$src" -B "$bdir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >"$bdir.log" 2>&1 ||
        { tail -40 "$bdir.log"; return 1; }
    cmake --build "$bdir" -j"$JOBS" >>"$bdir.log" 2>&1 || { tail -40 "$bdir.log"; return 1; }
    cmake --install "$bdir" >>"$bdir.log" 2>&1 || { tail -40 "$bdir.log"; return 1; }
}

mingw_args() {
    echo -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$MINGW_PREFIX" -DBUILD_SHARED_LIBS=OFF
}

build_libjpeg() {
    local id src; read -r id src < <(fetch_source libjpeg-turbo)
    if ! built "mingw-$id"; then
        log "building $id for mingw"
        # shellcheck disable=SC2046
        build_cmake "$id" "$src" "$QUORIN_CACHE/build/mingw-$id" $(mingw_args) \
            -DWITH_JPEG8=ON -DWITH_SIMD=ON -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
            -DCMAKE_SYSTEM_PROCESSOR=AMD64 -DCMAKE_ASM_NASM_COMPILER=nasm
        mark "mingw-$id"
    fi
    if ! built "native-$id"; then
        log "building $id natively"
        build_cmake "$id" "$src" "$QUORIN_CACHE/build/native-$id" \
            -DCMAKE_INSTALL_PREFIX="$NATIVE_PREFIX" -DCMAKE_INSTALL_LIBDIR="$NATIVE_PREFIX/lib" \
            -DWITH_JPEG8=ON -DWITH_SIMD=ON -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
            -DCMAKE_POSITION_INDEPENDENT_CODE=ON
        mark "native-$id"
    fi
}

build_libpng() {
    local id src; read -r id src < <(fetch_source libpng1.6)
    built "mingw-$id" && return 0
    log "building $id for mingw"
    # shellcheck disable=SC2046
    build_cmake "$id" "$src" "$QUORIN_CACHE/build/mingw-$id" $(mingw_args) \
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_BUILD_ZLIB=OFF \
        -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
        -DSKIP_INSTALL_PROGRAMS=ON -Dld-version-script=OFF
    mark "mingw-$id"
}

build_libtiff() {
    local id src; read -r id src < <(fetch_source tiff)
    built "mingw-$id" && return 0
    log "building $id for mingw"
    # Only the core codec set: uncompressed strips are all we write; no external codecs to drag in.
    # shellcheck disable=SC2046
    build_cmake "$id" "$src" "$QUORIN_CACHE/build/mingw-$id" $(mingw_args) \
        -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dtiff-deprecated=OFF \
        -Djpeg=OFF -Dold-jpeg=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dlibdeflate=OFF \
        -Dzlib=ON -Dpixarlog=OFF -Dcxx=OFF \
        -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include
    mark "mingw-$id"
}

build_gtest() {
    local ver id
    ver=$(dpkg-query -W -f='${Version}' googletest)
    id=googletest-$ver
    built "mingw-$id" && return 0
    log "building $id for mingw"
    # shellcheck disable=SC2046
    build_cmake "$id" /usr/src/googletest "$QUORIN_CACHE/build/mingw-$id" $(mingw_args) \
        -Dgtest_disable_pthreads=OFF -DINSTALL_GTEST=ON -DBUILD_GMOCK=ON
    mark "mingw-$id"
}

# The dialog tests run one Wine process under the Japanese system locale; glibc must know it.
ensure_locales() {
    local loc
    for loc in ja_JP.UTF-8; do
        locale -a 2>/dev/null | grep -qix "${loc/UTF-8/utf8}" && continue
        log "generating the locale $loc"
        localedef -i "${loc%%.*}" -c -f UTF-8 -A /usr/share/locale/locale.alias "$loc"
    done
}

main() {
    local what=${1:-base}
    apt_install_list "$here/packages-base.txt" "$here/packages-test.txt"
    ensure_locales
    [ "$what" = bench ] && apt_install_list "$here/packages-bench.txt"
    mkdir -p "$QUORIN_CACHE"
    build_gtest
    build_libjpeg
    build_libpng
    build_libtiff
}
main "$@"
