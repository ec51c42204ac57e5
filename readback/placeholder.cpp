// Replaced by the read-back code.
