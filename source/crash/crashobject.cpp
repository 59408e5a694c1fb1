// crash test command
