#!/bin/sh
# Demo installer of the Haitai USB-key driver, run by the assistant in its sandbox: puts the
# maker's library where the configuration looks for it and leaves an uninstaller beside it.
set -eu
: "${NESTORA_ROOT:?run by the assistant}" "${NESTORA_WIN:?run by the assistant}"

drive_c="$NESTORA_ROOT/drive_c"
if "$NESTORA_WIN" profile | grep -Eq '"processorArchitecture": (9|6),'; then
    program_dir="$drive_c/Program Files (x86)/Haitai"
else
    program_dir="$drive_c/Program Files/Haitai"
fi
mkdir -p "$program_dir"
printf 'demo library of the %s\n' "Haitai USB-key driver" > "$program_dir/SorvelWizard.dll"
cat > "$program_dir/uninstall.sh" <<'UNINSTALL'
#!/bin/sh
# Demo uninstaller: removes the driver's folder.
rm -rf "$(dirname "$0")"
UNINSTALL
chmod +x "$program_dir/uninstall.sh"
