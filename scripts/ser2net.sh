#!/usr/bin/env bash
# The tool's network ports against real device servers, on loopback only:
# ser2net (RFC 2217 and raw TCP, plain and inside TLS), socat's TLS in front
# of ser2net for client certificates, and sredird as a second, independent
# RFC 2217 server. Behind each server sits a simulated module
# (kvr7314-cli sim) on a pseudo-terminal, one per connection, so that its
# frame listing shows what reached it. Every case prints one "ok:" line.
#   scripts/ser2net.sh [BUILD [CASE...]]   (default build/, every case)
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=${1:-$KVR_ROOT/build}
tool=$build/cli/kvr7314-cli
example=$KVR_ROOT/examples/flex.kvr

had_ser2net=0
dpkg-query -W -f='${Status}' ser2net 2>/dev/null | grep -q "install ok installed" && had_ser2net=1
kvr_install_packages ser2net sredird socat openssl python3-prometheus-client
# Debian's package starts a ser2net of its own on /etc/ser2net.yaml. This
# stage starts its own servers and needs none; one that the install just
# started is stopped and kept from coming back. A ser2net that was there
# before is someone's, and left alone.
if [ "$had_ser2net" = 0 ]; then
  if [ -d /run/systemd/system ]; then
    kvr_as_root systemctl disable --now ser2net >/dev/null 2>&1 || true
  elif [ -x /etc/init.d/ser2net ]; then
    kvr_as_root /etc/init.d/ser2net stop >/dev/null 2>&1 || true
    kvr_as_root update-rc.d ser2net disable >/dev/null 2>&1 || true
  fi
fi
export PATH=$PATH:/usr/sbin

scratch=$(mktemp -d)
pids=()
cut_ns=
cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ -n "$cut_ns" ]; then
    kvr_as_root ip link del "$cut_ns-h" 2>/dev/null || true
    kvr_as_root ip netns del "$cut_ns" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
unset KVR7314_TLS_CA KVR7314_TLS_CERT KVR7314_TLS_KEY
# Every run of the tool keeps its log and backups here, never in the
# record of the user who runs the tests.
export KVR7314_DATA_DIR=$scratch/data

# fail MESSAGE [FILE...]: the message, the files, the server's log; exit 1.
fail() {
  echo "FAILED: $1"
  shift
  local f
  for f in "$@" "${server_log:-}"; do
    [ -n "$f" ] && [ -f "$f" ] && { echo "-- $f:"; cat "$f"; }
  done
  exit 1
}

# free_ports N: N loopback ports nothing listens on, held together while
# they are chosen so that no two are the same.
free_ports() {
  python3 - "$1" <<'EOF'
import socket, sys
held = []
for _ in range(int(sys.argv[1])):
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    held.append(s)
print(" ".join(str(s.getsockname()[1]) for s in held))
EOF
}

# wait_port PORT: until something listens on PORT (v4 or v6). Looking at
# the kernel's table instead of connecting keeps ser2net from counting a
# probe as its one client.
wait_port() {
  local hex
  hex=$(printf ':%04X' "$1")
  for _ in $(seq 50); do
    grep -q "^ *[0-9]*: [0-9A-F]*$hex [0-9A-F]*:[0-9A-F]* 0A " /proc/net/tcp /proc/net/tcp6 && return 0
    sleep 0.1
  done
  fail "nothing listens on port $1"
}

# start_sim NAME [OPTION...]: a simulated module; its device in $dev, what
# it took in $scratch/NAME.sim.
start_sim() {
  kvr_start_sim "$tool" "$scratch/$1.sim" "${@:2}" || fail "the simulated module $1 did not start" "$scratch/$1.sim-err"
}

# frames NAME: how many frames the module NAME has taken.
frames() {
  grep -cE '^ *[0-9]+\.[0-9]+ s +\(' "$scratch/$1.sim" || true
}

# start_ser2net NAME CONNECTIONS: a ser2net of our own in the foreground on
# that YAML; its pid in $ser2net_pid, its messages in $server_log (the log
# fail shows).
start_ser2net() {
  printf '%%YAML 1.1\n---\n%s\n' "$2" >"$scratch/$1.yaml"
  server_log=$scratch/$1.ser2net.log
  ser2net -n -d -c "$scratch/$1.yaml" >"$server_log" 2>&1 &
  ser2net_pid=$!
  pids+=("$ser2net_pid")
}

# connection NAME ACCEPTER DEVICE LINE: one entry of a ser2net configuration.
connection() {
  printf 'connection: &%s\n  accepter: %s\n  connector: serialdev(nouucplock=true),%s,%s,local\n' \
    "$1" "$2" "$3" "$4"
}

# line DEV [SPEED DATA PARITY STOP]: prints the pty's line as "19200 8N1";
# sets it first when given.
line() {
  python3 - "$@" <<'EOF'
import os, sys, termios
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
a = termios.tcgetattr(fd)
sizes = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}
if len(sys.argv) > 2:
    speed, data, parity, stop = sys.argv[2:6]
    a[4] = a[5] = getattr(termios, "B" + speed)
    a[2] &= ~(termios.CSIZE | termios.PARENB | termios.PARODD | termios.CSTOPB)
    a[2] |= {v: k for k, v in sizes.items()}[int(data)]
    a[2] |= {"N": 0, "E": termios.PARENB, "O": termios.PARENB | termios.PARODD}[parity]
    a[2] |= termios.CSTOPB if stop == "2" else 0
    termios.tcsetattr(fd, termios.TCSANOW, a)
speeds = {termios.B9600: "9600", termios.B19200: "19200"}
c = a[2]
parity = "N" if not c & termios.PARENB else ("O" if c & termios.PARODD else "E")
print(f"{speeds.get(a[5], a[5])} {sizes[c & termios.CSIZE]}{parity}{2 if c & termios.CSTOPB else 1}")
os.close(fd)
EOF
}

# run NAME ARGS...: the tool, with its output in $scratch/NAME.out, its
# exit code in $rc and its seconds in $took.
run() {
  local name=$1 start=$EPOCHREALTIME
  shift
  rc=0
  timeout 60 "$tool" "$@" >"$scratch/$name.out" 2>&1 || rc=$?
  took=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
}

# expect RC NAME WHAT: the last run ended with RC, else the script fails.
expect() {
  [ "$rc" = "$1" ] || fail "$3: exit code $rc, expected $1" "$scratch/$2.out"
}

# same_as_example NAME FILE: FILE holds flex.kvr's values as a module holds
# them after a write (its timers in four digits).
same_as_example() {
  "$tool" diff --as-module "$example" "$2" >"$scratch/$1.diff" 2>&1 ||
    fail "$2 read back differs from $example" "$scratch/$1.diff"
}

# write_watching_line NAME DEV ARGS...: write --verify, reading the pty's
# line into $line_seen once the first frame has reached the module NAME.
# ser2net and sredird put back the line they found when their client
# leaves, so the line the tool set shows only while it is connected.
write_watching_line() {
  local name=$1 device=$2 wpid before
  shift 2
  before=$(frames "$name")
  "$tool" write "$example" --verify "$@" >"$scratch/$name.out" 2>&1 &
  wpid=$!
  pids+=("$wpid")
  line_seen=
  for _ in $(seq 60); do
    if [ "$(frames "$name")" -gt "$before" ]; then line_seen=$(line "$device"); break; fi
    kill -0 "$wpid" 2>/dev/null || break
    sleep 0.1
  done
  rc=0
  wait "$wpid" || rc=$?
}

cd "$scratch"
# The test network of the silent cut: addresses that exist only inside
# this machine.
cut_client=10.231.7.1
cut_server=10.231.7.2
read -r p_rfc p_tcp p_tcp6 p_tls p_behind p_tls_client p_sredird p_norfc p_busy p_kill p_closed p_window \
  p_silent p_flood p_full <<<"$(free_ports 15)"

# A test authority, a server certificate for localhost and 127.0.0.1, a
# client certificate, all signed by it; and an unrelated authority.
make_certificates() {
  local name
  for name in ca other-ca; do
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=kvr7314 test $name" \
      -keyout "$name.key" -out "$name.pem" 2>/dev/null
  done
  printf 'subjectAltName=DNS:localhost,IP:127.0.0.1,IP:%s\nextendedKeyUsage=serverAuth\n' "$cut_server" >srv.ext
  printf 'extendedKeyUsage=clientAuth\n' >client.ext
  for name in srv client; do
    openssl req -newkey rsa:2048 -nodes -subj "/CN=kvr7314 test $name" \
      -keyout "$name.key" -out "$name.csr" 2>/dev/null
    openssl x509 -req -in "$name.csr" -CA ca.pem -CAkey ca.key -set_serial "0x$(openssl rand -hex 8)" \
      -days 2 -extfile "$name.ext" -out "$name.pem" 2>/dev/null
  done
}
make_certificates

# One ser2net for every case but the one that kills it, one module for
# each of its connections. The RFC 2217 ports open the line at 9600 with
# two stop bits, so that only the tool's own settings make it 19200 8N1
# (a pseudo-terminal keeps 8 data bits and no parity whatever it is asked).
start_sim rfc;    dev_rfc=$dev
start_sim tcp;    dev_tcp=$dev
start_sim tls;    dev_tls=$dev
start_sim client; dev_client=$dev
start_sim norfc;  dev_norfc=$dev
start_sim busy;   dev_busy=$dev
start_ser2net main "$(
  connection rfc "telnet(rfc2217),tcp,127.0.0.1,$p_rfc" "$dev_rfc" 9600n82
  connection tcp "tcp,127.0.0.1,$p_tcp" "$dev_tcp" 19200n81
  connection tcp6 "tcp,::1,$p_tcp6" "$dev_tcp" 19200n81
  connection tls "telnet(rfc2217),ssl(key=$scratch/srv.key,cert=$scratch/srv.pem),tcp,127.0.0.1,$p_tls" \
    "$dev_tls" 9600n82
  connection behind "telnet(rfc2217),tcp,127.0.0.1,$p_behind" "$dev_client" 9600n82
  connection norfc "telnet(rfc2217=false),tcp,127.0.0.1,$p_norfc" "$dev_norfc" 9600n81
  connection busy "telnet(rfc2217),tcp,127.0.0.1,$p_busy" "$dev_busy" 9600n81
)"
for port in "$p_rfc" "$p_tcp" "$p_tcp6" "$p_tls" "$p_behind" "$p_norfc" "$p_busy"; do
  wait_port "$port"
done

case_rfc2217() {
  write_watching_line rfc "$dev_rfc" --port "rfc2217://127.0.0.1:$p_rfc"
  expect 0 rfc "rfc2217:// write --verify"
  [ "$line_seen" = "19200 8N1" ] ||
    fail "rfc2217:// left the line at \"$line_seen\" during the write, not 19200 8N1" "$scratch/rfc.out"
  run rfc-read read --port "rfc2217://127.0.0.1:$p_rfc" -o rfc.kvr
  expect 0 rfc-read "rfc2217:// read"
  same_as_example rfc rfc.kvr
  echo "ok: rfc2217:// through ser2net: write --verify set the line to 19200 8N1, read gives the values back"
}

case_raw_tcp() {
  run tcp write "$example" --verify --port "tcp://127.0.0.1:$p_tcp"
  expect 0 tcp "tcp:// write --verify"
  run tcp-read read --port "socket://[::1]:$p_tcp6" -o tcp.kvr
  expect 0 tcp-read "socket://[::1] read"
  same_as_example tcp tcp.kvr
  echo "ok: raw TCP through ser2net: tcp:// write --verify, socket://[::1] read"
}

case_tls() {
  local before
  before=$(frames tls)
  run tls-wrong write "$example" --port "rfc2217+tls://localhost:$p_tls" --tls-ca other-ca.pem
  expect 4 tls-wrong "rfc2217+tls:// with an unrelated authority"
  grep -q "certificate" "$scratch/tls-wrong.out" || fail "the refusal does not name the certificate" \
    "$scratch/tls-wrong.out"
  [ "$(frames tls)" = "$before" ] || fail "a server the tool did not trust got frames" "$scratch/tls.sim"
  write_watching_line tls "$dev_tls" --port "rfc2217+tls://localhost:$p_tls" --tls-ca ca.pem
  expect 0 tls "rfc2217+tls:// write --verify --tls-ca"
  [ "$line_seen" = "19200 8N1" ] ||
    fail "rfc2217+tls:// left the line at \"$line_seen\" during the write" "$scratch/tls.out"
  KVR7314_TLS_CA=ca.pem run tls-env read --port "rfc2217+tls://localhost:$p_tls" -o tls.kvr
  expect 0 tls-env "rfc2217+tls:// read with KVR7314_TLS_CA"
  same_as_example tls tls.kvr
  echo "ok: rfc2217+tls:// through ser2net's TLS: --tls-ca and KVR7314_TLS_CA trusted, an unrelated authority refused before any frame"
}

# start_tls_front: socat's TLS server, demanding a client certificate from
# the test authority, in front of ser2net's plain RFC 2217 port. One
# connection each: it is started again for every client.
start_tls_front() {
  socat "OPENSSL-LISTEN:$p_tls_client,bind=127.0.0.1,reuseaddr,cert=srv.pem,key=srv.key,cafile=ca.pem,verify=1" \
    "TCP:127.0.0.1:$p_behind" 2>>"$scratch/socat-tls.log" &
  socat_pid=$!
  pids+=("$socat_pid")
  wait_port "$p_tls_client"
}

case_client_certificate() {
  start_tls_front
  run cert-none test-call 1 --port "rfc2217+tls://127.0.0.1:$p_tls_client" --tls-ca ca.pem
  expect 4 cert-none "rfc2217+tls:// without the client certificate the server demands"
  grep -q "certificate" "$scratch/cert-none.out" || fail "the refusal does not name the certificate" \
    "$scratch/cert-none.out"
  kill "$socat_pid" 2>/dev/null || true
  wait "$socat_pid" 2>/dev/null || true
  start_tls_front
  run cert write "$example" --port "rfc2217+tls://127.0.0.1:$p_tls_client" --tls-ca ca.pem \
    --tls-cert client.pem --tls-key client.key
  expect 0 cert "rfc2217+tls:// write with --tls-cert and --tls-key"
  echo "ok: a client certificate: accepted with --tls-cert/--tls-key, refused without (socat's TLS, 127.0.0.1 in the certificate)"
}

case_sredird() {
  start_sim sredird
  local dev_sredird=$dev
  line "$dev_sredird" 9600 8 N 2 >/dev/null
  socat "TCP-LISTEN:$p_sredird,bind=127.0.0.1,reuseaddr" \
    "EXEC:sredird 5 $dev_sredird $scratch/LCK..sredird" 2>"$scratch/sredird.log" &
  pids+=($!)
  server_log=$scratch/sredird.log
  wait_port "$p_sredird"
  write_watching_line sredird "$dev_sredird" --port "rfc2217://127.0.0.1:$p_sredird"
  expect 0 sredird "rfc2217:// write --verify through sredird"
  [ "$line_seen" = "19200 8N1" ] ||
    fail "sredird's line was \"$line_seen\" during the write, not 19200 8N1" "$scratch/sredird.out"
  echo "ok: rfc2217:// through sredird: write --verify, line 19200 8N1"
}

case_refusals() {
  local frames_norfc frames_busy holder
  frames_norfc=$(frames norfc)
  run norfc test-call 1 --port "rfc2217://127.0.0.1:$p_norfc"
  expect 4 norfc "rfc2217:// to a telnet port without RFC 2217"
  grep -q "RFC 2217" "$scratch/norfc.out" || fail "the refusal does not name RFC 2217" "$scratch/norfc.out"
  [ "$(frames norfc)" = "$frames_norfc" ] || fail "frames went out on a line the tool could not set" "$scratch/norfc.sim"
  echo "ok: refused in $took s: a server without RFC 2217"

  # A first client holds the port; ser2net turns the second away.
  socat -u "TCP:127.0.0.1:$p_busy" "CREATE:$scratch/holder.bytes" 2>/dev/null &
  holder=$!
  pids+=("$holder")
  for _ in $(seq 50); do [ -s "$scratch/holder.bytes" ] && break; sleep 0.1; done
  [ -s "$scratch/holder.bytes" ] || fail "the first client did not get the port"
  frames_busy=$(frames busy)
  run busy test-call 1 --port "rfc2217://127.0.0.1:$p_busy"
  kill "$holder" 2>/dev/null || true
  expect 4 busy "rfc2217:// to a port another client holds"
  grep -q "in use" "$scratch/busy.out" || fail "the refusal does not say the port is in use" "$scratch/busy.out"
  [ "$(frames busy)" = "$frames_busy" ] || fail "the module got frames from the second client" "$scratch/busy.sim"
  echo "ok: refused in $took s: a port another client holds"

  run closed test-call 1 --port "rfc2217://127.0.0.1:$p_closed"
  expect 4 closed "rfc2217:// to a port nothing listens on"
  grep -q "refused" "$scratch/closed.out" || fail "the message does not say refused" "$scratch/closed.out"
  echo "ok: refused in $took s: nothing listens"

  run invalid test-call 1 --port "rfc2217://nohost.invalid:$p_closed"
  expect 4 invalid "a name that does not resolve"
  grep -q "does not resolve" "$scratch/invalid.out" || fail "the message does not say the name does not resolve" \
    "$scratch/invalid.out"
  echo "ok: refused in $took s: a name that does not resolve"

  # Servers that misbehave: one that accepts and then says nothing, one that
  # floods the negotiation, one whose queue is full so that it never
  # accepts. Each is turned away in bounded time (5 s at most, and a margin).
  misbehaving_server silent "$p_silent"
  misbehaving_server flood "$p_flood"
  misbehaving_server full "$p_full"
  local entry kind port cause
  for entry in "silent:$p_silent:did not finish" "flood:$p_flood:more than 200" "full:$p_full:no answer"; do
    IFS=: read -r kind port cause <<<"$entry"
    run "$kind" test-call 1 --port "rfc2217://127.0.0.1:$port"
    expect 4 "$kind" "rfc2217:// to a $kind server"
    grep -q "$cause" "$scratch/$kind.out" || fail "the $kind server's refusal does not say \"$cause\"" "$scratch/$kind.out"
    awk -v t="$took" 'BEGIN { exit !(t <= 7) }' || fail "the $kind server took $took s to refuse" "$scratch/$kind.out"
    echo "ok: refused in $took s: a $kind server"
  done

  # Addresses and options the tool must turn down before it connects:
  # exit code | arguments after "write flex.kvr".
  local usage=(
    "2|--port rfc2217://127.0.0.1"
    "2|--port RFC2217://127.0.0.1:$p_closed"
    "2|--port tcp://127.0.0.1:70000"
    "2|--port tcp://127.0.0.1:$p_closed --tls-ca ca.pem"
    "3|--port tcp+tls://127.0.0.1:$p_closed --tls-ca /nonexistent"
  )
  local entry want args
  for entry in "${usage[@]}"; do
    want=${entry%%|*}
    read -r -a args <<<"${entry#*|}"
    run usage write "$example" "${args[@]}"
    expect "$want" usage "write flex.kvr ${args[*]}"
  done
  echo "ok: malformed addresses and TLS options out of place: exit 2; an unreadable --tls-ca: exit 3"
}

case_server_killed() {
  local wpid killed_at waited
  start_sim kill
  start_ser2net kill "$(connection kill "telnet(rfc2217),tcp,127.0.0.1,$p_kill" "$dev" 9600n81)"
  wait_port "$p_kill"
  "$tool" write "$example" --port "rfc2217://127.0.0.1:$p_kill" >"$scratch/kill.out" 2>&1 &
  wpid=$!
  pids+=("$wpid")
  sleep 3
  kill -0 "$wpid" 2>/dev/null || fail "the write ended before the server was killed" "$scratch/kill.out"
  kill -9 "$ser2net_pid"
  killed_at=$EPOCHREALTIME
  wait "$ser2net_pid" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$wpid" 2>/dev/null || break; sleep 0.05; done
  waited=$(awk -v a="$killed_at" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
  kill -0 "$wpid" 2>/dev/null && fail "the write still runs $waited s after its server was killed" "$scratch/kill.out"
  rc=0
  wait "$wpid" || rc=$?
  expect 4 kill "write through a ser2net killed on the way"
  awk -v w="$waited" 'BEGIN { exit !(w <= 3) }' ||
    fail "the write took $waited s to notice its server had gone" "$scratch/kill.out"
  grep -q "of 26 steps" "$scratch/kill.out" || fail "the write does not say how many steps went out" "$scratch/kill.out"
  echo "ok: ser2net killed mid-write: exit 4 after $waited s, \"$(grep -o '[0-9]* of 26 steps' "$scratch/kill.out" | head -n1)\""
}

# misbehaving_server KIND PORT: a TCP server on PORT that is no device
# server: "silent" accepts and says nothing, "flood" asks for a telnet
# option without end, "full" takes no connection at all (its queue is full,
# so the kernel leaves new ones unanswered).
misbehaving_server() {
  python3 - "$1" "$2" >"$scratch/$1.server.log" 2>&1 <<'EOF' &
import socket, sys, time
kind, port = sys.argv[1], int(sys.argv[2])
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", port))
server.listen(0)
if kind == "full":
    queued = []
    for _ in range(3):
        try:
            queued.append(socket.create_connection(("127.0.0.1", port), timeout=0.5))
        except OSError:
            pass
    time.sleep(60)
client, _ = server.accept()
if kind == "silent":
    time.sleep(60)
try:
    while True:
        client.sendall(b"\xff\xfd\x05" * 1000)   # IAC DO STATUS, over and over
except OSError:
    pass
EOF
  pids+=($!)
  wait_port "$2"
}

# The window, offscreen, with COM 1 behind ser2net as --com1 puts it there:
# COM 1 ticked and "verstuur test" pressed, as a technician would.
case_window() {
  start_sim window
  start_ser2net window "$(connection window "telnet(rfc2217),tcp,127.0.0.1,$p_window" "$dev" 9600n82)"
  wait_port "$p_window"
  QT_QPA_PLATFORM=offscreen KVR7314_DATA_DIR=$scratch/window-data \
    "$build/tests/vm_window_call" 1 "rfc2217://127.0.0.1:$p_window" >"$scratch/window.out" 2>&1 ||
    fail "the window's test call through rfc2217:// showed a box" "$scratch/window.out"
  [ "$(frames window)" = 1 ] || fail "the module took $(frames window) frames from the window, not 1" "$scratch/window.sim"
  grep -q "\"port\":\"rfc2217://127.0.0.1:$p_window\"" "$scratch/window-data/kvr7314-log.jsonl" ||
    fail "the window's log line does not name the address" "$scratch/window-data/kvr7314-log.jsonl"
  echo "ok: the window's test call through --com1 rfc2217://, logged on the address"
}

# A fleet of ten: eight modules behind one ser2net, one of which drops off
# at step 10 (its pseudo-terminal closes, and ser2net drops its client at
# once), and two on local pseudo-terminals. The others finish as if alone.
case_fleet() {
  local i name ports config="" list=$scratch/fleet/list.csv
  mkdir -p "$scratch/fleet"
  cp "$example" "$scratch/fleet/regio.kvr"
  read -r -a ports <<<"$(free_ports 8)"
  printf 'naam;poort;bestand\n' >"$list"
  for i in 1 2 3 4 5 6 7 8; do
    name=net$i
    if [ "$i" = 5 ]; then start_sim "$name" --hang-up-after 10; else start_sim "$name"; fi
    config+="$(connection "$name" "telnet(rfc2217),tcp,127.0.0.1,${ports[i - 1]}" "$dev" 9600n82)"$'\n'
    printf 'Kazerne %s;rfc2217://127.0.0.1:%s;regio.kvr\n' "$i" "${ports[i - 1]}" >>"$list"
  done
  for i in 1 2; do
    start_sim "local$i"
    printf 'Post %s;%s;regio.kvr\n' "$i" "$dev" >>"$list"
  done
  start_ser2net fleet "$config"
  for i in 0 1 2 3 4 5 6 7; do wait_port "${ports[i]}"; done
  KVR7314_DATA_DIR=$scratch/fleet-data run fleet fleet write "$list" --verify --json
  expect 4 fleet "a fleet write with one module dropping off"
  python3 - "$scratch/fleet.out" <<'EOF' || fail "the fleet's summary is not as expected" "$scratch/fleet.out"
import json, sys
text = open(sys.argv[1]).read()
summary = json.loads(text[text.index("\n[") + 1:text.rindex("]") + 1])
outcomes = {m["name"]: (m["outcome"], m["stepsSent"]) for m in summary}
assert len(summary) == 10, outcomes
assert outcomes.pop("Kazerne 5") == ("failed", 10), outcomes
assert all(o == ("ok", 26) for o in outcomes.values()), outcomes
assert all(m["backup"] and m["firmware"] == "1.30" for m in summary if m["outcome"] == "ok"), summary
EOF
  grep -qF -- "fleet write $list --verify --json --only 'Kazerne 5'" "$scratch/fleet.out" ||
    fail "no retry command naming the failed module alone" "$scratch/fleet.out"
  for i in 1 2 3 4 6 7 8; do
    "$tool" read --port "rfc2217://127.0.0.1:${ports[i - 1]}" -o "$scratch/fleet/read$i.kvr" >/dev/null 2>&1 ||
      fail "Kazerne $i could not be read after the fleet's write"
    same_as_example "fleet$i" "$scratch/fleet/read$i.kvr"
  done
  for name in "Kazerne 1" "Kazerne 5" "Post 2"; do
    KVR7314_DATA_DIR=$scratch/fleet-data "$tool" history --module "$name" --json >"$scratch/history.json"
    python3 - "$scratch/history.json" "$name" <<'EOF' || fail "history --module $name" "$scratch/history.json"
import json, sys
entries = json.load(open(sys.argv[1]))
assert entries and all(e["module"] == sys.argv[2] for e in entries), entries
assert any(e["operation"] == "write" for e in entries), entries
EOF
  done
  kill "$ser2net_pid"
  echo "ok: a fleet of 10 (8 behind ser2net, 2 local), one dropping off at step 10: 9 ok, 1 failed, exit 4, in $took s"
}

# A line that dies silently on the way (a cable or mobile link cut: no FIN,
# no RST): ser2net in a network namespace of its own, reached over a veth
# pair whose far end goes down once the module has taken frame 8. The
# frames after it sit in the tool's send queue; the write must fail,
# counting only the steps the device server acknowledged.
cut_up() { kvr_as_root ip netns exec "$cut_ns" ip link set "$cut_ns-n" up; }
cut_down() { kvr_as_root ip netns exec "$cut_ns" ip link set "$cut_ns-n" down; }

# cut_after_frame_8 NAME PID: waits until the module NAME has taken frame
# 8, cuts the line, and waits for PID; its exit code in $rc, the seconds
# from the cut to its end in $after_cut.
cut_after_frame_8() {
  local name=$1 pid=$2 cut_at
  for _ in $(seq 600); do
    [ "$(frames "$name")" -ge 8 ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
  done
  [ "$(frames "$name")" = 8 ] ||
    fail "the module $name had taken $(frames "$name") frames when the line was to be cut" "$scratch/$name.sim"
  cut_down
  cut_at=$EPOCHREALTIME
  rc=0
  wait "$pid" || rc=$?
  after_cut=$(awk -v a="$cut_at" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')
  cut_up
}

# expect_cut NAME OUTPUT WHAT: the run ended with exit 4 within 12 s of the
# cut, saying that 8 steps reached the device server, and the module kept
# the 8 frames it had.
expect_cut() {
  local name=$1 out=$2 what=$3
  [ "$rc" = 4 ] || fail "$what: exit code $rc after the cut, expected 4" "$out"
  awk -v t="$after_cut" 'BEGIN { exit !(t <= 12) }' || fail "$what: ended $after_cut s after the cut" "$out"
  grep -q "8 of 26 steps reached the device server: the module is only partly programmed; write it again" "$out" ||
    fail "$what: does not say that 8 of 26 steps reached the device server" "$out"
  [ "$(frames "$name")" = 8 ] || fail "$what: the module took $(frames "$name") frames, not 8" "$scratch/$name.sim"
}

# last_log_write: the newest write in the stage's log, as "outcome stepsSent".
last_log_write() {
  python3 - "$KVR7314_DATA_DIR/kvr7314-log.jsonl" <<'EOF'
import json, sys
writes = [e for e in map(json.loads, open(sys.argv[1])) if e["operation"] == "write"]
print(writes[-1]["outcome"], writes[-1]["stepsSent"])
EOF
}

# listens_in_cut PORT: until ser2net listens on PORT inside the namespace.
listens_in_cut() {
  local hex
  hex=$(printf ':%04X' "$1")
  for _ in $(seq 50); do
    kvr_as_root ip netns exec "$cut_ns" grep -q "^ *[0-9]*: [0-9A-F]*$hex [0-9A-F]*:[0-9A-F]* 0A " /proc/net/tcp &&
      return 0
    sleep 0.1
  done
  fail "nothing listens on port $1 in the cut network"
}

case_silent_cut() {
  local name pid entry kind config="" list=$scratch/cut/list.csv
  local up_rfc up_tcp cut_rfc cut_tcp cut_tls cut_window cut_fleet
  local names=(up_rfc up_tcp cut_rfc cut_tcp cut_tls cut_window cut_fleet)
  kvr_install_packages iproute2
  cut_ns=kvrcut$$
  kvr_as_root ip netns add "$cut_ns"
  kvr_as_root ip link add "$cut_ns-h" type veth peer name "$cut_ns-n"
  kvr_as_root ip link set "$cut_ns-n" netns "$cut_ns"
  kvr_as_root ip addr add "$cut_client/30" dev "$cut_ns-h"
  kvr_as_root ip link set "$cut_ns-h" up
  kvr_as_root ip netns exec "$cut_ns" ip addr add "$cut_server/30" dev "$cut_ns-n"
  kvr_as_root ip netns exec "$cut_ns" ip link set lo up
  cut_up
  read -r up_rfc up_tcp cut_rfc cut_tcp cut_tls cut_window cut_fleet <<<"$(free_ports 7)"
  for name in "${names[@]}"; do
    start_sim "$name"
    case $name in
      *tcp) config+="$(connection "$name" "tcp,$cut_server,${!name}" "$dev" 19200n81)"$'\n' ;;
      *tls) config+="$(connection "$name" \
              "telnet(rfc2217),ssl(key=$scratch/srv.key,cert=$scratch/srv.pem),tcp,$cut_server,${!name}" "$dev" 9600n82)"$'\n' ;;
      *) config+="$(connection "$name" "telnet(rfc2217),tcp,$cut_server,${!name}" "$dev" 9600n82)"$'\n' ;;
    esac
  done
  printf '%%YAML 1.1\n---\n%s\n' "$config" >"$scratch/cut.yaml"
  server_log=$scratch/cut.ser2net.log
  kvr_as_root ip netns exec "$cut_ns" ser2net -n -d -c "$scratch/cut.yaml" >"$server_log" 2>&1 &
  pids+=($!)
  for name in "${names[@]}"; do listens_in_cut "${!name}"; done

  # While the line stays up a write is paced as ever, and ends once the
  # server has confirmed the last step: 8.1 s after its clock started, and
  # a round trip.
  for entry in up_rfc:rfc2217 up_tcp:tcp; do
    IFS=: read -r name kind <<<"$entry"
    run "$name" write "$example" --port "$kind://$cut_server:${!name}" --trace "$scratch/$name.trace"
    expect 0 "$name" "$kind:// write over the test network"
    python3 - "$scratch/$name.trace" <<'EOF' || fail "$kind:// write: paced or confirmed out of time" "$scratch/$name.trace"
import re, sys
lines = open(sys.argv[1]).read().splitlines()
tx = [float(m.group(1)) for m in (re.match(r" *([0-9.]+) s  TX", l) for l in lines) if m]
ready = tx[0] - 0.45   # the run's clock: frame 1 goes 450 ms after it started
confirmed = [float(l.split()[0]) for l in lines if "confirmed every byte" in l][0]
gaps = [b - a for a, b in zip(tx, tx[1:])]
assert len(tx) == 26 and all(0.29 <= g <= 0.32 for g in gaps), gaps
assert confirmed - ready <= 8.2 + 0.05, (ready, confirmed)
print(f"{confirmed - ready:.3f} s")
EOF
  done
  echo "ok: a line that stays up: rfc2217:// and tcp:// writes paced at 300 ms, confirmed within 8.2 s and a round trip"

  local tls_args
  for entry in cut_rfc:rfc2217 cut_tcp:tcp cut_tls:rfc2217+tls; do
    IFS=: read -r name kind <<<"$entry"
    tls_args=()
    [ "$kind" = rfc2217+tls ] && tls_args=(--tls-ca ca.pem)
    "$tool" write "$example" --port "$kind://$cut_server:${!name}" "${tls_args[@]}" >"$scratch/$name.out" 2>&1 &
    cut_after_frame_8 "$name" $!
    expect_cut "$name" "$scratch/$name.out" "$kind:// write cut after frame 8"
    [ "$(last_log_write)" = "failed 8" ] ||
      fail "$kind:// write cut after frame 8: the log says \"$(last_log_write)\", not \"failed 8\"" \
        "$KVR7314_DATA_DIR/kvr7314-log.jsonl"
    echo "ok: $kind:// line cut silently after frame 8: exit 4 $after_cut s after the cut, 8 of 26 steps reached the device server, a failed write in the log"
  done

  QT_QPA_PLATFORM=offscreen "$build/tests/vm_window_call" 1 "rfc2217://$cut_server:$cut_window" --write \
    >"$scratch/cut_window.out" 2>&1 &
  cut_after_frame_8 cut_window $!
  [ "$rc" = 1 ] || fail "the window's write cut after frame 8 did not end in a failure box" "$scratch/cut_window.out"
  grep -q "8 van de 26 stappen hebben de seriële server bereikt" "$scratch/cut_window.out" ||
    fail "the window's box does not say that 8 of 26 steps reached the device server" "$scratch/cut_window.out"
  [ "$(frames cut_window)" = 8 ] || fail "the window's module took $(frames cut_window) frames, not 8"
  echo "ok: the window's write cut after frame 8: its box says 8 of 26 steps reached the device server, $after_cut s after the cut"

  mkdir -p "$scratch/cut"
  cp "$example" "$scratch/cut/regio.kvr"
  start_sim cut_local
  printf 'naam;poort;bestand\nKazerne afgesneden;rfc2217://%s:%s;regio.kvr\nPost;%s;regio.kvr\n' \
    "$cut_server" "$cut_fleet" "$dev" >"$list"
  "$tool" fleet write "$list" --json >"$scratch/cut_fleet.out" 2>&1 &
  cut_after_frame_8 cut_fleet $!
  [ "$rc" = 4 ] || fail "the fleet with a line cut after frame 8: exit code $rc, expected 4" "$scratch/cut_fleet.out"
  python3 - "$scratch/cut_fleet.out" <<'EOF' || fail "the fleet's summary of the cut line" "$scratch/cut_fleet.out"
import json, sys
text = open(sys.argv[1]).read()
summary = {m["name"]: m for m in json.loads(text[text.index("\n[") + 1:text.rindex("]") + 1])}
cut, post = summary["Kazerne afgesneden"], summary["Post"]
assert (cut["outcome"], cut["stepsSent"]) == ("failed", 8), cut
assert "8 of 26 steps reached the device server" in cut["cause"], cut
assert (post["outcome"], post["stepsSent"]) == ("ok", 26), post
EOF
  echo "ok: a fleet with one line cut after frame 8: that module failed, 8 of 26 steps, the other ok"
}

# program_frames NAME: the programming frames the module NAME has taken, as
# the sim lists them, without their times.
program_frames() {
  python3 "$KVR_ROOT/tests/simframes.py" "$scratch/$1.sim"
}

# The fleet kept as it should be: six modules (one behind ser2net), two of
# which hold something else than their file; plan, the monitoring checks,
# apply, undo, and a canary that does not take its write.
case_fleet_plan() {
  local i name port dir=$scratch/plan list=$scratch/plan/list.csv before
  mkdir -p "$dir"
  cp "$example" "$dir/regio.kvr"
  sed 's/Duikteam/Duikploeg/' "$example" >"$dir/alias-anders.kvr"
  sed 's/TIJD_RELAIS:10/TIJD_RELAIS:30/' "$example" >"$dir/relais.kvr"
  # What writing regio.kvr puts on the line, from a module of its own.
  start_sim reference
  run reference write "$dir/regio.kvr" --port "$dev"
  expect 0 reference "write to the reference module"
  program_frames reference >"$dir/reference.frames"
  [ "$(wc -l <"$dir/reference.frames")" = 26 ] || fail "the reference module took no 26 frames" "$scratch/reference.sim"

  read -r port <<<"$(free_ports 1)"
  start_sim plan1 --holds "$dir/regio.kvr"
  start_ser2net plan "$(connection plan1 "telnet(rfc2217),tcp,127.0.0.1,$port" "$dev" 9600n82)"
  wait_port "$port"
  printf 'naam;poort;bestand\nKazerne 1;rfc2217://127.0.0.1:%s;regio.kvr\n' "$port" >"$list"
  for i in 2 3 4 5 6; do
    case $i in
      2) start_sim "plan$i" --holds "$dir/alias-anders.kvr" ;;
      3) start_sim "plan$i" --holds "$dir/relais.kvr" ;;
      *) start_sim "plan$i" --holds "$dir/regio.kvr" ;;
    esac
    printf 'Kazerne %s;%s;regio.kvr\n' "$i" "$dev" >>"$list"
  done

  # log_lines: how many lines the stage's log holds now, and files its data folder.
  log_lines() { cat "$KVR7314_DATA_DIR/kvr7314-log.jsonl" 2>/dev/null | wc -l; ls "$KVR7314_DATA_DIR" 2>/dev/null | wc -l; }
  local logged
  logged=$(log_lines)
  run plan fleet plan "$list" --json
  expect 6 plan "fleet plan with two modules that differ"
  python3 - "$scratch/plan.out" <<'EOF' || fail "fleet plan's differences" "$scratch/plan.out"
import json, sys
text = open(sys.argv[1]).read()
summary = {m["name"]: m for m in json.loads(text[text.index("\n[") + 1:text.rindex("]") + 1])}
assert summary["Kazerne 2"]["differences"] == [{"field": "alias 05", "file": "Duikteam", "module": "Duikploeg"}], summary["Kazerne 2"]
assert summary["Kazerne 3"]["differences"] == [{"field": "relay time", "file": "10", "module": "0030"}], summary["Kazerne 3"]
assert [n for n, m in summary.items() if m["outcome"] != "ok"] == ["Kazerne 2", "Kazerne 3"], summary
EOF
  grep -qF 'Kazerne 2: alias 05: file "Duikteam", module "Duikploeg"' "$scratch/plan.out" ||
    fail "fleet plan does not name the alias with both values" "$scratch/plan.out"
  for i in 1 2 3 4 5 6; do
    [ -z "$(program_frames "plan$i")" ] || fail "fleet plan sent a programming frame to Kazerne $i" "$scratch/plan$i.sim"
  done
  [ "$(log_lines)" = "$logged" ] || fail "fleet plan left a log line or a backup" "$KVR7314_DATA_DIR/kvr7314-log.jsonl"

  "$tool" fleet plan "$list" --nagios >"$scratch/nagios.out" 2>/dev/null && rc=0 || rc=$?
  [ "$rc" = 1 ] && [ "$(wc -l <"$scratch/nagios.out")" = 1 ] &&
    grep -q '^KVR7314 WARNING - 2 of 6 modules differ from their file: Kazerne 2, Kazerne 3 | in_sync=4 differs=2 failed=0 seconds=' \
      "$scratch/nagios.out" || fail "fleet plan --nagios with two differing: exit $rc" "$scratch/nagios.out"

  start_sim plan7 --no-answer
  cp "$list" "$dir/with-silent.csv"
  printf 'Post 7 (stil);%s;regio.kvr\n' "$dev" >>"$dir/with-silent.csv"
  "$tool" fleet plan "$dir/with-silent.csv" --nagios --prometheus "$dir/kvr7314.prom" >"$scratch/nagios.out" 2>/dev/null &&
    rc=0 || rc=$?
  [ "$rc" = 2 ] && [ "$(wc -l <"$scratch/nagios.out")" = 1 ] && grep -q '^KVR7314 CRITICAL - 1 of 7 modules could not be read: Post 7 (stil)' \
    "$scratch/nagios.out" || fail "fleet plan --nagios with a silent module: exit $rc" "$scratch/nagios.out"
  # Debian's Python, which has Debian's prometheus_client; a python3 earlier
  # on the PATH may not.
  /usr/bin/python3 - "$dir/kvr7314.prom" <<'EOF' || fail "the Prometheus file" "$dir/kvr7314.prom"
import sys
from prometheus_client.parser import text_string_to_metric_families
families = {f.name: f for f in text_string_to_metric_families(open(sys.argv[1]).read())}
up = {s.labels["name"]: s.value for s in families["kvr7314_module_up"].samples}
assert up["Post 7 (stil)"] == 0 and sum(up.values()) == 6, up
sync = {s.labels["name"]: s.value for s in families["kvr7314_module_in_sync"].samples}
assert sync == {"Kazerne 1": 1, "Kazerne 2": 0, "Kazerne 3": 0, "Kazerne 4": 1, "Kazerne 5": 1, "Kazerne 6": 1}, sync
assert all(s.labels["firmware"] == "1.30" for s in families["kvr7314_module_firmware_info"].samples)
for name in ("kvr7314_module_differences", "kvr7314_fleet_plan_timestamp_seconds", "kvr7314_fleet_plan_duration_seconds"):
    assert families[name].samples, name
EOF
  echo "ok: fleet plan of six (one behind ser2net): exit 6, both fields with both values, no programming frame; --nagios WARNING (1), with a silent module CRITICAL (2) and kvr7314_module_up 0"

  run apply fleet apply "$list" --json
  expect 0 apply "fleet apply of the two that differ"
  for i in 1 2 3 4 5 6; do
    case $i in
      2 | 3) diff <(program_frames "plan$i") "$dir/reference.frames" >/dev/null ||
               fail "Kazerne $i did not take regio.kvr's 26 frames byte for byte" "$scratch/plan$i.sim" ;;
      *) [ -z "$(program_frames "plan$i")" ] || fail "fleet apply wrote Kazerne $i, which held its file" "$scratch/plan$i.sim" ;;
    esac
  done
  run plan-after fleet plan "$list"
  expect 0 plan-after "fleet plan after the apply"
  echo "ok: fleet apply wrote exactly the two, 26 frames byte for byte; a plan afterwards exits 0"

  for i in 1 2 3 4 5 6; do before[i]=$(program_frames "plan$i" | wc -l); done
  run undo fleet undo "$list"
  expect 0 undo "fleet undo of the apply"
  for i in 1 4 5 6; do
    [ "$(program_frames "plan$i" | wc -l)" = "${before[i]}" ] || fail "fleet undo wrote Kazerne $i" "$scratch/plan$i.sim"
  done
  run plan-undone fleet plan "$list" --json
  expect 6 plan-undone "fleet plan after the undo"
  grep -qF 'Kazerne 2: alias 05: file "Duikteam", module "Duikploeg"' "$scratch/plan-undone.out" &&
    grep -qF 'Kazerne 3: relay time: file "10", module "0030"' "$scratch/plan-undone.out" ||
    fail "fleet undo did not put back what the two held" "$scratch/plan-undone.out"
  echo "ok: fleet undo put back what the two held, and wrote no other module"

  # A canary that does not take its write holds every other module back.
  start_sim canary1 --keep-settings
  printf 'naam;poort;bestand\nWorn;%s;regio.kvr\n' "$dev" >"$dir/canary.csv"
  for i in 2 3; do
    start_sim "canary$i"
    printf 'Post %s;%s;regio.kvr\n' "$i" "$dev" >>"$dir/canary.csv"
  done
  run canary fleet apply "$dir/canary.csv" --canary 1 --json
  expect 6 canary "fleet apply --canary 1 with a canary that does not take its write"
  for i in 2 3; do
    [ -z "$(program_frames "canary$i")" ] || fail "the canary's failure did not hold Post $i back" "$scratch/canary$i.sim"
  done
  python3 - "$scratch/canary.out" <<'EOF' || fail "fleet apply --canary 1's summary" "$scratch/canary.out"
import json, sys
text = open(sys.argv[1]).read()
summary = {m["name"]: m for m in json.loads(text[text.index("\n[") + 1:text.rindex("]") + 1])}
assert (summary["Worn"]["outcome"], summary["Worn"]["written"]) == ("differs", True), summary["Worn"]
for name in ("Post 2", "Post 3"):
    assert (summary[name]["outcome"], summary[name]["written"]) == ("stopped", False), summary[name]
    assert summary[name]["cause"] == "not written: the canary did not end ok", summary[name]
EOF
  grep -qF -- "--only 'Worn,Post 2,Post 3'" "$scratch/canary.out" || fail "the retry command does not name them" "$scratch/canary.out"
  kill "$ser2net_pid"
  echo "ok: fleet apply --canary 1: the canary did not take its write, exit 6, the others stopped unwritten and named for the retry"
}

cases=("${@:2}")
[ ${#cases[@]} -gt 0 ] || cases=(silent_cut fleet_plan rfc2217 fleet window raw_tcp tls client_certificate refusals
                                 server_killed sredird)
for case in "${cases[@]}"; do
  "case_$case"
done
