# Shared by the whole-program scripts: the program under test ($1), a scratch folder removed at
# exit, and failures counted so that one run reports every broken check.
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# finish MESSAGE: the exit status of the script, MESSAGE when every check passed.
finish() {
    if ((failures > 0)); then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "$1"
}
