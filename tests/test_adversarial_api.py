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


def build_pool():
    """One instance of every class that can be reached: constructed by
    guessed arguments, made by operations, or an enumeration member."""
    pool = {}
    for cls in module_classes():
        members = [m for m in vars(cls).values() if isinstance(m, cls)]
        if members:
            pool[cls] = members
    for make in OPERATION_SAMPLES:
        for obj in make():
            pool.setdefault(type(obj), []).append(obj)
    for cls in module_classes():
        if cls not in pool and has_signature(cls):
            args = solve(cls, parameters(cls), pool)
            try:
                pool[cls] = [cls(**args)]
            except Exception:
                pass
    return pool


def chain_engine():
    engine = v.VornEngine()
    engine.define_network([v.NodeDefinition(n, 1.0) for n in "ABC"],
                          [v.LinkDefinition("A", "B", 10.0, 0.97, 1000.0),
                           v.LinkDefinition("B", "C", 10.0, 0.97, 1000.0, v.LinkType.Satellite,
                                            v.SatelliteConditions(0.9, 0.8))])
    return engine


def engine_samples():
    return [chain_engine()]


def request_samples():
    return [chain_engine().request_entanglement("A", "C", 0.5, 100.0)]


def ensemble_samples():
    stats = chain_engine().simulate("A", "C", 0.5, 100.0, 2, seed=1)
    return [stats, stats._context]


def comparison_samples():
    report = v.compare_topologies([v.TopologyEndpoints("repeater_chain", "N0", "N3")], 0.5, 100.0, 1)
    return [report] + list(report.results)


# Objects that only operations make (receivers are made afresh per example
# from the same list, so one adversarial call never sees another's changes).
OPERATION_SAMPLES = [engine_samples, request_samples, ensemble_samples, comparison_samples]


def module_classes():
    return [getattr(v, n) for n in v.__all__ if isinstance(getattr(v, n), type)]


def module_functions():
    seen, result = set(), []
    for name in v.__all__:
        obj = getattr(v, name)
        if not isinstance(obj, type) and id(obj) not in seen:
            seen.add(id(obj))
            result.append((name, obj))
    return result


def has_signature(obj):
    try:
        inspect.signature(obj)
        return True
    except (TypeError, ValueError):
        return False


def parameters(obj, skip_self=False):
    params = list(inspect.signature(obj).parameters.values())
    return params[1:] if skip_self and params and params[0].name == "self" else params


# ---------------------------------------------------------------- arguments that get past conversion

def candidates(pool, tmp):
    values = ["A", 1.0, 1, True, ["A", "B"], {"A->B": 1}, [("A", "B")], "star", "ghz", "repeater_chain",
              os.path.join(tmp, "sample.vorn")]
    for objs in pool.values():
        values.append(objs[0])
        values.append([objs[0]])
    values.append(None)
    return values


def solve(call, params, pool, tmp=None):
    """Arguments of the right types for `call`, found by trying candidates
    for the parameter that each conversion error names."""
    tmp = tmp or os.getcwd()
    choices = candidates(pool, tmp)
    chosen = {p.name: choices.index(SEMANTIC[p.name]) if p.name in SEMANTIC else 0 for p in params}
    for _ in range(60 * max(1, len(params))):
        args = {name: choices[i] for name, i in chosen.items()}
        try:
            call(**args)
            return args
        except Exception as error:
            named = re.match(r"argument '(\w+)'", str(error))
            if not named or named.group(1) not in chosen or chosen[named.group(1)] + 1 >= len(choices):
                return args  # failed for a reason other than a type: the types are right
            chosen[named.group(1)] += 1
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


# ---------------------------------------------------------------- the surface as targets

def fresh(cls):
    """A new instance of `cls` for one example."""
    if cls in SURFACE.makers:
        return next(obj for obj in SURFACE.makers[cls]() if type(obj) is cls)
    members = [m for m in vars(cls).values() if isinstance(m, cls)]
    if members:
        return members[0]
    try:
        return cls(**SURFACE.plausible[("construct", cls.__name__)])
    except Exception:
        return SURFACE.pool[cls][0]


class Surface:
    def __init__(self):
        self.tmp = None
        self.pool = None
        self.plausible = {}
        self.makers = {}

    def setup(self, tmp):
        self.tmp = tmp
        os.makedirs(os.path.join(tmp, "dir"), exist_ok=True)
        with open(os.path.join(tmp, "garbage.txt"), "w") as out:
            out.write("{not json")
        self.pool = build_pool()
        self.makers = {type(obj): make for make in OPERATION_SAMPLES for obj in make()}
        f = v.VornFile("sample")
        f.add_node("A")
        f.add_node("B")
        f.add_link("L", "A", "B", 1.0, 0.9, 10.0)
        f.save(os.path.join(tmp, "sample.vorn"))
        v.save_topology(chain_engine(), os.path.join(tmp, "snapshot.json"))
        if not os.path.lexists(os.path.join(tmp, "link.vorn")):
            os.symlink("sample.vorn", os.path.join(tmp, "link.vorn"))
        for kind, owner, name, call, params in self.enumerate():
            self.plausible[(kind, owner, name) if name else (kind, owner)] = solve(call, params, self.pool, tmp)

    def enumerate(self):
        """(kind, owner, name, a callable taking keyword arguments, its parameters) for every target."""
        for name, function in module_functions():
            yield "function", name, None, function, parameters(function)
        classes = module_classes() + [cls for cls in self.pool if cls not in module_classes()]
        for cls in classes:
            if has_signature(cls):
                yield "construct", cls.__name__, None, cls, parameters(cls)
            for attr, member in vars(cls).items():
                if attr.startswith("__") or isinstance(member, cls):
                    continue
                if inspect.isgetsetdescriptor(member) or inspect.ismemberdescriptor(member):
                    def set_one(value, cls=cls, attr=attr):
                        obj = fresh(cls)
                        setattr(obj, attr, value)
                        return getattr(obj, attr), obj  # read back and shown
                    yield "set", cls.__name__, attr, set_one, [inspect.Parameter("value", inspect.Parameter.KEYWORD_ONLY)]
                else:
                    bound = getattr(fresh(cls), attr)

                    def call_one(*args, cls=cls, attr=attr, **kwargs):
                        return getattr(fresh(cls), attr)(*args, **kwargs)
                    yield "method", cls.__name__, attr, call_one, parameters(bound)


SURFACE = Surface()


def target_ids():
    # Collected before the fixtures run: names only, from the module's own listing.
    ids = [("function", name, None) for name, _ in module_functions()]
    hidden = [type(obj) for make in OPERATION_SAMPLES for obj in make()]
    for cls in module_classes() + [c for c in dict.fromkeys(hidden) if c not in module_classes()]:
        if has_signature(cls):
            ids.append(("construct", cls.__name__, None))
        for attr, member in vars(cls).items():
            if attr.startswith("__") or isinstance(member, cls):
                continue
            kind = "set" if inspect.isgetsetdescriptor(member) or inspect.ismemberdescriptor(member) else "method"
            ids.append((kind, cls.__name__, attr))
    return ids


TARGETS = target_ids()


@pytest.fixture(scope="module")
def surface(tmp_path_factory):
    tmp = str(tmp_path_factory.mktemp("adversarial"))
    before = os.getcwd()
    os.chdir(tmp)  # relative paths that any string argument may form land here
    try:
        SURFACE.setup(tmp)
        SURFACE.callables = {(k, o, n): (c, p) for k, o, n, c, p in SURFACE.enumerate()}
        yield SURFACE
    finally:
        os.chdir(before)


def test_every_class_has_a_sample(surface):
    """A class added later must be reachable here, or it goes untested."""
    missing = [cls.__name__ for cls in module_classes() if cls not in surface.pool]
    assert missing == []


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


@pytest.mark.parametrize("kind,owner,name", TARGETS, ids=[":".join(filter(None, t)) for t in TARGETS])
def test_only_ordinary_exceptions(surface, kind, owner, name):
    call, params = surface.callables[(kind, owner, name)]
    plausible = surface.plausible[(kind, owner, name) if name else (kind, owner)]

    strategy, leaves = argument_strategy(params, plausible, surface.pool, surface.tmp)

    @PROFILE
    @given(strategy)
    def run(drawn):
        recipes, extra, positional = drawn
        kwargs = {name: build(recipe, leaves) for name, recipe in recipes.items()}
        if kind == "set":
            ordinary(lambda: call(kwargs["value"]))
        elif positional:
            ordinary(lambda: call(*kwargs.values(), *extra.values()))
        else:
            ordinary(lambda: call(**kwargs, **extra))

    run()
