"""`import vorn` works without any optional dependency, and a function that
needs one names the extra to install."""

import subprocess
import sys
import textwrap


def test_without_optional_dependencies():
    script = textwrap.dedent('''
        import sys
        class Block:
            def find_spec(self, name, path=None, target=None):
                if name.split(".")[0] in {"pandas", "networkx", "matplotlib", "tqdm", "dask", "distributed"}:
                    raise ImportError(f"blocked {name}")
        sys.meta_path.insert(0, Block())
        import pickle, vorn
        from concurrent.futures import ThreadPoolExecutor
        net = pickle.loads(pickle.dumps(vorn.builtin("repeater_chain")))
        stats = vorn.simulate(net, "N0", "N3", 0.8, 100.0, 50, seed=1, executor=ThreadPoolExecutor(2),
                              chunk_runs=20, progress=True)
        assert stats.total_runs == 50 and vorn.to_dict(stats)["seed"] == 1
        for call, extra in [(lambda: vorn.to_frame(stats), "frames"), (net.to_networkx, "networkx"),
                            (lambda: vorn.sweep(net, {}, 1), "frames")]:
            try:
                call()
            except ImportError as error:
                assert f'pip install "vorn_core[{extra}]"' in str(error), error
            else:
                raise AssertionError("no ImportError")
        print("ok")
    ''')
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=120)
    assert done.stdout.strip() == "ok", done.stderr
