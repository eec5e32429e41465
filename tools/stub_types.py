"""The types that the C++ signatures cannot tell.

Every other type in the stubs comes from the module itself: each conversion
of the bridge names its Python type, and vorn_core._python_types() lists the
type of every attribute, parameter and result. Only what the C++ side holds
as a Python object of any kind ("Any") may be given a more precise type here;
tools/make_stubs.py refuses an entry that replaces anything else, or that the
module no longer has.
"""

OVERRIDES = {
    # plain dicts built by the bridge, typed below
    "validate": "_ValidationResult",
    "diff": "_FileDiffResult",
    "validate_with_positions": "_PositionedValidationResult",
    # type objects
    "_hidden_classes": "list[type]",
}

# The plain dicts that `validate`, `validate_with_positions` and `diff`
# return, as typed dicts. They exist only for type checking (names starting
# with an underscore are not looked for at run time).
TYPED_DICTS = '''\
class _ValidationError(TypedDict):
    type: str
    message: str
    path: NotRequired[str]

class _ValidationWarning(TypedDict):
    message: str
    path: NotRequired[str]

class _ValidationResult(TypedDict):
    valid: bool
    filepath: str
    errors: list[_ValidationError]
    warnings: list[_ValidationWarning]

class _PositionedValidationError(TypedDict):
    type: str
    message: str
    path: NotRequired[str]
    record: int | None
    line: int
    column: int

class _LoadFailure(TypedDict):
    message: str
    line: int | None
    column: int | None

class _PositionedValidationResult(TypedDict):
    valid: bool
    filepath: str
    errors: list[_PositionedValidationError]
    warnings: list[_ValidationWarning]
    load_error: _LoadFailure | None

class _FileDiffResult(TypedDict, total=False):
    """Either "error" alone (a file could not be loaded) or the summary and the six lists."""
    error: str
    summary: str
    nodes_added: list[str]
    nodes_removed: list[str]
    nodes_modified: list[str]
    links_added: list[str]
    links_removed: list[str]
    links_modified: list[str]
'''
