#!/bin/sh
# Demo installer of the password control, run by the assistant in its sandbox: puts the control
# file where a 32-bit installer puts it (System32, which is SysWOW64 on 64-bit Windows),
# registers it with regsvr32 and leaves an uninstaller in the program folder.
set -eu
: "${NESTORA_ROOT:?run by the assistant}" "${NESTORA_WIN:?run by the assistant}"

drive_c="$NESTORA_ROOT/drive_c"
if "$NESTORA_WIN" profile | grep -Eq '"processorArchitecture": (9|6),'; then
    system_dir="$drive_c/Windows/SysWOW64"
    program_dir="$drive_c/Program Files (x86)"
else
    system_dir="$drive_c/Windows/System32"
    program_dir="$drive_c/Program Files"
fi

mkdir -p "$system_dir/Qiventa/Lockfern" "$program_dir/Qiventa/Lockfern"
cat > "$system_dir/Qiventa/Lockfern/LockfernCtrl.dll" <<'CONTROL'
NESTORA-CONTROL 1
machine=x86
version=1.0.0.1
clsid={3A2C8BC3-5B68-4AE5-81D6-6DC378708F3E}
progid=Qiventa.Lockfern.1
name=Lockfern Password Control
CONTROL
"$NESTORA_WIN" regsvr32 /s 'C:\Windows\System32\Qiventa\Lockfern\LockfernCtrl.dll'

cat > "$program_dir/Qiventa/Lockfern/uninstall.sh" <<'UNINSTALL'
#!/bin/sh
# Demo uninstaller of the password control: unregisters the control and removes its files. The
# removal of the program folder is left to a child that outlives this script, as uninstallers
# that copy themselves elsewhere do.
set -u
"$NESTORA_WIN" regsvr32 /u /s 'C:\Windows\System32\Qiventa\Lockfern\LockfernCtrl.dll'
"$NESTORA_WIN" cmd /c rd /s /q 'C:\Windows\System32\Qiventa\Lockfern'
folder=$(dirname "$0")
(sleep 1; rm -rf "$folder") &
UNINSTALL
chmod +x "$program_dir/Qiventa/Lockfern/uninstall.sh"
