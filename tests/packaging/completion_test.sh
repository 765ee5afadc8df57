#!/usr/bin/env bash
# Bash completion of quorvantix-cli: commands, each command's options, and
# for --adapter the Ethernet interfaces of a namespace of the test's own (its
# veth pair, never lo). Usage: completion_test.sh SOURCE_DIR
set -euo pipefail
SRC="$1"
. "$SRC/tests/packaging/segment.sh"
need_root
BASH_COMPLETION=/usr/share/bash-completion/bash_completion
if [ ! -r "$BASH_COMPLETION" ]; then
    echo "SKIP: bash-completion is not installed (scripts/install-deps.sh)"
    exit "$SKIP"
fi
make_segment

# Prints the completions of a command line whose last word is being completed.
cat >"$SCRATCH/complete.sh" <<'INNER'
source "$1"
source "$2"
shift 2
COMP_WORDS=(quorvantix-cli "$@")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
COMP_LINE="${COMP_WORDS[*]}"
COMP_POINT=${#COMP_LINE}
COMPREPLY=()
_quorvantix_cli quorvantix-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
INNER
complete() {
    in_segment bash "$SCRATCH/complete.sh" "$BASH_COMPLETION" \
        "$SRC/packaging/completion/quorvantix-cli" "$@"
}

ends="$(printf '%s\n' "$TOOL_END" "$DEVICE_END" | sort | tr '\n' ' ' | sed 's/ $//')"
check "commands" "adapters discover help push rewrite sheet validate watch" "$(complete "")"
check "commands by prefix" "discover" "$(complete di)"
check "global options" "--help --home --version" "$(complete --)"
check "after --home DIR" "sheet" "$(complete --home /tmp sh)"
check "push options" \
    "--adapter --all --broadcasts --config --dry-run --events --help --json --logo --mac --quiet --retry --sheet --show-secrets --wait" \
    "$(complete push --)"
check "watch options" "--adapter --config --events --help --interval --logo --quiet --sheet" \
    "$(complete watch --)"
check "discover options" "--adapter --broadcasts --help --json --quiet" "$(complete discover --)"
check "--adapter: the interfaces, not lo" "$ends" "$(complete discover --adapter "")"
check "--adapter=: the interfaces" "$ends" "$(complete push --adapter= )"
check "--adapter by prefix" "$TOOL_END" "$(complete push --all --adapter "${TOOL_END%t}t")"
check "sheet subcommand" "export" "$(complete sheet "")"
check "sheet export options" "--template" "$(complete sheet export --t)"
check "help topics" "push" "$(complete help pu)"
check "no option completion after a value-taking option" "" "$(complete push --broadcasts "")"
finish
