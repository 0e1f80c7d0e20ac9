#!/usr/bin/env bash
# Runs the store's Secret Service test against a real one: gnome-keyring on a private session
# bus (dbus-run-session), with its keyring in a temporary home that is removed afterwards.
# Usage: secret_service_test.sh STORE_TESTS
set -euo pipefail
store_tests=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 0700 "$home/run"
export HOME=$home XDG_DATA_HOME=$home/share XDG_CONFIG_HOME=$home/config \
    XDG_CACHE_HOME=$home/cache XDG_RUNTIME_DIR=$home/run
unset DISPLAY WAYLAND_DISPLAY
# The daemon unlocks (and creates) the login keyring with the password on its stdin, and
# ends with the bus when dbus-run-session ends.
exec dbus-run-session -- bash -c '
    printf "%s" quillon-test | gnome-keyring-daemon --unlock --components=secrets \
        --daemonize >/dev/null
    QUILLON_TEST_SECRET_SERVICE=1 "$0" --gtest_filter="SecretStore.*"
' "$store_tests" 2>&1 | grep -v "Failed to set fd limit"
