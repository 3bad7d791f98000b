#!/usr/bin/env bash
# Installs what the build and the tests need and is not there yet: Debian packages, then the
# npm packages pinned in package-lock.json. Quiet when everything is in place.
set -euo pipefail
cd "$(dirname "$0")/.."

APT_PACKAGES=(
  build-essential cmake pkg-config python3 openssl curl
  libcurl4-openssl-dev libssl-dev libsqlite3-dev libre2-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev
  libwebkit2gtk-4.1-dev fonts-wqy-zenhei xvfb x11-utils xdotool imagemagick
  chromium clang nodejs npm
)

missing=()
for package in "${APT_PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    # nodejs and npm may come from elsewhere than Debian; a working command is enough.
    case "$package" in
      nodejs) command -v node >/dev/null && continue ;;
      npm) command -v npm >/dev/null && continue ;;
    esac
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "install-deps: installing ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# npm ci only when the lock file changed since the last install.
stamp=node_modules/.nestora-lock-stamp
if [ ! -f "$stamp" ] || ! cmp -s package-lock.json "$stamp"; then
  echo "install-deps: installing npm packages"
  npm ci --no-audit --no-fund --loglevel=error >/dev/null
  cp package-lock.json "$stamp"
fi
