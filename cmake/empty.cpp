// Stands in for a folder of the core that has no sources of its own yet.
