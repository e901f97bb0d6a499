#!/usr/bin/env bash
# Installs the Debian packages Tavlo needs to build, run and test, and only
# those that are missing. Quiet when everything is there already.
set -euo pipefail

# zlib1g-dev: tavlo-render's PNG; libxml2-utils (xmllint) and locales (localedef):
# the render tests.
packages=(g++ make cmake qt6-base-dev zlib1g-dev fonts-dejavu-core fonts-liberation libxml2-utils
    locales "$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
