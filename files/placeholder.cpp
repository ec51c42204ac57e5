// Replaced by the settings file and report code.
