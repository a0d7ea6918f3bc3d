#!/usr/bin/env bash
# A ready demo: builds quillmar-cli, starts a small FTP server on 127.0.0.1 over a demo site,
# writes a profile "Demo" and lets Quillmar compare and synchronise the local and the remote
# tree. Everything lives in a temporary directory that is removed at the end.
set -euo pipefail
cd "$(dirname "$0")"
repo=$PWD

scripts/install-deps.sh
cmake -S . -B build-demo -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMAR_TESTS=OFF \
  -DQUILLMAR_BENCH=OFF >/dev/null
cmake --build build-demo --target quillmar-cli >/dev/null
cli=$repo/build-demo/src/cli/quillmar-cli

demo=$(mktemp -d /tmp/quillmar-demo.XXXXXX)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$demo"
}
trap cleanup EXIT

# The local site: the master copy.
mkdir -p "$demo/local/css" "$demo/local/img" "$demo/local/_entwurf" "$demo/remote/img"
echo "<h1>Willkommen</h1> (neu)" >"$demo/local/index.html"
echo "body { font-family: sans-serif }" >"$demo/local/css/style.css"
echo "Logo" >"$demo/local/img/logo.txt"
echo "nicht veröffentlichen" >"$demo/local/_entwurf/plan.html"
echo "Sicherung" >"$demo/local/index.bak"
# The server: an old index page, the same logo, and a page that exists only there.
echo "<h1>Willkommen</h1>" >"$demo/remote/index.html"
touch -d '2 days ago' "$demo/remote/index.html"
cp -p "$demo/local/img/logo.txt" "$demo/remote/img/logo.txt"
touch -d '1 hour ago' "$demo/local/img/logo.txt" "$demo/remote/img/logo.txt"
echo "<p>Neuigkeiten vom Server</p>" >"$demo/remote/news.html"

ports=$demo/port
/usr/bin/python3 "$repo/tests/support/pyftpd_server.py" "$demo/remote" demo geheim \
  >"$ports" 2>"$demo/server.log" &
server_pid=$!
for _ in $(seq 100); do [ -s "$ports" ] && break; sleep 0.1; done
port=$(head -n 1 "$ports")

# The profile, as the desktop program would store it (the password hex-encoded).
mkdir -p "$demo/config"
cat >"$demo/config/Quillmar.ini" <<INI
[*Profile* Demo]
FTP Server=127.0.0.1:$port
PASV Mode=1
LIST Type=NOP
User Name=demo
Password=67656865696D
Local Root=$demo/local/
Remote Root=/
Delete Remote=0
Lowercase=0
Ignore Hidden Dirs=1
Ignore Dirs=
Ignore Extensions=.bak
Ignore Dir Start=_
Test Filename=timeslip.txt
List Test File Only=1
INI
chmod 600 "$demo/config/Quillmar.ini"

run() {
  echo
  echo "\$ quillmar-cli $*"
  "$cli" --config-dir "$demo/config" "$@" 2>"$demo/protocol.log" || true
}
run profiles
run compare Demo
run sync Demo
echo
echo "Protokoll des Abgleichs (Auszug):"
grep -E '^\.' "$demo/protocol.log" | head -n 12 | sed 's/^/  /'
run compare Demo
echo
echo "Lokaler Baum danach:"
(cd "$demo/local" && find . -type f | sort | sed 's/^/  /')
