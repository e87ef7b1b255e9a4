# The game's answers to its command line, from the real program: with no display, any
# window it tried to open would end it with status 1 instead.
# Usage: command_line_test.sh GAME VERSION
game=$1
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER
expect() {  # STATUS PATTERN ARGUMENT...: the game given the arguments exits with STATUS, its output matching
  want=$1 pattern=$2 && shift 2
  said=$("$game" "$@" 2>&1); status=$?
  case $status:$said in "$want":$pattern) ;; *) echo "quillfane $*: status $status, said: $said" >&2 && exit 1 ;; esac
}
expect 0 "Quillfane $2" --version
expect 0 "Usage: quillfane*Keys:*Esc*Exit status:*2  a wrong command line" --help
expect 2 "quillfane: unknown argument 'bogus'; try 'quillfane --help'" bogus
# Arguments after --help or --version are refused too, each by its own name.
for line in "--help x" "--version --help" "-h y z" "bogus -h"; do
  set -- $line && [ "$1" = bogus ] && wrong=$1 || wrong=$2
  expect 2 "quillfane: unknown argument '$wrong'; try 'quillfane --help'" $line
done
