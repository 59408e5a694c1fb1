// The command-line scan of host message 1002.
