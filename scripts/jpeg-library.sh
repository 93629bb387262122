#!/usr/bin/env bash
# Builds the JPEG library of the Windows build once per checkout:
#   jpeg-library.sh TOOLCHAIN_FILE PREFIX
# Debian packages no mingw-w64 build of libjpeg-turbo, so its source package is
# fetched (a private copy of the apt sources with Types: deb-src, so that the
# system's apt set-up is left as it is) and built static with SIMD (nasm) into
# PREFIX/lib/libjpeg.a and PREFIX/include. PREFIX/stamp names the version
# built; with a matching stamp nothing is done. The version is pinned: a later
# security release in the suite cannot change what is built.
set -euo pipefail
version=1:2.1.5-2
upstream=${version#*:}
upstream=${upstream%-*}

toolchain=$1
prefix=$2
stamp=$prefix/stamp
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "libjpeg-turbo $version" ]; then
  exit 0
fi

for tool in nasm apt-get cmake ninja; do
  command -v "$tool" >/dev/null || {
    echo "jpeg-library: $tool is missing (scripts/setup.sh installs it)" >&2
    exit 1
  }
done

work=$prefix.work
rm -rf "$work" "$prefix"
mkdir -p "$work/apt/sources.list.d" "$work/apt/lists/partial" "$work/apt/cache/archives/partial"
for sources in /etc/apt/sources.list.d/*.sources; do
  [ -f "$sources" ] || continue
  sed 's/^Types:.*$/Types: deb-src/' "$sources" >"$work/apt/sources.list.d/$(basename "$sources")"
done
apt_options=(-o Dir::Etc::SourceList=/dev/null
  -o "Dir::Etc::SourceParts=$work/apt/sources.list.d"
  -o "Dir::State::Lists=$work/apt/lists"
  -o "Dir::Cache=$work/apt/cache"
  -o APT::Sandbox::User=root)

echo "jpeg-library: fetching libjpeg-turbo $version's source package"
apt-get "${apt_options[@]}" -qq update
(cd "$work" && apt-get "${apt_options[@]}" -qq source --download-only "libjpeg-turbo=$version")
tar -xzf "$work/libjpeg-turbo_$upstream.orig.tar.gz" -C "$work"

echo "jpeg-library: building it (static, SIMD) into $prefix"
cmake -S "$work/libjpeg-turbo-$upstream" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DREQUIRE_SIMD=ON >"$work/configure.log" 2>&1 || {
  cat "$work/configure.log" >&2
  exit 1
}
nice cmake --build "$work/build" --target jpeg-static >"$work/build.log" 2>&1 || {
  tail -n 40 "$work/build.log" >&2
  exit 1
}
mkdir -p "$prefix/lib" "$prefix/include"
cp "$work/build/libjpeg.a" "$prefix/lib/"
cp "$work/build/jconfig.h" "$work/libjpeg-turbo-$upstream/jpeglib.h" \
  "$work/libjpeg-turbo-$upstream/jmorecfg.h" "$work/libjpeg-turbo-$upstream/jerror.h" \
  "$prefix/include/"
rm -rf "$work"
echo "libjpeg-turbo $version" >"$stamp"
