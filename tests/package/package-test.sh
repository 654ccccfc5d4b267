#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks it as Debian's tools
# do, unpacks it and runs its programs from there.
#
#   tests/package/package-test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: package-test.sh BUILD_FOLDER}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; exit 1; }
deb=$(echo "$work"/out/*.deb)
root=$work/root
dpkg-deb -x "$deb" "$root"

# Run as root, lintian says so on standard error; its tags go to standard output.
lintian --pedantic --fail-on error,warning "$deb" 2> /dev/null || fail "lintian"

# The dependencies are those of the libraries linked, found by dpkg-shlibdeps.
depends=$(dpkg-deb --field "$deb" Depends)
for library in libc6 libqt6core6 libqt6widgets6; do
    [[ $depends == *"$library "* ]] || fail "Depends lacks $library: $depends"
done

share=$root/usr/share
units=$root/usr/lib/systemd/user
for file in usr/lib/systemd/user/vantrel.service usr/lib/systemd/user/vantrel-predict.service \
            usr/lib/systemd/user/vantrel-predict.timer usr/share/doc/vantrel/copyright \
            usr/share/doc/vantrel/changelog.Debian.gz \
            usr/share/icons/hicolor/scalable/apps/org.vantrel.Vantrel.svg \
            usr/share/icons/hicolor/48x48/apps/org.vantrel.Vantrel.png; do
    [ -f "$root/$file" ] || fail "missing $file"
done
desktop-file-validate "$share/applications/org.vantrel.Vantrel.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$share/metainfo/org.vantrel.Vantrel.metainfo.xml" > "$work/appstream.log" ||
    { cat "$work/appstream.log"; fail "metainfo"; }
grep -qx "ExecStart=/usr/bin/vantrel --headless" "$units/vantrel.service" ||
    fail "the unit does not start /usr/bin/vantrel --headless"
grep -qx "ExecStart=/usr/bin/vantrel-predict --quiet" "$units/vantrel-predict.service" ||
    fail "the predictor's unit does not start /usr/bin/vantrel-predict --quiet"
for setting in OnCalendar=daily OnBootSec=5min Persistent=true WantedBy=timers.target; do
    grep -qx "$setting" "$units/vantrel-predict.timer" || fail "the timer lacks $setting"
done

version=$(dpkg-deb --field "$deb" Version)
for program in vantrel vantrel-check vantrel-predict pcr1000-sim; do
    binary=$root/usr/bin/$program
    shown=$("$binary" --version) || fail "$program --version exits $?"
    [ "$shown" = "$program ${version%-*}" ] || fail "$program --version says '$shown', the package is $version"
    help=$("$binary" --help) || fail "$program --help exits $?"
    [[ $(head -1 <<< "$help") == "Usage: $program "* ]] || fail "$program --help begins: $(head -1 <<< "$help")"
    [[ $help == *"Exit status:"* ]] || fail "$program --help tells no exit status"
    page=$(zcat "$share/man/man1/$program.1.gz" | MANWIDTH=80 man --local-file - 2> "$work/man.log") ||
        fail "man $program"
    [ ! -s "$work/man.log" ] || { cat "$work/man.log"; fail "man $program warns"; }
    for section in NAME SYNOPSIS OPTIONS "EXIT STATUS" FILES EXAMPLES; do
        grep -q "^$section" <<< "$page" || fail "$program(1) has no $section"
    done
done

[ "$failures" -eq 0 ] && echo "$deb: lintian-clean, its programs run from the unpacked package"
exit $((failures > 0))
