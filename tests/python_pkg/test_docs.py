"""The guide's links, anchors and pictures resolve, and the API reference
names everything both modules export."""
import pathlib
import re

import pytest

import vorn
import vorn_core

ROOT = pathlib.Path(__file__).resolve().parents[2]
PAGES = sorted((ROOT / "docs").glob("*.md")) + [ROOT / "README.md"]
LINK = re.compile(r"\]\(([^)\s]+)\)")


def anchors(page):
    """GitHub's heading anchors: lower case, punctuation dropped, spaces to hyphens."""
    headings = re.findall(r"^#+ (.+)$", page.read_text(encoding="utf-8"), re.M)
    return {re.sub(r"[^\w\- ]", "", h.strip().lower()).replace(" ", "-") for h in headings}


@pytest.mark.parametrize("page", PAGES, ids=[p.name for p in PAGES])
def test_links_resolve(page):
    for target in LINK.findall(page.read_text(encoding="utf-8")):
        if target.startswith(("http://", "https://")):
            continue
        path, _, anchor = target.partition("#")
        resolved = (page.parent / path).resolve() if path else page
        assert resolved.exists(), f"{page.name}: {target}"
        if anchor and resolved.suffix == ".md":
            assert anchor in anchors(resolved), f"{page.name}: {target}"


def test_api_reference_names_every_export():
    text = (ROOT / "docs" / "api.md").read_text(encoding="utf-8")
    missing = [name for name in [*vorn_core.__all__, *vorn.__all__] if f"`{name}" not in text]
    assert not missing
