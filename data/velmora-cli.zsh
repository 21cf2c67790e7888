#compdef velmora-cli
# zsh completion for velmora-cli

_arguments -s -S \
  '(-y --yes)'{-y,--yes}'[go on past the warning on a partly encrypted tree]' \
  '--trust-password[trust a password the names cannot check in full]' \
  '--on-problem=[answer to a problem with one entry]:answer:(ask skip abort)' \
  '(--password-file --password-fd)--password-stdin[read the password from the first line of standard input]' \
  '(--password-stdin --password-fd)--password-file=[read the password from the first line of FILE]:file:_files' \
  '(--password-stdin --password-file)--password-fd=[read the password from the first line of descriptor N]:descriptor:' \
  '--whole[encipher whole files whatever their extension]' \
  '--extensions=[extensions whose files get only their head enciphered]:extensions:' \
  '(- *)'{-h,--help}'[show the help]' \
  '(- *)'{-V,--version}'[show the version]' \
  '1:command:((encrypt\:"encrypt DIR" decrypt\:"decrypt DIR" open\:"decrypt DIR until Enter, then encrypt it again"))' \
  '2:directory:_files -/'
