#!/usr/bin/env bash
# The scripts' clean-up (tests/support/processes.sh) and tools/check-leftovers.sh, on sleeping
# stand-ins: a script that ends, fails or is ended by TERM leaves nothing running, neither its
# background job, nor a command substitution's child, nor a daemon that left its process tree;
# and the check names a process that is left behind.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/processes.sh"
check="$here/../../tools/check-leftovers.sh"
work="$(mktemp -d)"
# A run of its own, so that the check sees only this test's processes; whatever the check
# finds is ended here, so that a failure leaves nothing either.
export SONARO_TEST_RUN="$$:processes-test"
cleanup() {
  # shellcheck disable=SC2046
  end_processes $(processes_tagged "SONARO_TEST_RUN=$SONARO_TEST_RUN")
  rm -rf "$work"
}
trap cleanup EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

cat >"$work/script.sh" <<EOF
set -euo pipefail
source "$here/processes.sh"
tag_started_processes
trap end_started_processes EXIT
sleep 600 &
started="\$(sleep 600 >/dev/null 2>&1 & echo yes)"
setsid sh -c 'sleep 600 &' </dev/null >/dev/null 2>&1
echo ready
case "\$1" in
  fail) false ;;
  wait) sleep 600 & wait \$! ;;
esac
EOF

for how in end fail wait; do
  status=0
  if [[ "$how" == wait ]]; then
    bash "$work/script.sh" "$how" >"$work/out" &
    script=$!
    for _ in $(seq 100); do grep -q ready "$work/out" && break; sleep 0.05; done
    kill -TERM "$script"
    wait "$script" || status=$?
  else
    bash "$work/script.sh" "$how" >"$work/out" || status=$?
  fi
  expected=0
  [[ "$how" == fail ]] && expected=1
  [[ "$how" == wait ]] && expected=143
  [[ "$status" == "$expected" ]] || fail "$how: exit status $status, not $expected"
  if bash "$check" "$work" >"$work/check"; then
    echo "$how: exit status $status, nothing left"
  else
    fail "$how: $(cat "$work/check")"
    # shellcheck disable=SC2046
    end_processes $(processes_tagged "SONARO_TEST_RUN=$SONARO_TEST_RUN")
  fi
done

# A daemon nobody ends is named.
setsid sh -c 'sleep 601 & echo $! >"$1"' sh "$work/left" </dev/null >/dev/null 2>&1
left="$(cat "$work/left")"
if bash "$check" "$work" >"$work/check"; then
  fail "the check missed a daemon left running"
else
  if grep -q "^  $left: sleep 601$" "$work/check"; then
    echo "a daemon left running is named: $(grep sleep "$work/check")"
  else
    fail "the check does not name it: $(cat "$work/check")"
  fi
fi
exit "$failed"
