// Replaced by the controls' sources.
