# What the install and package checks share, sourced by both: their two arguments, a scratch folder
# removed at the end, the failure count, and the files every installation of Dravik holds.
# usage: source check-common.sh NAME BUILD_DIR WITH_GUI(0|1)   (NAME names the scratch folder)
set -uo pipefail
build=$2
with_gui=$3
scratch=$(mktemp -d "${TMPDIR:-/tmp}/dravik-$1.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The installed files, below the prefix /usr.
icon_sizes=(16 24 32 48 64 128 256)
installed_files=(bin/dravik-cli bin/dxu-sim lib/udev/rules.d/60-dravik.rules
    share/bash-completion/completions/dravik-cli
    share/man/man1/dravik.1.gz share/man/man1/dravik-cli.1.gz share/man/man1/dxu-sim.1.gz)
if [ "$with_gui" = 1 ]; then
    installed_files+=(bin/dravik share/applications/dravik.desktop share/icons/hicolor/scalable/apps/dravik.svg)
    for size in "${icon_sizes[@]}"; do
        installed_files+=("share/icons/hicolor/${size}x${size}/apps/dravik.png")
    done
fi

# Ends the check: the failure count, or the line that says what was checked.
finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "$1"
}
