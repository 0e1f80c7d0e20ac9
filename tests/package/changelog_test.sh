#!/usr/bin/env bash
# The latest entry of the package's changelog is the project's version, of its release date.
#   changelog_test.sh CHANGELOG VERSION DATE
set -euo pipefail
changelog="$1" version="$2" date="$3"
entry_version="$(dpkg-parsechangelog -l "$changelog" -S Version)"
entry_date="$(date -u -d "$(dpkg-parsechangelog -l "$changelog" -S Date)" +%F)"
[ "$entry_version" = "$version" ] ||
    { echo "FAIL: the changelog's latest entry is $entry_version, the project $version" >&2; exit 1; }
[ "$entry_date" = "$date" ] ||
    { echo "FAIL: the changelog's latest entry is of $entry_date, the release of $date" >&2; exit 1; }
echo "the changelog names version $version of $date"
