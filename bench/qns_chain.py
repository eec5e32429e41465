"""The repeater chain of bench/peers.py as a protocol of our own on qns's
timeline, for a speed comparison with qns that does the same work as the
physical model.

Every node is a qns QNode with one QuantumMemory of capacity 1 for each side
it has a hop on (T2 = 1 / the memory's decoherence rate), and runs one
SwapAsapApp. Hop i joins node i and node i + 1 by a QuantumChannel (the
fiber's delay, losing the photon with probability 1 - p) and a
ClassicChannel of the same delay; one more ClassicChannel joins the end
nodes with the delay of the whole route. A run goes:

- Node i's source fires one period after the run starts and every period
  after that (a SourceTick event each time) until hop i holds a pair. Each
  firing makes a Werner pair of the base fidelity, keeps one half in node
  i's right memory and sends the other through the hop's channel; the half
  kept from the previous firing, never heralded, is discarded first.
- Node i + 1 stores a photon that arrives in its left memory and sends a
  herald back; it reaches node i one round trip after the firing, and from
  then the hop holds its pair.
- A node that holds a pair on each side swaps at once (qns's Werner
  swapping, w = w1 w2); the new pair replaces the far halves in the memories
  of the two far nodes.
- Swaps tell no one: as in the physical model, no node waits for the news
  of another's swap. At the instant the end nodes share one pair, the first
  signals over the route-long channel; on the signal the last node reads both halves (each half decays by
  exp(-t / T2) for its time in memory, by qns's store-error model), counts
  the pair, frees the memories and starts the next run.

So a run delivers one period x the attempts the slowest hop needs, plus one
round trip, plus the route's signalling time after it starts: the physical
model's time plus the round trip, since that model's hop holds its pair at
the end of the successful attempt's period.
"""
from qns.entity.cchannel.cchannel import ClassicChannel, ClassicPacket, RecvClassicPacket
from qns.entity.memory.memory import QuantumMemory
from qns.entity.node.app import Application
from qns.entity.node.node import QNode
from qns.entity.qchannel.qchannel import QuantumChannel, RecvQubitPacket
from qns.models.epr import WernerStateEntanglement
from qns.network.network import QuantumNetwork
from qns.simulator.event import Event
from qns.simulator.simulator import Simulator
from qns.utils.rnd import set_seed

HERALD, DELIVERED = "herald", "delivered"


def store(memory, pair):
    if not memory.write(pair):
        raise RuntimeError(f"{memory} is full: a pair was never freed")


def take(memory, pair):
    """Reads the pair's half out of the memory, which applies its decay."""
    if memory.read(pair) is None:
        raise RuntimeError(f"{memory} does not hold the pair it should")


class SourceTick(Event):
    """A hop's photon source fires at its node."""

    def __init__(self, node, t):
        super().__init__(t=t, name="source tick", by=node)
        self.node = node

    def invoke(self):
        self.node.handle(self)


class ChainRuns:
    """The chain's apps from first node to last, and what its runs did:
    attempts and heralds over all hops, and the delivery time (ms from the
    run's start) and fidelity of every delivered pair."""

    def __init__(self):
        self.apps = []
        self.attempts = 0
        self.heralds = 0
        self.delivery_ms = []
        self.fidelities = []
        self.run_start = None

    def start_run(self, simulator):
        self.run_start = simulator.tc
        for app in self.apps[:-1]:
            app.start_source()


class SwapAsapApp(Application):
    """One node's part of the chain: the source of the hop to its right, the
    receiver of the hop to its left, swapping as soon as it holds both."""

    def __init__(self, runs, fidelity, period_s):
        super().__init__()
        self.runs, self.fidelity = runs, fidelity
        self.left = self.right = None  # neighbouring nodes' apps
        self.left_memory = self.right_memory = None
        self.right_qchannel = self.left_cchannel = self.end_cchannel = None
        self.left_pair = self.right_pair = None  # pairs held (heralded) on each side
        self.unheralded = None  # the half kept from the source's last firing
        self.next_tick = None
        self.period = None
        self.period_s = period_s
        self.add_handler(self.fire, [SourceTick])
        self.add_handler(self.receive_photon, [RecvQubitPacket])
        self.add_handler(self.receive_message, [RecvClassicPacket])

    def install(self, node, simulator):
        super().install(node, simulator)
        self.period = simulator.time(sec=self.period_s)

    def start_source(self):
        self.next_tick = SourceTick(self._node, self._simulator.tc + self.period)
        self._simulator.add_event(self.next_tick)

    def fire(self, node, event):
        if self.unheralded is not None:
            take(self.right_memory, self.unheralded)
        pair = WernerStateEntanglement(fidelity=self.fidelity)
        pair.ends = (self, self.right)
        store(self.right_memory, pair)
        self.unheralded = pair
        self.runs.attempts += 1
        self.start_source()
        self.right_qchannel.send(pair, next_hop=self.right._node)
        return True

    def receive_photon(self, node, event):
        store(self.left_memory, event.qubit)
        self.left_cchannel.send(ClassicPacket(HERALD, src=node, dest=self.left._node), next_hop=self.left._node)
        return True

    def receive_message(self, node, event):
        if event.packet.get() == HERALD:
            self.heralded()
        else:
            self.deliver()
        return True

    def heralded(self):
        self.next_tick.cancel()
        self.next_tick = None
        pair, self.unheralded = self.unheralded, None
        self.runs.heralds += 1
        self.right_pair = self.right.left_pair = pair
        self.swap_if_ready()
        self.right.swap_if_ready()
        first, last = self.runs.apps[0], self.runs.apps[-1]
        if first.right_pair is not None and first.right_pair is last.left_pair:
            first.end_cchannel.send(ClassicPacket(DELIVERED, src=first._node, dest=last._node), next_hop=last._node)

    def swap_if_ready(self):
        if self.left_pair is None or self.right_pair is None:
            return
        a, b = self.left_pair, self.right_pair
        far_left, far_right = a.ends[0], b.ends[1]
        # The new pair's halves decay from now on where the far halves were.
        take(self.left_memory, a)
        take(self.right_memory, b)
        take(far_left.right_memory, a)
        take(far_right.left_memory, b)
        pair = a.swapping(b)
        pair.ends = (far_left, far_right)
        store(far_left.right_memory, pair)
        store(far_right.left_memory, pair)
        far_left.right_pair = far_right.left_pair = pair
        self.left_pair = self.right_pair = None

    def deliver(self):
        first = self.runs.apps[0]
        pair = self.left_pair
        take(self.left_memory, pair)
        take(first.right_memory, pair)
        first.right_pair = self.left_pair = None
        now = self._simulator.tc
        self.runs.delivery_ms.append((now - self.runs.run_start).sec * 1000.0)
        self.runs.fidelities.append(pair.fidelity)
        self.runs.start_run(self._simulator)


def chain(hops, km, speed_km_ms, rate_hz, fidelity, p, t2_s, simulated_s, seed=None):
    """The chain as a qns network on a simulator that runs for simulated_s
    seconds, its first run starting at 0. Returns the simulator and the
    record its runs fill."""
    set_seed(seed)
    hop_delay_s = km / speed_km_ms / 1000.0
    simulator = Simulator(0, simulated_s, accuracy=1_000_000)
    network = QuantumNetwork()
    runs = ChainRuns()
    nodes = [QNode(f"n{i}", apps=[SwapAsapApp(runs, fidelity, 1.0 / rate_hz)]) for i in range(hops + 1)]
    apps = runs.apps = [node.apps[0] for node in nodes]
    decoherence_rate = 1.0 / t2_s
    for i, (node, app) in enumerate(zip(nodes, apps)):
        network.add_node(node)
        if i > 0:
            app.left = apps[i - 1]
            app.left_memory = QuantumMemory(f"{node.name}.left", node, capacity=1, decoherence_rate=decoherence_rate)
            node.add_memory(app.left_memory)
        if i < hops:
            app.right = apps[i + 1]
            app.right_memory = QuantumMemory(f"{node.name}.right", node, capacity=1, decoherence_rate=decoherence_rate)
            node.add_memory(app.right_memory)
    for i in range(hops):
        apps[i].right_qchannel = QuantumChannel(f"q{i}", bandwidth=0, delay=hop_delay_s, drop_rate=1.0 - p)
        apps[i + 1].left_cchannel = ClassicChannel(f"c{i}", delay=hop_delay_s)
        join(network, nodes[i], nodes[i + 1], apps[i].right_qchannel)
        join(network, nodes[i], nodes[i + 1], apps[i + 1].left_cchannel)
    apps[0].end_cchannel = ClassicChannel("route", delay=hops * hop_delay_s)
    join(network, nodes[0], nodes[-1], apps[0].end_cchannel)
    network.install(simulator)
    runs.start_run(simulator)
    return simulator, runs


def join(network, a, b, channel):
    if isinstance(channel, QuantumChannel):
        a.add_qchannel(channel)
        b.add_qchannel(channel)
        network.add_qchannel(channel)
    else:
        a.add_cchannel(channel)
        b.add_cchannel(channel)
        network.add_cchannel(channel)
