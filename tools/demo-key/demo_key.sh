# Sourced by run.sh: the demo's USB key, so the page's USB-key tab has a key to show.
#
# prepare_demo_key BUILD STATE
#   copies the program into STATE/program with the stand-in Haitai library beside it (the
#   makers' libraries are loaded from the program's folder; build/bin itself stays without one,
#   so the tests that run it see no library), plugs a Haitai key into a USB tree of its own
#   (STATE/usb) and installs the demo Haitai driver in the sandbox $NESTORA_ROOT, as the page's
#   install button would. The demo configuration gives the Haitai driver to the first key
#   type of the guide ("飞天一代Key"). Exports NESTORA_USB_ROOT and NESTORA_KEY_LIBRARY_SETTINGS
#   and sets DEMO_PROGRAM to the program to run.

demo_key_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# A sysfs device folder: vendor, product and class, and a port count for hubs.
write_usb_device() {
  local folder=$1 vendor=$2 product=$3 class=$4
  mkdir -p "$folder"
  printf '%s\n' "$vendor" > "$folder/idVendor"
  printf '%s\n' "$product" > "$folder/idProduct"
  printf '%s\n' "$class" > "$folder/bDeviceClass"
}

plug_demo_usb_tree() {
  local usb=$1
  rm -rf "$usb"
  write_usb_device "$usb/usb1" 1d6b 0002 09
  printf '2\n' > "$usb/usb1/maxchild"
  write_usb_device "$usb/1-1" 5448 a001 00
}

prepare_demo_key() {
  local build=$1 state=$2
  local program_dir="$state/program"
  rm -rf "$program_dir"
  mkdir -p "$program_dir"
  cp "$build/bin/nestora" "$program_dir/nestora"
  ln -s "$(cd "$build/bin" && pwd)/nestora-win" "$program_dir/nestora-win"
  cp "$build/bin/usbkey-testlibs/full/SorvelWizard.dll" "$program_dir/"
  plug_demo_usb_tree "$state/usb"
  NESTORA_WIN="$build/bin/nestora-win" \
    sh "$demo_key_dir/../bank-server/site/download/haitai_setup.sh" >/dev/null
  export NESTORA_USB_ROOT="$state/usb"
  export NESTORA_KEY_LIBRARY_SETTINGS="$demo_key_dir/haitai-key.json"
  DEMO_PROGRAM="$program_dir/nestora"
}
