// Replaced by the demo window.
