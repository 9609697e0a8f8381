#!/usr/bin/env bash
# Checks an installed tree: the links in bin/, the run-time search paths, that
# every library the programs need is found inside the tree or the system, and
# the desktop files.
# usage: check_layout.sh PREFIX BUILD_DIR APP_ID
set -uo pipefail
prefix=$1 build=$2 app_id=$3
pkgdir=$prefix/lib/linkmeter
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for p in linkmeter linkmeter-cli linkmeter-sim; do
  link=$prefix/bin/$p
  [ -L "$link" ] || { fail "bin/$p is not a link"; continue; }
  target=$(readlink "$link")
  [ "$target" = "../lib/linkmeter/$p" ] || fail "bin/$p points at $target"
  [ -x "$pkgdir/$p" ] || fail "lib/linkmeter/$p missing or not executable"
done
[ -d "$pkgdir/res" ] && [ -f "$pkgdir/res/linkmeter.appres" ] || fail "lib/linkmeter/res/linkmeter.appres not reachable"
[ "$(readlink "$pkgdir/res")" = "../../share/linkmeter/res" ] || fail "lib/linkmeter/res is not the link to share/linkmeter/res"
[ -f "$pkgdir/webext/linkmeter-webext.so" ] || fail "the page-process extension is missing"
for lib in libvcomm.so libvcomm_usbbus.so libnetseek.so linkmeter-teamsync.so; do
  [ -f "$pkgdir/lib/$lib" ] || fail "lib/linkmeter/lib/$lib missing"
  [ -x "$pkgdir/lib/$lib" ] && fail "lib/linkmeter/lib/$lib is executable"
done

# Search paths relative to the file itself, nothing from the build tree, and
# every needed library resolved, ours from inside the tree.
while IFS= read -r -d '' f; do
  file -b "$f" | grep -q '^ELF' || continue
  rel=${f#"$prefix"/}
  paths=$(readelf -d "$f" | sed -n 's/.*(\(RPATH\|RUNPATH\)).*\[\(.*\)\]/\2/p')
  case "$paths" in
    '$ORIGIN' | '$ORIGIN/lib' | '$ORIGIN/../lib') ;;
    *) fail "$rel has search path '$paths'" ;;
  esac
  deps=$(env -u LD_LIBRARY_PATH ldd "$f" 2>&1)
  if grep -q 'not found' <<<"$deps"; then fail "$rel: $(grep 'not found' <<<"$deps" | tr -s ' \t' ' ')"; fi
  while read -r name _ path _; do
    path=$(realpath -m "$path")
    case "$name" in
      libvcomm.so | libvcomm_usbbus.so | libnetseek.so)
        [ "$path" = "$pkgdir/lib/$name" ] || fail "$rel loads $name from $path" ;;
    esac
    case "$path" in
      "$prefix"/*) ;;
      "$build"/*) fail "$rel loads $path from the build tree" ;;
    esac
  done < <(grep ' => /' <<<"$deps")
done < <(find "$pkgdir" -type f -print0)

for f in "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" \
         "share/icons/hicolor/scalable/apps/$app_id.svg" "share/icons/hicolor/48x48/apps/$app_id.png" \
         share/man/man1/linkmeter.1.gz share/man/man1/linkmeter-cli.1.gz share/man/man1/linkmeter-sim.1.gz \
         share/doc/linkmeter/copyright share/doc/linkmeter/changelog.gz; do
  [ -f "$prefix/$f" ] || fail "$f missing"
done
file -b "$prefix/share/icons/hicolor/48x48/apps/$app_id.png" | grep -q '48 x 48' || fail "the PNG icon is not 48x48"

[ "$failures" -eq 0 ] && echo "layout ok" || exit 1
