#!/usr/bin/env bash
# Runs one stage of `make test` and prints how long it took, so a slow CI run
# shows where its time went: scripts/stage.sh <name> <command...>
set -uo pipefail
name=$1
shift
start=$(date +%s)
"$@"
rc=$?
echo "stage $name: $(($(date +%s) - start)) s$([ $rc -eq 0 ] || echo ", failed ($rc)")"
exit $rc
