"""The expression language: its names, parser, compiler and SymPy input."""
