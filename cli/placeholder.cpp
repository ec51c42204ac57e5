// Replaced by the command-line companion.
