#!/usr/bin/env bash
# Fails, naming them, when processes that the tests started are still running. tools/test.sh
# runs it after each ctest step and at its end, with SONARO_TEST_RUN exported before the
# tests: everything they start inherits it in its environment (Xvfb, PulseAudio, D-Bus,
# PostgreSQL, nginx, the programs, the test binaries), also what left the process tree.
#   tools/check-leftovers.sh [folder...]
# Also counted: orphans (adopted by process 1) started since the run began whose program or
# script lies in one of the folders (default: the repository), such as the build folders'
# programs. Without SONARO_TEST_RUN: any process whose program or script lies there, or whose
# command line names a folder the tests make (/tmp/sonaro-*). Never counted: this script and
# what it runs, its ancestors (tools/test.sh and whatever runs it), and processes of another
# run or of someone's tests running meanwhile. Leftovers get 5 s to finish ending first.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=tests/support/processes.sh
source "$root/tests/support/processes.sh"

folders=()
for folder in "${@:-$root}"; do folders+=("$(realpath -m "$folder")"); done
run="${SONARO_TEST_RUN:-}"
since=0
if [[ -n "$run" ]] && read -r _ _ _ since < <(process_table | grep "^${run%%:*} "); then :; fi

in_folders() {  # path
  local folder
  for folder in "${folders[@]}"; do [[ "$1" == "$folder"/* ]] && return 0; done
  return 1
}

# "pid: command line" when the process is a leftover. The program and, for an interpreter,
# the script it runs are what lies in a folder.
leftover() {  # pid ppid start
  local argv environ entries IFS=$'\x1f' exe
  { mapfile -d '' environ <"/proc/$1/environ"; } 2>/dev/null || return 1
  { mapfile -d '' argv <"/proc/$1/cmdline"; } 2>/dev/null || return 1
  ((${#argv[@]})) || return 1  # a kernel thread
  entries="$IFS${environ[*]}$IFS"
  if [[ -n "$run" ]]; then
    if [[ "$entries" != *"${IFS}SONARO_TEST_RUN=$run$IFS"* ]]; then
      [[ "$entries" == *"${IFS}SONARO_TEST_RUN="* ]] && return 1  # another run's
      (($2 == 1 && $3 >= since)) || return 1
      exe="$(readlink "/proc/$1/exe" 2>/dev/null || true)"
      in_folders "$exe" || in_folders "${argv[0]}" || in_folders "${argv[1]:-}" || return 1
    fi
  else
    [[ "$entries" == *"${IFS}SONARO_TEST_RUN="* ]] && return 1
    exe="$(readlink "/proc/$1/exe" 2>/dev/null || true)"
    in_folders "$exe" || in_folders "${argv[0]}" || in_folders "${argv[1]:-}" ||
      [[ "$IFS${argv[*]}" == *"/tmp/sonaro-"* ]] || return 1
  fi
  IFS=' '
  echo "$1: ${argv[*]}"
}

scan() {
  local -A skip=()
  local pid ppid state start line table
  # This shell's ancestors, and this shell with everything below it.
  skip[$$]=1
  mapfile -t table < <(process_table)
  local -A parent=()
  for line in "${table[@]}"; do
    read -r pid ppid _ <<<"$line"
    parent[$pid]=$ppid
  done
  pid=$$
  while [[ -n "${parent[$pid]:-}" && "$pid" != 0 ]]; do
    pid="${parent[$pid]}"
    skip[$pid]=1
  done
  for pid in $(processes_below $$); do skip[$pid]=1; done
  for line in "${table[@]}"; do
    read -r pid ppid state start <<<"$line"
    [[ -z "${skip[$pid]:-}" && "$state" != Z ]] || continue
    leftover "$pid" "$ppid" "$start" || true
  done
}

for ((round = 0; round < 10; round++)); do
  running="$(scan)"
  [[ -z "$running" ]] && exit 0
  sleep 0.5
done
echo "FAIL: processes of the tests are still running:"
echo "$running" | cut -c1-300 | sed 's/^/  /'
exit 1
