# fish completion for velmora-cli

set -l commands encrypt decrypt open
complete -c velmora-cli -f
complete -c velmora-cli -n "not __fish_seen_subcommand_from $commands" -a encrypt -d 'Encrypt DIR'
complete -c velmora-cli -n "not __fish_seen_subcommand_from $commands" -a decrypt -d 'Decrypt DIR'
complete -c velmora-cli -n "not __fish_seen_subcommand_from $commands" -a open -d 'Decrypt DIR until Enter, then encrypt it again'
complete -c velmora-cli -n "__fish_seen_subcommand_from $commands" -a '(__fish_complete_directories)'
complete -c velmora-cli -s y -l yes -d 'Go on past the warning on a partly encrypted tree'
complete -c velmora-cli -l trust-password -d 'Trust a password the names cannot check in full'
complete -c velmora-cli -l on-problem -x -a 'ask skip abort' -d 'Answer to a problem with one entry'
complete -c velmora-cli -l password-stdin -d 'Read the password from standard input'
complete -c velmora-cli -l password-file -r -F -d 'Read the password from the first line of FILE'
complete -c velmora-cli -l password-fd -x -d 'Read the password from descriptor N'
complete -c velmora-cli -l whole -d 'Encipher whole files whatever their extension'
complete -c velmora-cli -l extensions -x -d 'Extensions whose files get only their head enciphered'
complete -c velmora-cli -s h -l help -d 'Show the help'
complete -c velmora-cli -s V -l version -d 'Show the version'
