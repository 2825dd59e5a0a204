#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks that every installed file is there and usable.
# usage: check-install.sh BUILD_DIR WITH_GUI(0|1)
source "$(dirname "$0")/check-common.sh" install "$@"

if ! DESTDIR=$scratch cmake --install "$build" --prefix /usr >"$scratch.log" 2>&1; then
    cat "$scratch.log" >&2
    rm -f "$scratch.log"
    echo "FAIL: cmake --install" >&2
    exit 1
fi
rm -f "$scratch.log"
root=$scratch/usr

for file in "${installed_files[@]}"; do
    [ -f "$root/$file" ] || fail "missing $file"
done
for program in dravik-cli dxu-sim; do
    [ -x "$root/bin/$program" ] || fail "$program is not executable"
done
"$root/bin/dravik-cli" --version | grep -q "Version" || fail "installed dravik-cli --version"

# The rule gives the seat's user and the dialout group the controller's hidraw node.
rule=$root/lib/udev/rules.d/60-dravik.rules
grep -Eq '^SUBSYSTEM=="hidraw".*ATTRS\{idVendor\}=="10c4".*ATTRS\{idProduct\}=="8468".*GROUP="dialout".*TAG\+="uaccess"' \
    "$rule" || fail "udev rule does not match the controller's hidraw node with uaccess and a group"

for page in dravik dravik-cli dxu-sim; do
    warnings=$(zcat "$root/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$page.1: $warnings"
done
# The manual explains every exit code of dravik-cli --help in the same words.
manual=$(zcat "$root/share/man/man1/dravik-cli.1.gz")
codes=0
while read -r code meaning; do
    codes=$((codes + 1))
    grep -A1 -x "\.B $code" <<<"$manual" | tail -n 1 | grep -qxF "$meaning" ||
        fail "dravik-cli.1 does not explain exit code $code as --help does: $meaning"
done < <("$root/bin/dravik-cli" --help | sed -n '/^EXIT CODES/,$p' | tail -n +2)
[ "$codes" -ge 14 ] || fail "dravik-cli --help lists $codes exit codes"
# Every command of --help has its entry in the manual and in the completion.
while read -r command; do
    grep -q "^\.B[IR]\? $command\b" <<<"$manual" || fail "dravik-cli.1 lacks the command $command"
    grep -q "\b$command\b" "$root/share/bash-completion/completions/dravik-cli" ||
        fail "the completion lacks the command $command"
done < <("$root/bin/dravik-cli" --help | sed -n '/^COMMANDS/,/^EXIT CODES/p' | grep -E '^  [a-z]' | awk '{print $1}')

# Every option of dxu-sim --help is in its manual.
sim_manual=$(zcat "$root/share/man/man1/dxu-sim.1.gz" | sed 's/\\-/-/g')
while read -r option; do
    grep -qe "$option" <<<"$sim_manual" || fail "dxu-sim.1 lacks $option"
done < <("$root/bin/dxu-sim" --help 2>&1 | grep -oE '^ +(-[a-zA-Z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+')

# Completion: commands, options and erase areas.
complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _dravik_cli
             printf "%s\n" "${COMPREPLY[@]}"' _ "$root/share/bash-completion/completions/dravik-cli" "$@"
}
[ "$(complete_words dravik-cli er)" = erase ] || fail "completion of a command"
[ "$(complete_words dravik-cli --us)" = --usb ] || fail "completion of an option"
[ "$(complete_words dravik-cli --port COM1 erase ap)" = application ] || fail "completion of an erase area"
complete_words dravik-cli --port CO | grep -qx COM9 || fail "completion of a port name"

if [ "$with_gui" = 1 ]; then
    desktop-file-validate "$root/share/applications/dravik.desktop" || fail "desktop-file-validate"
    grep -qx 'Exec=dravik %f' "$root/share/applications/dravik.desktop" || fail "desktop entry runs dravik"
    for size in "${icon_sizes[@]}"; do
        png=$root/share/icons/hicolor/${size}x${size}/apps/dravik.png
        [ -f "$png" ] || continue
        # PNG signature, then the IHDR width and height as big-endian words.
        read -r -a header <<<"$(od -An -tu1 -N24 -w24 "$png")"
        [ "${header[1]}${header[2]}${header[3]}" = 807871 ] || fail "$png is not a PNG"
        width=$(((header[16] << 24) | (header[17] << 16) | (header[18] << 8) | header[19]))
        height=$(((header[20] << 24) | (header[21] << 16) | (header[22] << 8) | header[23]))
        [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "$png is ${width}x${height}"
    done
    grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/dravik.svg" || fail "dravik.svg is not SVG"
fi

finish "install tree complete: ${#installed_files[@]} files"
