# Shared by the packaging tests (sourced): a network namespace of the test's
# own with one veth pair inside, removed on exit whatever happened.
#   make_segment      -> $NS, $TOOL_END, $DEVICE_END
#   in_segment CMD... -> runs CMD inside the namespace
#   SCRATCH           -> a scratch folder, removed on exit

SKIP=77 # ctest's SKIP_RETURN_CODE

need() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed (scripts/install-deps.sh)"
            exit "$SKIP"
        fi
    done
}

need_root() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIP: needs root for a network namespace"
        exit "$SKIP"
    fi
}

CLEANUP=()
cleanup() {
    local i
    for ((i = ${#CLEANUP[@]} - 1; i >= 0; i--)); do
        eval "${CLEANUP[i]}" >/dev/null 2>&1 || true
    done
}
trap cleanup EXIT

SCRATCH="$(mktemp -d /tmp/qvpkg-XXXXXX)"
chmod 0755 "$SCRATCH"
CLEANUP+=("rm -rf '$SCRATCH'")

make_segment() {
    NS="qvpkg$$"
    TOOL_END="qvp$$t"
    DEVICE_END="qvp$$d"
    ip netns add "$NS"
    CLEANUP+=("ip netns delete '$NS'")
    ip -n "$NS" link add "$TOOL_END" type veth peer name "$DEVICE_END"
    ip -n "$NS" link set "$TOOL_END" up
    ip -n "$NS" link set "$DEVICE_END" up
    ip -n "$NS" link set lo up
}

in_segment() {
    ip netns exec "$NS" "$@"
}

# Starts quorvantix-devsim (path $1) on the device end with the other arguments;
# returns once it has opened the interface.
start_devsim() {
    local devsim="$1"
    shift
    # Started directly (not through a function) so that $! is the emulator itself.
    ip netns exec "$NS" "$devsim" --interface "$DEVICE_END" --ready-file "$SCRATCH/devsim.ready" \
        "$@" >"$SCRATCH/devsim.out" 2>&1 &
    local pid=$!
    CLEANUP+=("kill $pid; wait $pid")
    local i
    for ((i = 0; i < 500; i++)); do
        [ -e "$SCRATCH/devsim.ready" ] && return 0
        sleep 0.01
    done
    echo "FAIL: quorvantix-devsim did not open $DEVICE_END"
    cat "$SCRATCH/devsim.out"
    exit 1
}

FAILURES=0
check() { # check WHAT EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        echo "FAIL: $1"
        echo "  expected: $2"
        echo "  actual:   $3"
        FAILURES=$((FAILURES + 1))
    fi
}

finish() {
    if [ "$FAILURES" -ne 0 ]; then
        echo "$FAILURES check(s) failed"
        exit 1
    fi
    echo "all checks passed"
}
