#!/usr/bin/env bash
# Runs what a user runs after installing Zorbel: the installed programs start
# on the installed libraries alone (no LD_LIBRARY_PATH, nothing of the build
# tree), the manual pages render, the desktop entry starts the program and it
# and the AppStream metainfo pass their validators.
# Usage: check_install.sh BUILD_DIR        install the build into a temporary prefix
#        check_install.sh --root DIR       check DIR/usr, an unpacked Debian package
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$1" = --root ]; then
  prefix=$2/usr
  build=
else
  build=$(cd "$1" && pwd)
  prefix=$work/prefix
  cmake --install "$build" --prefix "$prefix" >/dev/null
fi

fail=0
problem() {
  echo "check_install: $*"
  fail=1
}

library=$(find "$prefix/lib" -name libQRVHardDll.so -print -quit)
[ -n "$library" ] || { problem "libQRVHardDll.so is not installed"; exit 1; }
libdir=$(dirname "${library#"$prefix"/}")
[ "$(basename "$libdir")" = zorbel ] || problem "the libraries lie in $libdir, not a private zorbel folder"
for f in bin/Zorbel bin/zorbel-cli bin/zorbel-gensim bin/zorbel-scopesim \
         "$libdir/libQRVHardDll.so" "$libdir/libQMKHardDll.so" "$libdir/libQRVLanguageDll.so" \
         "$libdir/libQRVDisplayDll.so" "share/zorbel/Language/QDN Source-English.html" \
         share/applications/org.zorbel.Zorbel.desktop share/icons/hicolor/scalable/apps/org.zorbel.Zorbel.svg \
         share/metainfo/org.zorbel.Zorbel.metainfo.xml share/bash-completion/completions/zorbel-cli \
         share/doc/zorbel/copyright share/doc/zorbel/changelog.gz; do
  [ -e "$prefix/$f" ] || problem "missing: $f"
done
[ -e "$prefix/lib/udev/rules.d/70-zorbel.rules" ] || [ -e "$prefix/../lib/udev/rules.d/70-zorbel.rules" ] ||
  problem "missing: the udev rule"

# The Python module, when built: beside its type stub in Debian's folder of Python 3 modules.
module=$(find "$prefix/lib" -name 'zorbel.cpython-*.so' -print -quit)
if [ -n "$module" ]; then
  [ "$(dirname "${module#"$prefix"/}")" = lib/python3/dist-packages ] || problem "the Python module lies in $(dirname "$module")"
  [ -e "$(dirname "$module")/zorbel.pyi" ] || problem "missing: the Python module's zorbel.pyi"
fi

# Every library a program, library or module needs resolves, and none from the build tree.
for f in "$prefix"/bin/* "$prefix/$libdir"/*.so $module; do
  deps=$(env -u LD_LIBRARY_PATH ldd "$f")
  if grep -q 'not found' <<<"$deps"; then problem "$(basename "$f"): $(grep 'not found' <<<"$deps" | tr -s ' \t' ' ')"; fi
  if [ -n "$build" ] && grep -qF "$build" <<<"$deps"; then problem "$(basename "$f") loads from the build tree"; fi
done

# A user's session of its own: profile, lock files and temporary files in $work.
run() {
  env -u LD_LIBRARY_PATH -u QRV_USB_DEVICE -u QMK_SCOPE_DEVICE HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    XDG_RUNTIME_DIR="$work/run" TMPDIR="$work/tmp" QRV_LAN_ADDRESS=127.0.0.1 QT_QPA_PLATFORM=offscreen \
    PATH="$prefix/bin:/usr/bin:/bin" "$@"
}
mkdir -p "$work/home" "$work/run" "$work/tmp"
chmod 700 "$work/run"

# The desktop entry's command starts the program, and it stays up until ended.
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/org.zorbel.Zorbel.desktop" | sed 's/ *%[fFuU]//g')
status=0
run timeout 4 $exec_line >"$work/zorbel.log" 2>&1 || status=$?
[ $status -eq 124 ] || problem "'$exec_line' from the desktop entry ended with status $status: $(head -c 400 "$work/zorbel.log")"

run zorbel-cli show >"$work/show.txt" 2>&1 || problem "zorbel-cli show failed: $(head -c 400 "$work/show.txt")"
grep -q '^\[Channel_1\]' "$work/show.txt" || problem "zorbel-cli show printed no defaults"
run zorbel-gensim --help >/dev/null 2>&1 || problem "zorbel-gensim --help failed"
if [ -n "$module" ]; then
  run env PYTHONPATH="$(dirname "$module")" /usr/bin/python3 -c 'import zorbel; zorbel.Setup()' >"$work/python.txt" 2>&1 ||
    problem "import zorbel failed: $(head -c 400 "$work/python.txt")"
fi
run zorbel-scopesim --help >/dev/null 2>&1 || problem "zorbel-scopesim --help failed"

for program in Zorbel zorbel-cli zorbel-gensim zorbel-scopesim; do
  page=$prefix/share/man/man1/$program.1.gz
  if [ ! -e "$page" ]; then
    problem "missing: the manual page of $program"
    continue
  fi
  text=$(MANWIDTH=80 MAN_DISABLE_SECCOMP=1 man -l "$page" 2>&1) || problem "man -l $program.1.gz failed: $text"
  grep -q "^NAME" <<<"$text" || problem "the manual page of $program has no NAME section"
done
cli_page=$(MANWIDTH=80 MAN_DISABLE_SECCOMP=1 man -l "$prefix/share/man/man1/zorbel-cli.1.gz" 2>/dev/null || true)
for heading in SYNOPSIS OPTIONS " *Exit status:" EXAMPLES; do
  grep -q "^$heading" <<<"$cli_page" || problem "the manual page of zorbel-cli has no '$heading'"
done

desktop-file-validate "$prefix/share/applications/org.zorbel.Zorbel.desktop" || fail=1
appstreamcli validate --no-net "$prefix/share/metainfo/org.zorbel.Zorbel.metainfo.xml" >"$work/appstream.txt" 2>&1 || {
  cat "$work/appstream.txt"
  fail=1
}
exit $fail
