#!/usr/bin/env bash
# Keeps the manual page and the bash completion in step with quillon-cli: the commands that
# `quillon-cli --help` names, the COMMANDS section of the manual page names and the
# completion offers must be the same, both ways. The built pages must render without a
# groff warning, --version must say the project's version, and the completion must offer
# folders, files and options where the commands take them.
#   cli_docs_test.sh QUILLON_CLI MAN_SOURCE COMPLETION VERSION BUILT_PAGE...
set -euo pipefail
cli="$1" man_source="$2" completion="$3" version="$4"
shift 4
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The command names of the usage: the indented lines below the blank line.
help_commands="$("$cli" --help | awk 'seen && /^  [a-z]/ {print $1} /^$/ {seen = 1}' | sort)"
# The tags of the .TP blocks between ".SH COMMANDS" and the next section.
man_commands="$(awk '/^\.SH / {inside = ($2 == "COMMANDS")} inside && tag {print $2; tag = 0}
    inside && /^\.TP/ {tag = 1}' "$man_source" | sed 's/\\-/-/g' | sort)"
# The keys of the completion's table.
completion_commands="$(bash -c 'complete() { :; }; source "$1"; printf "%s\n" "${!_quillon_cli_commands[@]}"' \
    _ "$completion" | sort)"
[ -n "$help_commands" ] || fail "quillon-cli --help names no command"
compare() {
    local missing
    missing="$(comm -23 <(echo "$help_commands") <(echo "$2"))"
    [ -z "$missing" ] || fail "$1 lacks the command(s) of --help:" "$(echo "$missing" | xargs)"
    missing="$(comm -13 <(echo "$help_commands") <(echo "$2"))"
    [ -z "$missing" ] || fail "$1 names command(s) that --help does not:" "$(echo "$missing" | xargs)"
}
compare "the manual page" "$man_commands"
compare "the bash completion" "$completion_commands"

[ "$("$cli" --version)" = "quillon-cli (Quillon) $version" ] ||
    fail "--version says '$("$cli" --version)', not version $version"

for page in "$@"; do
    warnings="$(zcat -f "$page" | groff -ww -man -Tutf8 -z 2>&1)"
    [ -z "$warnings" ] || fail "$page: $warnings"
    grep -q "^\.TH .* \"Quillon $version\"" <(zcat -f "$page") || fail "$page does not say version $version"
done

# The completion, driven as bash drives it: the words of a command line, the cursor in the
# last one; bash makes a "=" a word of its own. Each case: the words, then the completions
# expected, sorted and space-separated.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/feeds" "$work/folder"
touch "$work/feed.xml" "$work/fields.txt"
complete_line() {
    (
        cd "$work"
        # shellcheck source=/dev/null
        source "$completion"
        read -r -a COMP_WORDS <<<"$1"
        [[ $1 == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _quillon_cli 2>/dev/null
        printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
    )
}
while IFS='|' read -r line expected; do
    got="$(complete_line "$line")"
    [ "$got" = "$expected" ] || fail "completing '$line' gave '$got', not '$expected'"
done <<EOF
quillon-cli |--data --help --version $(echo "$help_commands" | xargs)
quillon-cli --data f|feeds folder
quillon-cli --data = f|feeds folder
quillon-cli --data =|feeds folder
quillon-cli --data=f|--data=feeds --data=folder
quillon-cli --data = folder li|list
quillon-cli --data folder ex|export
quillon-cli --data folder export f|feed.xml feeds fields.txt folder
quillon-cli read fe|feed.xml feeds
quillon-cli opml fi|fields.txt
quillon-cli export out.opml |
quillon-cli update -|--no-pauses
quillon-cli list tennis -|--hidden --today
quillon-cli search 足球 -|--json
quillon-cli folder |
EOF

[ "$failures" -eq 0 ] || exit 1
echo "the manual page, the completion and --help agree"
