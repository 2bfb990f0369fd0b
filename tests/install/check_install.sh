#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs:
# the programs find their libraries through their run path, the help page
# lies where an installed Zorbel looks, the desktop entry and the AppStream
# metainfo pass their validators.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d "$build/install-test.XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
expect() {
  if [ ! -e "$prefix/$1" ]; then
    echo "missing: $1"
    fail=1
  fi
}
# The library folder is lib or, under /usr, lib/<multiarch>.
library=$(find "$prefix/lib" -name libQRVHardDll.so -print -quit)
[ -n "$library" ] || { echo "missing: libQRVHardDll.so"; exit 1; }
libdir=$(dirname "${library#"$prefix"/}")
for f in bin/Zorbel bin/zorbel-cli bin/zorbel-gensim bin/zorbel-scopesim \
         "$libdir/libQRVHardDll.so" "$libdir/libQMKHardDll.so" "$libdir/libQRVLanguageDll.so" \
         "share/zorbel/Language/QDN Source-English.html" lib/udev/rules.d/70-zorbel.rules \
         share/applications/org.zorbel.Zorbel.desktop share/icons/hicolor/scalable/apps/org.zorbel.Zorbel.svg \
         share/metainfo/org.zorbel.Zorbel.metainfo.xml; do
  expect "$f"
done

# The installed programs run on the installed libraries, not the build's.
runpath=$(readelf -d "$prefix/bin/zorbel-cli" | sed -n 's/.*RUNPATH.*\[\(.*\)\]/\1/p')
if [ "$runpath" != "\$ORIGIN/../$libdir" ]; then
  echo "zorbel-cli's run path is '$runpath', not \$ORIGIN/../$libdir"
  fail=1
fi
if ! "$prefix/bin/zorbel-cli" --help >/dev/null; then
  echo "the installed zorbel-cli does not run"
  fail=1
fi

desktop-file-validate "$prefix/share/applications/org.zorbel.Zorbel.desktop" || fail=1
appstreamcli validate --no-net "$prefix/share/metainfo/org.zorbel.Zorbel.metainfo.xml" >/dev/null || {
  appstreamcli validate --no-net "$prefix/share/metainfo/org.zorbel.Zorbel.metainfo.xml"
  fail=1
}
exit $fail
