#!/bin/sh
# Demo installer of the Feitian USB-key driver, run by the assistant in its sandbox: puts the
# maker's library where the configuration looks for it and leaves an uninstaller beside it.
set -eu
: "${NESTORA_ROOT:?run by the assistant}" "${NESTORA_WIN:?run by the assistant}"

drive_c="$NESTORA_ROOT/drive_c"
# A 64-bit driver: its folder is the 64-bit program folder on either kind of Windows.
program_dir="$drive_c/Program Files/Feitian"
mkdir -p "$program_dir"
printf 'demo library of the %s\n' "Feitian USB-key driver" > "$program_dir/FtBank.dll"
cat > "$program_dir/uninstall.sh" <<'UNINSTALL'
#!/bin/sh
# Demo uninstaller: removes the driver's folder.
rm -rf "$(dirname "$0")"
UNINSTALL
chmod +x "$program_dir/uninstall.sh"
"$NESTORA_WIN" reg add 'HKLM\SOFTWARE\Feitian\FtBank' /v Version /t REG_SZ /d 2.1.0.0 /f >/dev/null
