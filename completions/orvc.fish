# fish completion for orvc

set -l commands scan duplicates large-files dev-junk diff delete rm history restore version help

complete -c orvc -f
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -s h -l help -d 'Show the help'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -l version -d 'Show the version'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -a scan -d 'Largest entries of a folder'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -a duplicates -d 'Groups of byte-identical files'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -a large-files -d 'Large and old files'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -a dev-junk -d 'Developer caches and build output'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -a diff -d 'What dev-junk --apply would remove'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -a delete -d 'Move paths to the Trash'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -a rm -d 'Move paths to the Trash'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -a history -d 'Recorded runs and what is still in the Trash'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -a restore -d 'Put items back from the Trash'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -a version -d 'Show the version'
complete -c orvc -n "not __fish_seen_subcommand_from $commands" -a help -d 'Show the help'

# Progress and JSON output, on every command that does long work.
complete -c orvc -n '__fish_seen_subcommand_from scan duplicates large-files dev-junk diff delete rm history restore' -l json -d 'Print one JSON document'
complete -c orvc -n '__fish_seen_subcommand_from scan duplicates large-files dev-junk diff delete rm restore' -s q -l quiet -d 'Show no progress line'
complete -c orvc -n '__fish_seen_subcommand_from scan duplicates large-files dev-junk diff delete rm restore' -l progress -d 'Show the progress line even with --json'

complete -c orvc -n '__fish_seen_subcommand_from scan duplicates large-files history' -l path -x -a '(__fish_complete_directories)' -d 'Folder'
complete -c orvc -n '__fish_seen_subcommand_from duplicates large-files dev-junk' -l apply -d 'Move to the Trash'
complete -c orvc -n '__fish_seen_subcommand_from duplicates large-files dev-junk diff restore' -l dry-run -d 'Only report'
complete -c orvc -n '__fish_seen_subcommand_from duplicates' -l include-tracked -d 'With --apply, move copies tracked by Git too'
complete -c orvc -n '__fish_seen_subcommand_from large-files' -l threshold -x -d 'Smallest size (MB)'
complete -c orvc -n '__fish_seen_subcommand_from large-files' -l age -x -d 'Days since the last change'
complete -c orvc -n '__fish_seen_subcommand_from dev-junk' -l older -x -d 'Only projects untouched for this many days'
complete -c orvc -n '__fish_seen_subcommand_from restore' -l to -x -a '(__fish_complete_directories)' -d 'Put every item into this folder'
complete -c orvc -n '__fish_seen_subcommand_from delete rm restore' -F
