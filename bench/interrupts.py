"""Time from SIGINT to the end of a long call of the installed vorn_core, per
kind of call, on the main thread and on another thread, each in a child
process. Prints the figures; asserts nothing.

    python bench/interrupts.py
"""
import os
import signal
import statistics
import subprocess
import sys
import textwrap
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests"))
from test_process_limits import LONG_CALLS, PRELUDE  # noqa: E402

CHILD = """
signal.signal(signal.SIGINT, signal.default_int_handler)
{setup}
def call():
    {call}
def report(where):
    sys.stdout.write(f"{{where}} {{time.perf_counter_ns()}}\\n")
    sys.stdout.flush()
if OFF_MAIN:
    def work():
        report("calling")
        try:
            call()
        except KeyboardInterrupt:
            pass
    t = threading.Thread(target=work, daemon=True)
    try:
        t.start()
        t.join()
    except KeyboardInterrupt:
        report("ended")
else:
    report("calling")
    try:
        call()
    except KeyboardInterrupt:
        report("ended")
"""


def stop_time(kind, off_main):
    setup, call = LONG_CALLS[kind]
    code = PRELUDE + f"OFF_MAIN = {off_main}\n" + textwrap.dedent(CHILD.format(setup=setup, call=call))
    child = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE, text=True)
    try:
        child.stdout.readline()
        time.sleep(0.5)
        sent = time.perf_counter_ns()
        child.send_signal(signal.SIGINT)
        line = child.stdout.readline()
        child.wait(timeout=60)
    finally:
        child.kill()
    if not line.startswith("ended"):
        return float("nan")
    return (int(line.split()[1]) - sent) / 1e6


def main():
    print(f"{'call':<14} {'thread':<8} {'median ms':>10} {'max ms':>8}  (SIGINT to the end of the call, 5 tries)")
    for kind in sorted(LONG_CALLS):
        for off_main in (False, True):
            times = [stop_time(kind, off_main) for _ in range(5)]
            print(f"{kind:<14} {'other' if off_main else 'main':<8} {statistics.median(times):>10.2f} "
                  f"{max(times):>8.2f}")


if __name__ == "__main__":
    main()
