// Replaced by the simulated module.
