#!/usr/bin/env bash
# brevant-update as a user meets it: exit statuses, what reaches the terminal and the log.
set -u
exe="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/check.sh"

run() {  # folder, args... ; sets status, out, err
    local folder="$1"
    shift
    mkdir -p "$folder"
    XDG_DOCUMENTS_DIR="$folder" "$exe" "$@" </dev/null >"$folder/out" 2>"$folder/err"
    status=$?
    out=$(cat "$folder/out")
    err=$(cat "$folder/err")
    log="$folder/QZUpdate.log"
}

run "$work/version" --version
check "--version prints the program version" test "$out" = "35675.2.0"
check "--version exits 0" test "$status" -eq 0

run "$work/help" --help
check "--help documents exit statuses" grep -q "Exit status" "$work/help/out"

run "$work/usage" --simulate=colour=red
check "unknown setting is a usage error" test "$status" -eq 2
check "usage error names the key" grep -q "colour" "$work/usage/err"

run "$work/nowriter"
check "no writer exits 1" test "$status" -eq 1
check "no writer: three log entries" test "$(grep -c ' - ' "$log")" -eq 3
check "no writer: header first" grep -q "^[A-Z][a-z]* [0-9][0-9], [0-9]\{4\}  [0-9:]\{8\} - Brevant Update: Build: 35675.2.0$" "$log"
check "no writer: open failure logged" grep -q " - Unable to open a connection with your steno machine.$" "$log"
check "no writer: exit line last" test "$(tail -n 1 "$log" | sed 's/.* - //')" = "Exiting"
check "no writer: error on stderr" grep -q "Error: Unable to open a connection" "$work/nowriter/err"

run "$work/rilo" --simulate=type=17,version=0x0105
check "type 17 exits 3" test "$status" -eq 3
check "type 17 found line" grep -qF " - USB found Rilo(17), App. Ver. 1.05 " "$log"
check "type 17 refused" grep -qF "Improper Machine Type.  This update is not for Rilo!" "$log"

run "$work/unknown" --simulate=type=40
check "type 40 refused as UnKnown" grep -qF "This update is not for UnKnown!" "$log"
run "$work/sensor" --simulate=type=21
check "type 21 refused as Sensor Board" grep -qF "This update is not for Sensor Board!" "$log"

run "$work/newer" --simulate=version=0x03000000,build=36000 --no
check "declined downgrade exits 3" test "$status" -eq 3
check "question logged" grep -qF "You are about to install version 2.00.00, Build 35675" "$log"
check "declined downgrade: no error shown" test -z "$err"

run "$work/newer-noterm" --simulate=version=0x03000000,build=36000
check "without a terminal the answer is No" test "$status" -eq 3

finish_checks
