# The game's answers to its command line, from the real program: with no display, any
# window it tried to open would end it with status 1 instead.
# Usage: command_line_test.sh GAME VERSION
game=$1
unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER
expect() {  # STATUS PATTERN ARGUMENT: the game given ARGUMENT exits with STATUS, its output matching
  said=$("$game" "$3" 2>&1); status=$?
  case $status:$said in "$1":$2) ;; *) echo "quillfane $3: status $status, said: $said" >&2 && exit 1 ;; esac
}
expect 0 "Quillfane $2" --version
expect 0 "Usage: quillfane*Keys:*Esc*Exit status:*2  a wrong command line" --help
expect 2 "quillfane: unknown argument 'bogus'; try 'quillfane --help'" bogus
