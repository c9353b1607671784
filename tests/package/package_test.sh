#!/usr/bin/env bash
# usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tallyglass-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

echo "== building the package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
deb=$(ls "$work"/out/tallyglass_*.deb)

echo "== contents (dpkg-deb -c)"
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
for path in ./usr/bin/tallyglass ./usr/bin/tallyglass-cli \
  ./usr/share/applications/tallyglass.desktop \
  ./usr/share/icons/hicolor/scalable/apps/tallyglass.svg \
  ./usr/share/man/man1/tallyglass.1.gz ./usr/share/man/man1/tallyglass-cli.1.gz \
  ./usr/share/bash-completion/completions/tallyglass-cli \
  ./usr/share/doc/tallyglass/copyright ./usr/share/doc/tallyglass/changelog.gz; do
  grep -qx -- "$path" "$work/contents" || fail "the package lacks $path"
done
# Nothing from the build or the tests leaks in.
if grep -Ev '^\./usr/(bin/|bin/tallyglass|bin/tallyglass-cli|share/|share/(applications|icons|man|bash-completion|doc)/.*)?$' \
  "$work/contents"; then
  fail "the package holds files it should not"
fi

echo "== dependencies computed from the binaries"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libxml2; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

echo "== lintian"
# Errors and warnings fail; the remaining informational tags are the
# hardening flags of the build type, which the project sets, not the package.
if ! lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1; then
  cat "$work/lintian.log" >&2
  fail "lintian reports errors or warnings"
fi

echo "== the CLI from the package's files (dpkg -x)"
root=$work/root
dpkg -x "$deb" "$root"
cli=$root/usr/bin/tallyglass-cli
grep -qx "SPDX-License-Identifier: GPL-3.0-or-later" "$root/usr/share/doc/tallyglass/copyright" ||
  fail "the copyright file does not name the licence"
"$cli" --help | grep -q detect || fail "tallyglass-cli --help does not list detect"
"$cli" render "$source/samples/sample-journal.xml" --from 130 --to 130 >"$work/tape.txt" ||
  fail "tallyglass-cli render from the package failed"
[[ -s $work/tape.txt ]] || fail "tallyglass-cli render printed nothing"
echo plain >"$work/plain"
status=0
"$cli" detect --ports "$work/plain" >/dev/null 2>"$work/detect.err" || status=$?
[[ $status -eq 1 ]] || fail "detect over a plain file: exit $status, expected 1"
grep -q "пропущен" "$work/detect.err" || fail "detect did not say it skipped the plain file"
if ldd "$root/usr/bin/tallyglass" "$cli" | grep -q "not found"; then
  fail "a library of the packaged programs is missing"
fi
for page in tallyglass tallyglass-cli; do
  zcat "$root/usr/share/man/man1/$page.1.gz" | head -1 | grep -q '^\.TH' || fail "$page.1.gz is no manual page"
done
bash -n "$root/usr/share/bash-completion/completions/tallyglass-cli" || fail "the bash completion does not parse"
command -v desktop-file-validate >/dev/null || fail "desktop-file-validate is missing: run scripts/install-deps"
desktop-file-validate "$root/usr/share/applications/tallyglass.desktop" || fail "the .desktop file is invalid"

echo "== install into a prefix (make install PREFIX=...)"
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 || {
  cat "$work/install.log" >&2
  fail "cmake --install with PREFIX failed"
}
for path in bin/tallyglass-cli bin/tallyglass share/applications/tallyglass.desktop \
  share/man/man1/tallyglass-cli.1.gz share/bash-completion/completions/tallyglass-cli; do
  [[ -e $work/prefix/$path ]] || fail "PREFIX install lacks $path"
done

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all package checks passed"
