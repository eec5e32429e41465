"""Cost of the safe save (write a new file, sync it, rename it over the
target) and of the conversions that hold every item they walk. Prints
figures and ratios; asserts nothing.

    python bench/saving.py
"""
import os
import tempfile

from timing import best_of

import vorn_core as vc


def _best_seconds(repeats, action):
    return best_of(repeats, action)[0]


def network_file(nodes):
    f = vc.VornFile("bench")
    for i in range(nodes):
        f.add_node(f"n{i}", 100.0, 4)
        if i:
            f.add_link(f"L{i}", f"n{i - 1}", f"n{i}", 10.0, 0.95, 1000.0)
    return f


def main():
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "net.vorn")
        for nodes in (10, 1000, 10000):
            f = network_file(nodes)
            save = _best_seconds(5, lambda: f.save(path))
            data = open(path, "rb").read()

            def plain_write():
                with open(os.path.join(tmp, "plain.vorn"), "wb") as out:
                    out.write(data)

            def plain_synced_write():
                with open(os.path.join(tmp, "plain.vorn"), "wb") as out:
                    out.write(data)
                    out.flush()
                    os.fsync(out.fileno())

            plain = _best_seconds(5, plain_write)
            synced = _best_seconds(5, plain_synced_write)
            print(f"save {nodes:>6} nodes ({len(data) / 1024:8.1f} KiB): {save * 1e3:8.2f} ms; "
                  f"python write {plain * 1e3:6.2f} ms (x{save / plain:6.1f}), "
                  f"python write+fsync {synced * 1e3:6.2f} ms (x{save / synced:5.2f})")

    heat = {f"n{i}->n{i + 1}": i for i in range(100_000)}
    convert = _best_seconds(5, lambda: vc.MonteCarloStats(1, 1.0, 1.0, 1.0, 0, heat))
    copy = _best_seconds(5, lambda: dict(heat))
    print(f"map of 100000 entries: {convert * 1e3:.2f} ms (x{convert / copy:.1f} a dict copy)")

    nodes = [vc.NodeDefinition(f"n{i}", 1.0) for i in range(100_000)]
    convert = _best_seconds(5, lambda: vc.NetworkTopologyPayload(nodes, []))
    copy = _best_seconds(5, lambda: list(nodes))
    print(f"sequence of 100000 records: {convert * 1e3:.2f} ms (x{convert / copy:.1f} a list copy)")

    custom = {"custom": [{"k": [i, float(i), str(i)]} for i in range(20_000)]}
    f = vc.VornFile("custom")
    f.extensions = custom
    with tempfile.TemporaryDirectory() as tmp:
        save = _best_seconds(5, lambda: f.save(os.path.join(tmp, "c.vorn")))
    print(f"save with 20000 custom entries: {save * 1e3:.2f} ms")


if __name__ == "__main__":
    main()
