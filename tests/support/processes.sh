# shellcheck shell=bash
# Sourced by the test and benchmark scripts, so that nothing they start outlives them:
#   source tests/support/processes.sh
#   tag_started_processes      # before starting anything: tags what follows, exits on signals
#   trap cleanup EXIT          # where cleanup calls end_started_processes
# A background job, a command substitution's child and a daemon that left the process tree
# (pulseaudio -D, dbus-launch's bus, pg_ctl's server) are all found: by ancestry, or by the tag
# that every process started afterwards inherits in its environment.
# tools/check-leftovers.sh reads the process table the same way. Reads /proc only, so that it
# still works while a trap runs.

# "pid ppid state start" for every process (start: clock ticks after boot).
process_table() {
  local stat line
  for stat in /proc/[0-9]*/stat; do
    { read -r line <"$stat"; } 2>/dev/null || continue
    # The name, in parentheses, may hold spaces and parentheses itself.
    # shellcheck disable=SC2086
    set -- ${line##*) }
    echo "${line%% *} $2 $1 ${20:-0}"
  done
}

processes_below() {  # pid: every process below it
  local -A children=()
  local pid ppid rest queue found=()
  while read -r pid ppid rest; do children[$ppid]+=" $pid"; done < <(process_table)
  queue=("$1")
  while ((${#queue[@]})); do
    for pid in ${children[${queue[0]}]:-}; do
      found+=("$pid")
      queue+=("$pid")
    done
    queue=("${queue[@]:1}")
  done
  echo "${found[@]}"
}

processes_tagged() {  # NAME=VALUE: every process with it in its environment
  local environ entries IFS=$'\x1f'
  for environ in /proc/[0-9]*/environ; do
    { mapfile -d '' entries <"$environ"; } 2>/dev/null || continue
    [[ "$IFS${entries[*]}$IFS" == *"$IFS$1$IFS"* ]] || continue
    environ="${environ#/proc/}"
    echo "${environ%/environ}"
  done
}

process_alive() {  # pid: running (a zombie has ended)
  local line
  { read -r line <"/proc/$1/stat"; } 2>/dev/null || return 1
  line="${line##*) }"
  [[ "${line:0:1}" != Z ]]
}

end_processes() {  # pid...: TERM, and KILL for whatever still runs 5 s later
  local pid left=() i
  for pid in "$@"; do
    [[ "$pid" != "$$" && "$pid" != "$BASHPID" ]] && process_alive "$pid" && left+=("$pid")
  done
  ((${#left[@]})) || return 0
  kill -TERM "${left[@]}" 2>/dev/null || true
  for ((i = 0; i < 50; i++)); do
    for pid in "${!left[@]}"; do process_alive "${left[pid]}" || unset 'left[pid]'; done
    ((${#left[@]})) || return 0
    sleep 0.1
  done
  kill -KILL "${left[@]}" 2>/dev/null || true
}

tag_started_processes() {
  # Once per shell; a script started by a tagged one tags its own.
  [[ "${_processes_tagged_by:-}" == "$$" ]] && return 0
  _processes_tagged_by=$$
  export SONARO_STARTED_BY="$$.$RANDOM$RANDOM"
  # Signals end the script through its EXIT trap.
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

end_started_processes() {
  local below tagged=()
  below="$(processes_below $$)"
  # Only this shell's own tag: an inherited one also marks the processes of its parent.
  if [[ "${_processes_tagged_by:-}" == "$$" ]]; then
    mapfile -t tagged < <(processes_tagged "SONARO_STARTED_BY=$SONARO_STARTED_BY")
  fi
  # shellcheck disable=SC2086
  end_processes $below "${tagged[@]}"
}
