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
                assert f'pip install ".[{extra}]"' in str(error) and "vorn_core[" not in str(error), error
            else:
                raise AssertionError("no ImportError")
        print("ok")
    ''')
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=120)
    assert done.stdout.strip() == "ok", done.stderr


def test_install_hint_names_the_packages_of_the_extra(monkeypatch):
    from vorn import _optional

    declared = ['pandas>=1.5; extra == "frames"', 'matplotlib>=3.6; extra == "plot"',
                'matplotlib>=3.6; extra == "all"', 'dask[distributed]>=2023.1 ; extra == \'dask\'']
    monkeypatch.setattr(_optional.importlib.metadata, "requires", lambda name: declared)
    assert _optional.extra_requirements("plot") == ["matplotlib>=3.6"]
    assert _optional.extra_requirements("dask") == ["dask[distributed]>=2023.1"]
    message = _optional.missing_message("matplotlib", "plot")
    assert message.startswith('matplotlib is needed for this function: pip install "matplotlib>=3.6" (the "plot"')
    assert 'pip install ".[plot]"' in message and '.whl[plot]"' in message

    def not_installed(name):
        raise _optional.importlib.metadata.PackageNotFoundError(name)

    monkeypatch.setattr(_optional.importlib.metadata, "requires", not_installed)
    assert _optional.missing_message("tqdm", "progress").startswith('tqdm is needed for this function: pip install "tqdm"')
