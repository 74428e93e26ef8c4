# Sourced by the script tests: counts passed and failed checks and ends with the plain
# "N passed, N failed" line that the test runners read.
failures=0
passes=0

check() {  # description, condition...
    local what="$1"
    shift
    if "$@"; then
        passes=$((passes + 1))
    else
        echo "FAIL: $what" >&2
        failures=$((failures + 1))
    fi
}

finish_checks() {
    echo "$passes passed, $failures failed"
    test "$failures" -eq 0
}
