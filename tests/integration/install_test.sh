#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the build into a temporary prefix and runs what was installed:
# both programs, from another folder, on the sample level; the manual pages
# render without a warning; the README, licence and changelog are in place;
# the programs load the C library as a shared library. Then makes the Debian
# package of the same files, reads its control fields and contents, reads a
# manual page from it, and has Debian's package checker, lintian, pass it
# without an error or a warning.
#
#   install_test.sh CMAKE CPACK BUILD_FOLDER SOURCE_FOLDER VERSION
set -euo pipefail
cmake=$1 cpack=$2 build=$3 source=$4 version=$5

fail() {
  echo "install test: $*" >&2
  exit 1
}

prefix=$(mktemp -d)
work=$(mktemp -d)
package=$(mktemp -d)
trap 'rm -rf "$prefix" "$work" "$package"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for file in bin/vortane bin/vortane-check share/man/man1/vortane.1.gz share/man/man1/vortane-check.1.gz \
            share/doc/vortane/README.md share/doc/vortane/copyright share/doc/vortane/changelog.gz \
            share/vortane/vortane.cfg; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/vortane" ] && [ -x "$prefix/bin/vortane-check" ] || fail "the programs are not executable"
cmp -s "$prefix/share/doc/vortane/README.md" "$source/README.md" || fail "the installed README differs"
cmp -s "$prefix/share/doc/vortane/copyright" "$source/packaging/copyright" || fail "the installed copyright differs"
cmp -s "$prefix/share/vortane/vortane.cfg" "$source/editors/vortane.cfg" || fail "the installed UDB configuration differs"
changelog=$(zcat "$prefix/share/doc/vortane/changelog.gz")
[[ "$changelog" == "vortane ($version) "* ]] ||
  fail "the changelog does not start with version $version"
for program in vortane vortane-check; do
  # Debian policy: the C library is shared (the C++ runtime may be linked in).
  # Held whole: grep -q must not cut a pipe short.
  loaded=$(ldd "$prefix/bin/$program")
  grep -q "libc\.so\.6 => " <<<"$loaded" || fail "$program does not load the shared C library"
  kind=$(file -L "$prefix/bin/$program")
  grep -q "pie executable" <<<"$kind" || fail "$program is not position-independent: $kind"
done

for page in vortane vortane-check; do
  file=$prefix/share/man/man1/$page.1.gz
  source_text=$(zcat "$file")
  warnings=$(groff -man -Tutf8 -ww -z <<<"$source_text" 2>&1)
  [ -z "$warnings" ] || fail "$page.1: $warnings"
  grep -q "^\.TH .* \"vortane $version\"" <<<"$source_text" || fail "$page.1 does not carry version $version"
  text=$(MANWIDTH=80 man -l "$file" 2>&1)  # held whole: grep -q must not cut a pipe short
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" "SEE ALSO"; do
    grep -q "^$section" <<<"$text" || fail "$page.1 shows no $section section"
  done
done

cd "$work"
cp "$source/samples/sample.wad" in.wad
status=0
"$prefix/bin/vortane" in.wad out.wad MAP01 -8 - L >/dev/null </dev/null || status=$?
[ "$status" = 0 ] || fail "the installed vortane exited with $status"
grep -q "^Saved .*out.wad" VORTANE.LOG || fail "VORTANE.LOG has no saved line: $(cat VORTANE.LOG)"
out=$("$prefix/bin/vortane-check" out.wad) || fail "the installed vortane-check finds problems: $out"
[[ "$out" =~ ^MAP01:\ sound\ \([0-9]+\ segs ]] || fail "unexpected report: $out"
[ "$("$prefix/bin/vortane-check" --version)" = "vortane-check $version" ] || fail "wrong version line"
echo "install test: installed into $prefix, built and checked the sample: $out"

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$package" >/dev/null
deb=$package/vortane_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "cpack made no $deb"
# The dependencies come from the shared libraries the programs name, each
# by the package that holds it. Programs linked statically name none.
depends=$(dpkg-deb -f "$deb" Depends)
libraries=$(ldd "$prefix/bin/vortane" "$prefix/bin/vortane-check" 2>/dev/null | awk '$2 == "=>" {print $3}' | sort -u || true)
# A library is registered under /lib or /usr/lib, whichever its package
# names (the two are one folder on a merged system).
for library in $libraries; do
  owner=
  for path in "$library" "/usr${library#/usr}" "${library#/usr}"; do
    [ -n "$owner" ] || owner=$(dpkg -S "$path" 2>/dev/null | head -n 1 | cut -d: -f1 || true)
  done
  [ -n "$owner" ] || fail "no package holds $library"
  tr ',' '\n' <<<"$depends" | awk '{print $1}' | grep -qx -- "$owner" ||
    fail "the package does not depend on $owner ($library): $depends"
done
[ "$(dpkg-deb -f "$deb" Package Version Section | tr '\n' ' ')" = "Package: vortane Version: $version Section: utils " ] ||
  fail "wrong control fields: $(dpkg-deb -f "$deb" Package Version Section)"
description=$(dpkg-deb -f "$deb" Description)
grep -q "vortane-check reads any WAD" <<<"$description" || fail "the description is incomplete: $description"
contents=$(dpkg-deb -c "$deb")
for file in usr/bin/vortane usr/bin/vortane-check usr/share/man/man1/vortane.1.gz usr/share/man/man1/vortane-check.1.gz \
            usr/share/doc/vortane/README.md usr/share/doc/vortane/copyright usr/share/doc/vortane/changelog.gz \
            usr/share/vortane/vortane.cfg; do
  grep -q " \./$file\$" <<<"$contents" || fail "the package does not hold /$file"
done
maintainer=$(dpkg-deb -f "$deb" Maintainer)
[[ "$maintainer" =~ ^vortane\ \<[^@\>]+@[^\>]+\>$ && "$maintainer" != *.invalid\> ]] ||
  fail "the maintainer field is not the project's: $maintainer"
dpkg-deb -x "$deb" "$package/root"
text=$(MANWIDTH=80 man -l "$package/root/usr/share/man/man1/vortane.1.gz" 2>&1)
grep -q "^SYNOPSIS" <<<"$text" || fail "the packaged manual page does not render: $text"
# Every tag of level error or warning fails; the informational ones do not.
findings=$(lintian --fail-on error,warning "$deb" 2>&1) ||
  fail "lintian rejects the package: $findings"
if grep -qE '^[EW]: ' <<<"$findings"; then fail "lintian reports: $findings"; fi
echo "install test: $(basename "$deb") depends on ${depends:-nothing}"
