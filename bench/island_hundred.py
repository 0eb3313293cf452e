#!/usr/bin/python3
"""CPU of the desktop app with a hundred live sessions, the island collapsed
and expanded (the pointer resting on it, the list scrolled to the top), on a
real X server (Xvfb + xcompmgr).

Usage: bench/island_hundred.py [build dir] [seconds per CPU run]
       (defaults: build/release, 60)
"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import island_bench  # noqa: E402  (its X server, app and bridge helpers; reads sys.argv too)

SECONDS = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0


def cpu_percent(app):
    before = app.cpu_seconds()
    time.sleep(SECONDS)
    return (app.cpu_seconds() - before) / SECONDS * 100


def main():
    with tempfile.TemporaryDirectory() as tmp:
        display, servers = island_bench.start_x(tmp)
        env = {k: v for k, v in os.environ.items()
               if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE")}
        env.update(DISPLAY=display, HOME=tmp)
        app = None
        try:
            app = island_bench.App(env)
            for i in range(100):
                # Alternate kinds, so the sprites change frames at different rates.
                island_bench.send(env, f"s{i}", "PreToolUse", "Read" if i % 2 else "Bash", "ls")
            time.sleep(2)
            print(f"CPU, 100 sessions, collapsed     {cpu_percent(app):6.3f} % of a core "
                  f"over {SECONDS:.0f} s")
            # A warp and then a small relative move: raw motion, as a mouse gives.
            subprocess.run(["xdotool", "mousemove", "--sync", "753", "10"], env=env)
            subprocess.run(["xdotool", "mousemove_relative", "--sync", "3", "0"], env=env)
            deadline = time.monotonic() + 10
            while app.width() != 524 and time.monotonic() < deadline:
                time.sleep(0.05)
            if app.width() != 524:
                sys.exit("the island did not expand")
            time.sleep(1)
            print(f"CPU, 100 sessions, expanded      {cpu_percent(app):6.3f} % of a core "
                  f"over {SECONDS:.0f} s")
        finally:
            if app is not None:
                app.stop()
            for server in servers:
                server.terminate()
                server.wait()


if __name__ == "__main__":
    main()
