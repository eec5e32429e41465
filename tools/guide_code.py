"""Write the Python code blocks of the guide (docs/*.md and README.md) as
one module per page: the page's hidden set-up code, then its blocks in page
order, so that the type checks run `mypy --strict` over the code that
readers copy.

    python tools/guide_code.py OUTPUT_FOLDER
"""
from __future__ import annotations

import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
PAGES = [*sorted((ROOT / "docs").glob("*.md")), ROOT / "README.md"]
BLOCK = re.compile(r"^```python\n(.*?)^```", re.M | re.S)
# A page whose code continues from names its prose sets up states them in a
# comment that readers do not see: <!-- type-check setup: ...\nCODE\n-->
SETUP = re.compile(r"^<!-- type-check setup:[^\n]*\n(.*?)^-->", re.M | re.S)


def page_code(page: pathlib.Path) -> str:
    text = page.read_text(encoding="utf-8")
    return "\n".join(SETUP.findall(text) + BLOCK.findall(text))


def main(argv: list[str]) -> int:
    folder = pathlib.Path(argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    for page in PAGES:
        code = page_code(page)
        if code:
            (folder / f"guide_{page.stem.lower()}.py").write_text(code, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
