#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when some are missing.
# Needs root (as CI runs); otherwise it only names what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  python3-pyftpdlib vsftpd
  curl lftp
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Fehlende Pakete (bitte als root installieren): ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# The tests start their own FTP servers on 127.0.0.1; the packaged vsftpd service must not
# start on port 21.
policy=/usr/sbin/policy-rc.d
made_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' >"$policy" && chmod +x "$policy" && made_policy=1
fi
trap '[ "$made_policy" = 1 ] && rm -f "$policy"' EXIT
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
