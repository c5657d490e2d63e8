#!/bin/sh
# Runs squid as a caching proxy for a test: on 127.0.0.1:PROXY_PORT, in front of the loopback service on
# SERVICE_PORT as its origin, with its configuration, logs and pid file in FOLDER. Stops squid by its
# process id once the file FOLDER/stop appears (or after five minutes, should the test never ask), then
# removes FOLDER: its disappearance tells the test that squid has ended.
# Usage: caching_proxy.sh FOLDER PROXY_PORT SERVICE_PORT
set -u
folder=$1
port=$2
service=$3
PATH=$PATH:/usr/sbin:/sbin

mkdir -p "$folder" || exit 1
# squid drops to its own user, which writes the logs and the pid file.
chmod 777 "$folder"
# No cache_dir: squid then caches in memory only.
cat >"$folder/squid.conf" <<CONF
http_port 127.0.0.1:$port
cache_peer 127.0.0.1 parent $service 0 no-query no-digest originserver name=origin
cache_peer_access origin allow all
never_direct allow all
http_access allow all
cache_mem 8 MB
digest_generation off
shutdown_lifetime 0 seconds
access_log $folder/access.log
cache_log $folder/cache.log
pid_filename $folder/squid.pid
coredump_dir $folder
CONF

if command -v squid >/dev/null 2>&1; then
  squid -N -f "$folder/squid.conf" </dev/null >"$folder/squid.out" 2>&1 &
  pid=$!
else
  echo "squid is not installed (tools/setup.sh installs it)" >"$folder/failed"
  pid=
fi

i=0
while [ ! -e "$folder/stop" ] && [ $i -lt 3000 ]; do
  sleep 0.1
  i=$((i + 1))
done
if [ -n "$pid" ]; then
  kill "$pid" 2>/dev/null
  wait "$pid"
fi
rm -rf "$folder"
