"""Every public constructor, method, attribute setter and function of the
module, called with adversarial values (wrong types, extreme numbers, odd
strings, lying or raising sequences, objects whose conversions raise, other
classes' instances): only ordinary exceptions may come out, never an
internal fault or a crash.

The surface is enumerated from the module itself, so a class or function
added later is covered. The example count is small by default; set
VORN_HYPOTHESIS_PROFILE=long for a longer run.
"""
import inspect
import math
import os
import re

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import vorn_core as v

settings.register_profile("vorn-ci", max_examples=12, deadline=None, database=None,
                          suppress_health_check=list(HealthCheck))
settings.register_profile("long", max_examples=1500, deadline=None, database=None,
                          suppress_health_check=list(HealthCheck))
PROFILE = settings.get_profile(os.environ.get("VORN_HYPOTHESIS_PROFILE", "vorn-ci"))


# ---------------------------------------------------------------- hostile objects

class Lie(list):
    """A list whose length is whatever it is told."""
    def __init__(self, length, items=()):
        super().__init__(items)
        self.length = length

    def __len__(self):
        return self.length

    def __repr__(self):
        return f"Lie({self.length}, {[*list.__iter__(self)]!r})"


class Raises:
    """An object every conversion of which raises."""
    def __init__(self, error):
        self.error = error

    def _raise(self, *args):
        raise self.error

    __float__ = __index__ = __int__ = __len__ = __iter__ = __str__ = __hash__ = __eq__ = __bool__ = _raise

    def __repr__(self):
        return f"Raises({self.error!r})"


class RaisingSequence(list):
    def __iter__(self):
        yield from list.__iter__(self)
        raise RuntimeError("iteration broke")


class Weird:
    """Conversions that return the wrong type or an extreme value."""
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value

    def __float__(self):
        return self.value

    def __repr__(self):
        return f"Weird({self.value!r})"


class StrSub(str):
    def __eq__(self, other):
        raise ValueError("no comparing")

    __hash__ = str.__hash__


class FloatSub(float):
    pass


NUMBERS = [0, 1, -1, 2, 2**31, 2**32, -2**31 - 1, 2**63 - 1, 2**63, 2**64, -2**63 - 1, 2**200, True, False,
           0.0, -0.0, 0.5, -1.0, 1e308, -1e308, 5e-324, math.inf, -math.inf, math.nan, 1j]
TEXTS = ["", "A", "B", "C", "n0", "\x00", "A\x00B", "é☃𝄞", "\ud800", "x" * 300, "star", "ring", "mesh", "ghz",
         "graph", "telecom_backbone", "repeater_chain", "hybrid", StrSub("A")]
ODD_OBJECTS = [None, b"A", bytearray(b"A"), object(), set(), frozenset(), {}, [], (), range(3), Ellipsis,
               FloatSub(0.5), Weird(2**80), Weird(-1), Weird("A"), Weird(math.nan),
               Raises(ValueError("conversion")), Raises(TypeError("conversion")), Raises(OverflowError("big")),
               Raises(MemoryError()), Raises(RecursionError()),
               Lie(2**62, ["A"]), Lie(2**31), Lie(-1, ["A"]), Lie(2**100), RaisingSequence(["A", "B"])]


def chain_engine():
    engine = v.VornEngine()
    engine.define_network([v.NodeDefinition(n, 1.0) for n in "ABC"],
                          [v.LinkDefinition("A", "B", 10.0, 0.97, 1000.0),
                           v.LinkDefinition("B", "C", 10.0, 0.97, 1000.0, v.LinkType.Satellite,
                                            v.SatelliteConditions(0.9, 0.8))])
    return engine


def ensemble_samples():
    stats = chain_engine().simulate("A", "C", 0.5, 100.0, 2, seed=1)
    return [stats, stats._context]


def comparison_samples():
    report = v.compare_topologies([v.TopologyEndpoints("repeater_chain", "N0", "N3")], 0.5, 100.0, 1)
    return [report] + list(report.results)


# Objects that operations make (including classes that are not attributes of
# the module). Receivers are made afresh for every example, so one
# adversarial call never sees another's changes.
OPERATION_SAMPLES = [lambda: [chain_engine()], lambda: [chain_engine().request_entanglement("A", "C", 0.5, 100.0)],
                     ensemble_samples, comparison_samples]
MAKERS = {type(obj): make for make in OPERATION_SAMPLES for obj in make()}


def members_of(cls):
    return [m for m in vars(cls).values() if isinstance(m, cls)]


def module_classes():
    return [getattr(v, n) for n in v.__all__ if isinstance(getattr(v, n), type)]


def signature_of(obj):
    try:
        return list(inspect.signature(obj).parameters.values())
    except (TypeError, ValueError):
        return None


def surface_targets():
    """(kind, owner, attribute) of every function, constructor, method and
    attribute setter, from the module's own listing."""
    functions = {id(getattr(v, n)): n for n in reversed(v.__all__) if not isinstance(getattr(v, n), type)}
    targets = [("function", name, None) for name in v.__all__ if functions.get(id(getattr(v, name))) == name]
    for cls in module_classes() + [c for c in MAKERS if c not in module_classes()]:
        if signature_of(cls) is not None:
            targets.append(("construct", cls.__name__, None))
        for attr, member in vars(cls).items():
            if not attr.startswith("__") and not isinstance(member, cls):
                kind = "set" if inspect.isgetsetdescriptor(member) else "method"
                targets.append((kind, cls.__name__, attr))
    return targets


TARGETS = surface_targets()
CLASSES = {cls.__name__: cls for cls in module_classes() + list(MAKERS)}


def fresh(cls, plausible, pool):
    """A new instance of `cls` for one example (the shared sample when the
    plausible arguments do not make one)."""
    if cls in MAKERS:
        return next(obj for obj in MAKERS[cls]() if type(obj) is cls)
    if members_of(cls):
        return members_of(cls)[0]
    try:
        return cls(**plausible[("construct", cls.__name__, None)])
    except Exception:
        return pool[cls][0]


def target_callable(target, plausible, pool):
    """The target as a callable, and its parameters."""
    kind, owner, attr = target
    if kind == "function":
        return getattr(v, owner), signature_of(getattr(v, owner))
    cls = CLASSES[owner]
    if kind == "construct":
        return cls, signature_of(cls)
    if kind == "set":
        def set_one(value):
            obj = fresh(cls, plausible, pool)
            setattr(obj, attr, value)
            return getattr(obj, attr), obj  # read back and shown
        return set_one, [inspect.Parameter("value", inspect.Parameter.POSITIONAL_OR_KEYWORD)]
    return (lambda *args, **kwargs: getattr(fresh(cls, plausible, pool), attr)(*args, **kwargs),
            signature_of(getattr(fresh(cls, plausible, pool), attr)))


# ---------------------------------------------------------------- arguments that get past conversion

def solve(call, params, pool, tmp):
    """Arguments of the right types for `call`, found by trying candidates
    for the parameter that each conversion error names."""
    choices = ["A", 1.0, 1, True, ["A", "B"], {"A->B": 1}, [("A", "B")], "star", "ghz", "repeater_chain",
               os.path.join(tmp, "sample.vorn")]
    choices += [item for objs in pool.values() for item in (objs[0], [objs[0]])] + [None]
    chosen = {p.name: choices.index(SEMANTIC[p.name]) if p.name in SEMANTIC else 0 for p in params}
    for _ in range(60 * max(1, len(params))):
        args = {name: choices[i] for name, i in chosen.items()}
        try:
            call(**args)
            return args
        except Exception as error:
            named = re.match(r"argument '(\w+)'", str(error))
            name = named.group(1) if named else None
            if name is None and len(chosen) == 1 and isinstance(error, (TypeError, OverflowError)):
                name = next(iter(chosen))  # a setter's errors name no argument
            if name not in chosen or chosen[name] + 1 >= len(choices):
                return args  # failed for a reason other than a type: the types are right
            chosen[name] += 1
    return args


# Text parameters whose values are checked against a fixed set of names.
SEMANTIC = {"kind": "star", "coordination_topology": "star", "basis_type": "ghz"}

# Parameters that set how long a call runs: kept to small counts (the point
# is crashes, not run time), with the extremes that are refused at once.
BOUNDED_COUNTS = [-1, 0, 1, 2, 2**64, 2**200, -2**70, 1.5, "2", None, Weird(2**80), Raises(ValueError("count"))]
COUNT_PARAMETERS = {"runs", "rounds"}
PATH_PARAMETERS = {"filepath", "file1", "file2"}


def path_values(tmp):
    return [os.path.join(tmp, name) for name in ("sample.vorn", "snapshot.json", "garbage.txt", "new.out", "dir",
                                                  "missing/x", "link.vorn")] + ["", "\x00", "out\x00.vorn", "é☃"]


# Values are drawn as small trees of recipes and only built afterwards, so
# the hostile objects (whose __eq__, __hash__ or __len__ raise) never pass
# through the generator's own machinery.
def value_strategy(pool):
    leaves = NUMBERS + TEXTS + ODD_OBJECTS + [obj for objs in pool.values() for obj in objs]
    scalar = (st.integers(0, len(leaves) - 1).map(lambda i: ("leaf", i))
              | st.floats().map(lambda x: ("value", x)) | st.integers().map(lambda x: ("value", x)))
    keys = st.sampled_from(["A", "B", "A->B", "", "custom", 1, 2.5, None])
    return st.recursive(
        scalar,
        lambda inner: st.lists(inner, max_size=4).map(lambda xs: ("list", xs))
        | st.lists(inner, max_size=4).map(lambda xs: ("tuple", xs))
        | st.lists(st.tuples(keys, inner), max_size=3).map(lambda kv: ("dict", kv))
        | st.tuples(st.sampled_from([2**62, 2**31, -1, 0]), st.lists(inner, max_size=3)).map(lambda t: ("lie",) + t),
        max_leaves=6), leaves


def build(recipe, leaves):
    kind = recipe[0]
    if kind == "leaf":
        return leaves[recipe[1]]
    if kind in ("value", "just"):
        return recipe[1]
    if kind == "list":
        return [build(r, leaves) for r in recipe[1]]
    if kind == "tuple":
        return tuple(build(r, leaves) for r in recipe[1])
    if kind == "dict":
        return {key: build(r, leaves) for key, r in recipe[1]}
    return Lie(recipe[1], [build(r, leaves) for r in recipe[2]])


def argument_strategy(params, plausible, pool, tmp):
    """For each parameter, a recipe: its plausible value, or an adversarial one."""
    anything, leaves = value_strategy(pool)
    fields = {}
    for p in params:
        if p.name in COUNT_PARAMETERS:
            choice = st.sampled_from(range(len(BOUNDED_COUNTS))).map(lambda i: ("just", BOUNDED_COUNTS[i]))
        elif p.name in PATH_PARAMETERS:
            choice = st.sampled_from(path_values(tmp)).map(lambda x: ("value", x)) | anything
        else:
            choice = anything
        fields[p.name] = st.just(("just", plausible.get(p.name))) | choice
    # Now and then positional arguments, or an unknown keyword.
    return st.tuples(st.fixed_dictionaries(fields), st.sampled_from([{}, {}, {}, {"unknown": 1}]),
                     st.booleans()), leaves


# ---------------------------------------------------------------- the run

@pytest.fixture(scope="module")
def surface(tmp_path_factory):
    """Sample files, one instance of every reachable class, and plausible
    arguments for every target."""
    tmp = str(tmp_path_factory.mktemp("adversarial"))
    before = os.getcwd()
    os.chdir(tmp)  # relative paths that any string argument may form land here
    try:
        os.makedirs("dir")
        with open("garbage.txt", "w") as out:
            out.write("{not json")
        f = v.VornFile("sample")
        f.add_node("A")
        f.add_node("B")
        f.add_link("L", "A", "B", 1.0, 0.9, 10.0)
        f.save("sample.vorn")
        v.save_topology(chain_engine(), "snapshot.json")
        os.symlink("sample.vorn", "link.vorn")
        pool = {cls: members_of(cls) for cls in module_classes() if members_of(cls)}
        for make in OPERATION_SAMPLES:
            for obj in make():
                pool.setdefault(type(obj), [obj])
        plausible = {}
        for cls in module_classes():  # in module order: later classes take earlier ones
            if cls not in pool and signature_of(cls) is not None:
                target = ("construct", cls.__name__, None)
                plausible[target] = solve(cls, signature_of(cls), pool, tmp)
                try:
                    pool[cls] = [cls(**plausible[target])]
                except Exception:
                    pass
        for target in TARGETS:
            if target not in plausible:
                call, params = target_callable(target, plausible, pool)
                plausible[target] = solve(call, params, pool, tmp)
        yield tmp, pool, plausible
    finally:
        os.chdir(before)


def test_every_class_has_a_sample(surface):
    """A class added later must be reachable here, or it goes untested."""
    _, pool, _ = surface
    assert [cls.__name__ for cls in module_classes() if cls not in pool] == []


def ordinary(call):
    try:
        result = call()
    except Exception:
        return
    except BaseException as error:  # an internal fault, or anything else that escapes `except Exception`
        pytest.fail(f"{type(error).__module__}.{type(error).__qualname__}: {error}")
    try:
        repr(result)
    except Exception:
        pass


@pytest.mark.parametrize("target", TARGETS, ids=[":".join(filter(None, t)) for t in TARGETS])
def test_only_ordinary_exceptions(surface, target):
    tmp, pool, plausible = surface
    call, params = target_callable(target, plausible, pool)
    strategy, leaves = argument_strategy(params, plausible[target], pool, tmp)

    @PROFILE
    @given(strategy)
    def run(drawn):
        recipes, extra, positional = drawn
        extra = {} if target[0] == "set" else extra
        kwargs = {name: build(recipe, leaves) for name, recipe in recipes.items()}
        if positional:
            ordinary(lambda: call(*kwargs.values(), *extra.values()))
        else:
            ordinary(lambda: call(**kwargs, **extra))

    run()
