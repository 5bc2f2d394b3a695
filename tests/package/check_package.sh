#!/bin/bash
# Checks a built Debian package: the files it holds and nothing else, dependencies read off the
# programs, the desktop entry and the AppStream metainfo by their validators, the manual pages
# rendered without a warning, the completion's syntax, and both programs started from it.
#   tests/package/check_package.sh build/vistrel_VERSION_ARCH.deb
set -euo pipefail
deb=${1:?usage: $0 PACKAGE.deb}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "check_package: $*" >&2
    exit 1
}

expected=(
    /usr/bin/vistrel
    /usr/bin/vistrel-cli
    /usr/share/applications/vistrel.desktop
    /usr/share/metainfo/io.github.vistrel.vistrel.metainfo.xml
    /usr/share/mime/packages/vistrel.xml
    /usr/share/icons/hicolor/scalable/apps/vistrel.svg
    /usr/share/man/man1/vistrel.1.gz
    /usr/share/man/man1/vistrel-cli.1.gz
    /usr/share/bash-completion/completions/vistrel
    /usr/share/bash-completion/completions/vistrel-cli
)
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|' | grep -v '/$' | sort >"$work/files"
diff -u <(printf '%s\n' "${expected[@]}" | sort) "$work/files" ||
    fail "the package's files differ from the list above (- missing, + not expected)"

version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6; do
    [[ ", $depends," == *", $lib "[\(,]* ]] || fail "Depends lacks $lib: $depends"
done

dpkg-deb -x "$deb" "$work/root"
root=$work/root/usr
# Hints count too: the validator prints nothing for an entry it has nothing to say about.
out=$(desktop-file-validate "$root/share/applications/vistrel.desktop" 2>&1) &&
    [ -z "$out" ] || fail "desktop-file-validate: $out"
appstreamcli validate --no-net --pedantic \
    "$root/share/metainfo/io.github.vistrel.vistrel.metainfo.xml" >"$work/appstream" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/appstream")"
grep -q "application/x-vistrel-snapshot" "$root/share/mime/packages/vistrel.xml" ||
    fail "no snapshot file type"

for page in vistrel vistrel-cli; do
    file=$root/share/man/man1/$page.1.gz
    zcat "$file" | head -1 | grep -q "\"Vistrel $version\"" || fail "$page.1: not version $version"
    # As Debian's lintian reads a manual page: every groff warning is a fault.
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
    lines=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null | wc -l)
    [ "$lines" -gt 50 ] || fail "$page.1 renders to $lines lines"
done

for c in vistrel vistrel-cli; do
    bash -n "$root/share/bash-completion/completions/$c" || fail "completion $c: syntax"
done

[ "$("$root/bin/vistrel-cli" --version)" = "vistrel-cli $version" ] ||
    fail "vistrel-cli --version is not $version"
"$root/bin/vistrel-cli" snapshot "$root/share" -o "$work/share.dir"
"$root/bin/vistrel-cli" list "$work/share.dir" --json | grep -q '"name":"vistrel.desktop"' ||
    fail "vistrel-cli from the package cannot list what it installs"
# The desktop program keeps running until it is ended.
status=0
XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data QT_QPA_PLATFORM=offscreen \
    timeout 5 "$root/bin/vistrel" "$work/share.dir" || status=$?
[ "$status" -eq 124 ] || fail "vistrel ended with status $status before it was closed"
echo "check_package: $deb holds what it should"
