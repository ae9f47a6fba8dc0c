#!/usr/bin/env bash
# Makes the .deb with scripts/package.sh and checks its name, control fields,
# files, programs and their release flags. Usage: check_package.sh BUILD_DIR VERSION APP_ID
# The tested build in BUILD_DIR is packaged when it was configured as the package is
# built (scripts/test.sh's is); otherwise a Release build of its own in BUILD_DIR/package.
set -euo pipefail
tested="$1" version="$2" id="$3"
root="$(cd "$(dirname "$0")/../.." && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }

source "$root/scripts/release_flags.sh"
build="$tested"
release_build_is "$tested" || build="$tested/package"
out="$tested/package/out"
rm -rf "$out"
mkdir -p "$out"
TEXTORIN_PACKAGE_BUILD_DIR="$build" "$root/scripts/package.sh" "$out" >"$out/../package.log" 2>&1 ||
  { cat "$out/../package.log" >&2; fail "scripts/package.sh"; }
deb="$out/textorin_${version}_$(dpkg --print-architecture).deb"
[[ -f $deb ]] || fail "no $deb"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == textorin ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version)"
depends="$(field Depends)"
for needed in chromium-headless-shell libqt6core6 libqt6widgets6 libc6; do
  grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
[[ -n $(field Maintainer) && -n $(field Description) && $(field Section) == web ]] || fail "control fields"

listing="$(dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }')"
for path in \
  "./usr/bin/textorin -> ../lib/textorin/textorin" \
  "./usr/bin/textorin-batch -> ../lib/textorin/textorin-batch" \
  ./usr/lib/textorin/textorin ./usr/lib/textorin/textorin-batch ./usr/lib/textorin/HAND-M.CUR \
  ./usr/share/man/man1/textorin.1.gz ./usr/share/man/man1/textorin-batch.1.gz \
  "./usr/share/applications/$id.desktop" "./usr/share/metainfo/$id.metainfo.xml" \
  ./usr/share/icons/hicolor/48x48/apps/textorin.png ./usr/share/icons/hicolor/256x256/apps/textorin.png \
  ./usr/share/bash-completion/completions/textorin-batch \
  ./usr/share/doc/textorin/copyright ./usr/share/doc/textorin/changelog.gz; do
  grep -qxF "$path" <<<"$listing" || fail "missing $path"
done
! grep -q '^\./usr/local\|^\./build' <<<"$listing" || fail "stray paths"

unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
for program in textorin textorin-batch; do
  binary="$unpacked/usr/lib/textorin/$program"
  ! readelf -S "$binary" | grep -Eq '\.(symtab|debug_info)' || fail "$program is not stripped"
  # Debian's hardening: position-independent, read-only relocations bound at start and
  # the stack protector.
  elf="$(readelf -hldW --dyn-syms "$binary")"
  grep -Eq 'Type: +DYN' <<<"$elf" || fail "$program is not position-independent"
  grep -q GNU_RELRO <<<"$elf" || fail "$program lacks RELRO"
  grep -Eq 'FLAGS.*\bNOW\b' <<<"$elf" || fail "$program does not bind now"
  grep -q __stack_chk_fail <<<"$elf" || fail "$program lacks the stack protector"
  [[ $("$unpacked/usr/bin/$program" --version) == "$program $version" ]] || fail "$program --version"
done
grep -qx 'License: Apache-2.0' "$unpacked/usr/share/doc/textorin/copyright" || fail "copyright"
[[ $(zcat "$unpacked/usr/share/doc/textorin/changelog.gz" | head -1) == "textorin ($version) "* ]] ||
  fail "changelog"

# cmake --install lists every file and link it makes, so the manifest removes them all.
staged="$unpacked/staged"
DESTDIR="$staged" cmake --install "$build" --prefix /usr/local >/dev/null || fail "cmake --install"
unlisted="$(comm -23 <(find "$staged" ! -type d -printf '/%P\n' | sort) <(sort "$build/install_manifest.txt"))"
[[ -z $unlisted ]] || fail "not in install_manifest.txt: $unlisted"
echo "ok: $deb"
