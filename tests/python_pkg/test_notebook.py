"""The example notebook runs from top to bottom in a fresh kernel (needs the
`notebook` extra: nbclient, nbformat, ipykernel; skipped without it)."""
import pathlib

import pytest

nbformat = pytest.importorskip("nbformat")
nbclient = pytest.importorskip("nbclient")
pytest.importorskip("ipykernel")
for module in ("matplotlib", "networkx", "pandas"):
    pytest.importorskip(module)

NOTEBOOK = pathlib.Path(__file__).resolve().parents[2] / "examples" / "first_hour.ipynb"


def test_notebook_runs_and_shows_readable_results(tmp_path):
    notebook = nbformat.read(NOTEBOOK, as_version=4)
    assert all(not cell.get("outputs") for cell in notebook.cells if cell.cell_type == "code"), \
        "the notebook is kept without outputs"
    nbclient.NotebookClient(notebook, timeout=600, kernel_name="python3",
                            resources={"metadata": {"path": str(tmp_path)}}).execute()
    outputs = [output for cell in notebook.cells if cell.cell_type == "code" for output in cell.outputs]
    assert not [output for output in outputs if output.output_type == "error"]
    shown = "\n".join(str(output.get("data", {}).get("text/plain", output.get("text", ""))) for output in outputs)
    assert "object at 0x" not in shown
    assert "EnsembleStats(runs=" in shown and "execution_path" in shown
    html = [output.data["text/html"] for output in outputs if "text/html" in output.get("data", {})]
    assert len(html) >= 3  # the network, the ensemble and the sweep frame as tables
    for picture in ("first_hour_usage.png", "first_hour_sweep.png"):
        assert (tmp_path / picture).read_bytes().startswith(b"\x89PNG")
