"""The command's parts: arguments, files, the run, its table and plot."""
