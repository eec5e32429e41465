"""Readable displays: the vorn values and the engine's records that vorn
returns print as tables of their fields, in text and in notebook HTML, and
vorn values keep value equality through copies."""
import copy
import html.parser

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import vorn
from vorn import _display
from vorn.data import to_dict
from vorn.parallel import InlineExecutor

NET = vorn.builtin("telecom_backbone")


class _Cells(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.cells, self._open = [], False

    def handle_starttag(self, tag, attrs):
        self._open = tag in ("td", "th")
        if self._open:
            self.cells.append("")

    def handle_data(self, data):
        if self._open:
            self.cells[-1] += data


def cells(markup):
    parser = _Cells()
    parser.feed(markup)
    return parser.cells


def results():
    stats = vorn.simulate(NET, "A", "C", 0.9, 100.0, 50, seed=3, executor=InlineExecutor())
    report = vorn.compare([("repeater_chain", "N0", "N3"), ("telecom_backbone", "A", "E")], 0.8, 100.0, 20,
                          executor=InlineExecutor())
    return [NET.request("A", "C", 0.9, 100.0), NET.simulate("A", "C", 0.9, 100.0, 20, seed=1), stats, report]


@pytest.mark.parametrize("value", results(), ids=lambda v: type(v).__name__)
def test_text_and_html_show_every_field(value):
    text, markup = vorn.describe(value), _display.html(value)
    assert "object at 0x" not in text
    if type(value).__name__ == "TopologyComparisonReport":
        for result in value.results:
            assert result.topology_name in text and result.topology_name in cells(markup)
        assert value.summary in text
        return
    data = to_dict(value)
    shown = cells(markup)
    for name, item in data.items():
        assert name in shown
        assert _display._value_text(item) in shown  # the HTML cell is the text table's cell
        assert name in text


def test_ensemble_stats_repr_is_short_and_copies_compare_equal():
    stats = vorn.simulate(NET, "A", "E", 0.8, 100.0, 40, seed=5, executor=InlineExecutor())
    assert repr(stats).startswith("EnsembleStats(runs=40, success_rate=")
    assert "link_utilization_heatmap" not in repr(stats)
    assert "<table>" in stats._repr_html_()
    assert stats == copy.deepcopy(stats) and stats == copy.copy(stats)
    assert NET == copy.deepcopy(NET) and "<table>" in NET._repr_html_()


@settings(max_examples=30, deadline=None)
@given(st.lists(st.text(min_size=1, max_size=6), min_size=2, max_size=30, unique=True),
       st.floats(0.01, 1.0))
def test_network_html_escapes_ids_and_cuts_long_tables(ids, fidelity):
    nodes = tuple(vorn.Node(i) for i in ids)
    links = tuple(vorn.Link(a, b, 1.0, fidelity, 10.0) for a, b in zip(ids, ids[1:]))
    net = vorn.Network(nodes, links)
    shown = cells(net._repr_html_())
    header = 6
    kept = min(len(links), _display.MAX_ROWS)
    assert len(shown) == header + 6 * kept
    assert shown[header::6] == [link.from_node for link in links[:kept]]  # ids come back unescaped
    text = vorn.describe(net)
    assert (_display.LEFT_OUT.format(count=len(links) - kept) in text) == (len(links) > kept)


def test_ipython_displays_the_engines_records():
    pytest.importorskip("IPython")
    from IPython.core.interactiveshell import InteractiveShell

    shell = InteractiveShell.instance()
    try:
        _display.register_ipython()
        result = NET.request("A", "C", 0.9, 100.0)
        formatted, _ = shell.display_formatter.format(result)
        assert formatted["text/plain"] == vorn.describe(result)
        assert formatted["text/html"] == _display.html(result)
        qkd = NET.qkd("A", "C", 0.9, 100.0)  # a designed repr stays the display
        assert shell.display_formatter.format(qkd)[0]["text/plain"] == repr(qkd)
    finally:
        InteractiveShell.clear_instance()
