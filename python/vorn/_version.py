"""The version of the vorn_core distribution, kept in this one place: the
build reads it from here into the package metadata (pyproject.toml), and
`vorn.__version__` is this value."""

__version__ = "0.1.0"
