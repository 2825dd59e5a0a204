#!/usr/bin/env bash
# Builds the Debian package with CPack in a scratch folder and checks its contents and dependencies.
# usage: check-package.sh BUILD_DIR WITH_GUI(0|1)
source "$(dirname "$0")/check-common.sh" package "$@"

if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    echo "FAIL: cpack" >&2
    exit 1
fi
debs=("$scratch"/dravik_*.deb)
[ -f "${debs[0]}" ] || {
    echo "FAIL: cpack made no dravik_*.deb" >&2
    exit 1
}
deb=${debs[0]}
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')

for file in "${installed_files[@]}"; do
    grep -qxF "./usr/$file" <<<"$contents" || fail "the package lacks $file"
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

finish "package $(basename "$deb"): ${#installed_files[@]} files checked, Depends: $depends"
