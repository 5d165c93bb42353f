// Replaced by the window's sources.
