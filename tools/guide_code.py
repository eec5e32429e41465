"""Write the Python code blocks of the guide's whole-program pages as one
module per page, its blocks in page order, so that the type checks run
`mypy --strict` over the code that readers copy.

    python tools/guide_code.py OUTPUT_FOLDER
"""
from __future__ import annotations

import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
# The pages whose code blocks form a whole program each (the other pages'
# blocks are fragments that continue from names set up in their prose).
PAGES = [ROOT / "docs" / "index.md", ROOT / "README.md"]
BLOCK = re.compile(r"^```python\n(.*?)^```", re.M | re.S)


def page_code(page: pathlib.Path) -> str:
    return "\n".join(BLOCK.findall(page.read_text(encoding="utf-8")))


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
