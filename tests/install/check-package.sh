#!/usr/bin/env bash
# Builds the Debian package with CPack in a scratch folder and checks its contents and dependencies.
# usage: check-package.sh BUILD_DIR WITH_GUI(0|1)
set -uo pipefail
build=$1
with_gui=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/dravik-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack" >&2
    exit 1
fi
debs=("$work"/dravik_*.deb)
[ -f "${debs[0]}" ] || {
    echo "FAIL: cpack made no dravik_*.deb" >&2
    exit 1
}
deb=${debs[0]}
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')

expected=(./usr/bin/dravik-cli ./usr/bin/dxu-sim ./usr/lib/udev/rules.d/60-dravik.rules
    ./usr/share/bash-completion/completions/dravik-cli ./usr/share/man/man1/dravik.1.gz
    ./usr/share/man/man1/dravik-cli.1.gz ./usr/share/man/man1/dxu-sim.1.gz)
if [ "$with_gui" = 1 ]; then
    expected+=(./usr/bin/dravik ./usr/share/applications/dravik.desktop
        ./usr/share/icons/hicolor/scalable/apps/dravik.svg ./usr/share/icons/hicolor/48x48/apps/dravik.png)
fi
for file in "${expected[@]}"; do
    grep -qxF "$file" <<<"$contents" || fail "the package lacks $file"
done
# Nothing of the build tree or the tests goes into the package.
unexpected=$(grep -vE '^\./usr/(bin/(dravik|dravik-cli|dxu-sim)|lib/udev/|share/(applications|icons|man|bash-completion|doc)/|bin/$|lib/$|share/$)|^\./(usr/)?$' <<<"$contents")
[ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libudev1; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
if [ "$with_gui" = 1 ]; then
    grep -q libqt6widgets6 <<<"$depends" || fail "Depends lacks libqt6widgets6: $depends"
fi
[ "$(dpkg-deb -f "$deb" Package)" = dravik ] || fail "package name"
dpkg-deb -I "$deb" postinst >/dev/null || fail "the package has no postinst to apply the udev rule"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package $(basename "$deb"): ${#expected[@]} files checked, Depends: $depends"
