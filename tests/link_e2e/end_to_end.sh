#!/usr/bin/env bash
# brevant-update over the socket link, end to end and in real time: a whole update against
# brevant-writer-sim compared with --simulate, a recorded run replayed, the read-only
# check, and peers that break the framing. Loopback only; every port is picked by the
# system. Arguments: brevant-update, brevant-writer-sim, broken_peer.
set -u
update="$1"
sim="$2"
peer="$3"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    test -n "${KEEP_LINK_E2E:-}" && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/../support/check.sh"

# Starts a server in the background writing to $1; sets port once it listens.
start() {
    local out="$1"
    shift
    "$@" >"$out" 2>&1 &
    pids+=($!)
    server=$!
    port=""
    for _ in $(seq 1 100); do
        port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out" 2>/dev/null)
        test -n "$port" && return 0
        sleep 0.05
    done
    echo "server did not start: $(cat "$out")" >&2
    return 1
}

run() {  # folder, args... ; sets status and log
    local folder="$1"
    shift
    mkdir -p "$folder"
    XDG_DOCUMENTS_DIR="$folder" timeout 120 "$update" "$@" </dev/null >"$folder/out" 2>"$folder/err"
    status=$?
    log="$folder/QZUpdate.log"
}

# The log without its time stamps.
lines() { sed 's/^.* - //' "$1"; }
# Requests that reached the link, as "length code" (byte counts and command codes in order).
requests() { awk '$1 == "W" && $3 != 0 { print $3, substr($4, 13, 4) }' "$1"; }
# Requests that change a writer: programming, prepare, region write, programming mode,
# image checksum, text, clock with set flag 1, scanner write.
changing() {
    awk '$1 == "W" && $3 != 0 {
        code = substr($4, 13, 4); p0 = substr($4, 25, 8); p1 = substr($4, 33, 8)
        if (code == "0200" || code == "5000" || code == "6000" || code == "0910" || code == "0a10" ||
            code == "5100" || code == "2500" || code == "0700" || (code == "05e0" && p1 == "01000000") ||
            (code == "23e0" && p0 == "15000000")) print code
    }' "$1"
}

# A writer whose application build is below the fixed build gets boot code and application
# first and is restarted in the middle of the run: refused while away, found again after.
settings="build=34000,restart-seconds=3"

start "$work/sim.out" "$sim" --listen 127.0.0.1:0 --settings "$settings" || exit 1
sim_pid=$server
sim_port=$port
run "$work/socket" --writer "tcp:127.0.0.1:$sim_port" --yes --record "$work/socket.trace"
check "socket run exits 0" test "$status" -eq 0
check "socket run succeeds" grep -q " - Successfully updated the Brevant/Brevant II.$" "$work/socket/QZUpdate.log"
check "writer restarted and refused a reconnect" grep -q "^O [0-9]* 259$" "$work/socket.trace"
check "writer found again after its restart" test "$(grep -c '^O [0-9]* 0$' "$work/socket.trace")" -ge 2
check "sim saw the restarts" grep -q "^back on the bus" "$work/sim.out"

run "$work/simulate" --simulate="$settings" --yes --record "$work/simulate.trace"
check "simulated run exits 0" test "$status" -eq 0
check "same log lines over the socket as simulated" diff <(lines "$work/socket/QZUpdate.log") <(lines "$work/simulate/QZUpdate.log")
check "same exchanges over the socket as simulated" diff <(requests "$work/socket.trace") <(requests "$work/simulate.trace")
check "the run sent requests at all" test "$(requests "$work/socket.trace" | wc -l)" -gt 100

# The writer the run just updated needs nothing more; a fresh one needs everything.
run "$work/check-done" --writer "tcp:127.0.0.1:$sim_port" --check --json --record "$work/check-done.trace"
check "check of an updated writer exits 0" test "$status" -eq 0
check "check of an updated writer: nothing to update" grep -q "^Nothing to update.$" "$work/check-done/out"
check "check of an updated writer: JSON result up-to-date" grep -q '"result":"up-to-date","exitStatus":0}$' "$work/check-done/out"
check "check of an updated writer: application would be resent" grep -q "application: resend" "$work/check-done/out"
check "check of an updated writer changes nothing" test -z "$(changing "$work/check-done.trace")"
kill -TERM "$sim_pid"
wait "$sim_pid"
check "sim exits 0 on SIGTERM" test $? -eq 0
check "sim summary names the programmed application" grep -q "^  application: programmed, version 2.00.00 build 35675" "$work/sim.out"

start "$work/sim-fresh.out" "$sim" --listen 127.0.0.1:0 || exit 1
fresh_pid=$server
run "$work/check-fresh" --writer "tcp:127.0.0.1:$port" --check --json --record "$work/check-fresh.trace"
check "check of an old writer exits 4" test "$status" -eq 4
for component in "keyboard scanner" "WiFi App" "WiFi NVS" "X-Loader" "boot code" "application"; do
    check "check of an old writer: $component would be updated" grep -q "^  $component: update - " "$work/check-fresh/out"
done
check "check of an old writer changes nothing" test -z "$(changing "$work/check-fresh.trace")"
check "check of an old writer asked the scanner" grep -q "CMD_SENSOR_BOARD (0xE023) seq [0-9]* length 8 params 0x19" "$work/sim-fresh.out"
check "check closed the link" grep -q "^link closed: the updater closed the link$" "$work/sim-fresh.out"
kill -INT "$fresh_pid"
wait "$fresh_pid"
check "sim exits 0 on SIGINT" test $? -eq 0
check "sim summary after a check: nothing programmed" grep -q "^  application: original" "$work/sim-fresh.out"

# The recorded socket run replayed: same log, same status; the replay saw every request.
start "$work/replay.out" "$sim" --replay "$work/socket.trace" --listen 127.0.0.1:0 || exit 1
replay_pid=$server
run "$work/replayed" --writer "tcp:127.0.0.1:$port" --yes
check "replayed run exits 0" test "$status" -eq 0
check "replayed run logs as recorded" diff <(lines "$work/socket/QZUpdate.log") <(lines "$work/replayed/QZUpdate.log")
wait "$replay_pid"
check "replay exits 0" test $? -eq 0
check "replay matched every request" grep -q "^replay complete: [0-9]* requests as recorded$" "$work/replay.out"

# Another updater behaviour against the same recording: the first differing request is named.
start "$work/replay-differs.out" "$sim" --replay "$work/socket.trace" --listen 127.0.0.1:0 || exit 1
replay_pid=$server
run "$work/replay-check" --writer "tcp:127.0.0.1:$port" --check
wait "$replay_pid"
check "differing replay exits 1" test $? -eq 1
check "differing replay names the request" grep -q "^request [0-9]* (trace line [0-9]*) differs at byte [0-9]*$" "$work/replay-differs.out"
check "differing replay shows both requests" grep -q "^  got      CMD_" "$work/replay-differs.out"

# Peers that break the framing: the run fails with the identification error, quickly.
for mode in garbage oversized midframe noframe; do
    start "$work/peer-$mode.out" "$peer" "$mode" || exit 1
    started=$(date +%s)
    run "$work/peer-$mode" --writer "tcp:127.0.0.1:$port" --yes
    check "$mode peer: run exits 1" test "$status" -eq 1
    check "$mode peer: identification error logged" grep -q " - Unable to communicate with your steno machine.  Error Code 111$" "$work/peer-$mode/QZUpdate.log"
    check "$mode peer: error shown" grep -q "Unable to communicate with your steno machine.  Error Code 111" "$work/peer-$mode/err"
    check "$mode peer: no hang" test $(($(date +%s) - started)) -lt 10
    wait "$server" 2>/dev/null
done

# Nobody listening: the open failure, not a hang.
run "$work/nobody" --writer "tcp:127.0.0.1:$sim_port"
check "nobody listening: run exits 1" test "$status" -eq 1
check "nobody listening: open failure logged" grep -q " - Unable to open a connection with your steno machine.$" "$work/nobody/QZUpdate.log"

finish_checks
