#!/usr/bin/python3
"""Desktop app figures on a real X server (Xvfb + xcompmgr): start-up, memory
and CPU with sessions animating, and how fast a gate opens the island.

Start-up is measured twice, turn about: with the machine's own sound stack
(SDL picks PipeWire, PulseAudio or ALSA; no sound server answers here) and,
as the peer, with SDL's dummy driver, which opens at once.

Usage: bench/island_bench.py [build dir] [seconds per CPU run] [start runs]
       (defaults: build/release, 60, 5)
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build/release"
SECONDS = float(sys.argv[2]) if len(sys.argv) > 2 else 60.0
START_RUNS = int(sys.argv[3]) if len(sys.argv) > 3 else 5
APP = os.path.join(BUILD, "src/app/vorla-agents")
BRIDGE = os.path.join(BUILD, "src/bridge/vorla-bridge")
TICKS = os.sysconf("SC_CLK_TCK")


def start_x(tmp):
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1512x982x24",
                             "-noreset", "-nolisten", "tcp"], pass_fds=[write],
                            stderr=subprocess.DEVNULL)
    os.close(write)
    text = b""
    while not text.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            break
        text += chunk
    display = ":" + text.decode().strip()
    os.close(read)
    env = dict(os.environ, DISPLAY=display)
    compositor = subprocess.Popen(["xcompmgr"], env=env, stderr=subprocess.DEVNULL)
    return display, [compositor, xvfb]


class App:
    def __init__(self, env):
        self.env = env
        self.t0 = time.monotonic()
        self.proc = subprocess.Popen([APP], env=env, stderr=subprocess.PIPE, text=True)
        self.up = None
        for line in self.proc.stderr:
            if line.startswith("Vorla Agents up."):
                self.up = time.monotonic() - self.t0
                break

    def window(self):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)],
                             env=self.env, capture_output=True, text=True).stdout.split()
        return out[0] if out else None

    def width(self):
        window = self.window()
        if not window:
            return None
        shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=self.env,
                               capture_output=True, text=True).stdout
        for line in shell.splitlines():
            if line.startswith("WIDTH="):
                return int(line[6:])
        return None

    def cpu_seconds(self):
        fields = open(f"/proc/{self.proc.pid}/stat").read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / TICKS

    def rss_mb(self):
        for line in open(f"/proc/{self.proc.pid}/status"):
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
        return 0

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


def send(env, session, event, tool="", command="", wait=True):
    payload = json.dumps({"hook_event_name": event, "session_id": session, "cwd": "/work/" + session,
                          "tool_name": tool, "tool_input": {"command": command}})
    proc = subprocess.Popen([BRIDGE, "--source", "claude"], env=env, stdin=subprocess.PIPE,
                            stdout=subprocess.DEVNULL)
    proc.stdin.write(payload.encode())
    proc.stdin.close()
    if wait:
        proc.wait()
    return proc


def four_sessions(env):
    for i in range(4):
        send(env, f"s{i}", "PreToolUse", "Read" if i % 2 else "Bash", "ls")


def main():
    with tempfile.TemporaryDirectory() as tmp:
        display, servers = start_x(tmp)
        env = {k: v for k, v in os.environ.items()
               if k not in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE")}
        env.update(DISPLAY=display, HOME=tmp)
        # Hooks in place, so the first-run settings window stays closed.
        subprocess.run([APP, "hooks", "install", "claude"], env=env, check=True,
                       stdout=subprocess.DEVNULL)
        try:
            dummy = dict(env, SDL_AUDIODRIVER="dummy")
            ups, maps, peer_ups = [], [], []
            for _ in range(START_RUNS):
                app = App(env)
                ups.append(app.up * 1000)
                while app.window() is None:
                    pass
                maps.append((time.monotonic() - app.t0) * 1000)
                app.stop()
                peer = App(dummy)
                peer_ups.append(peer.up * 1000)
                peer.stop()
            print(f"start -> 'Vorla Agents up.'      median {statistics.median(ups):6.1f} ms "
                  f"(min {min(ups):.1f}, max {max(ups):.1f})")
            print(f"  peer, SDL's dummy driver       median {statistics.median(peer_ups):6.1f} ms "
                  f"(min {min(peer_ups):.1f}, max {max(peer_ups):.1f}); ratio "
                  f"{statistics.median(ups) / statistics.median(peer_ups):.2f}")
            print(f"start -> island window mapped    median {statistics.median(maps):6.1f} ms "
                  f"(min {min(maps):.1f}, max {max(maps):.1f})")

            app = App(env)
            time.sleep(1)
            before = app.cpu_seconds()
            time.sleep(SECONDS)
            idle = (app.cpu_seconds() - before) / SECONDS * 100
            print(f"CPU collapsed, no sessions       {idle:6.3f} % of a core over {SECONDS:.0f} s")

            four_sessions(env)
            time.sleep(2)
            print(f"RSS, four sessions animating     {app.rss_mb():6.1f} MB")
            before = app.cpu_seconds()
            time.sleep(SECONDS)
            busy = (app.cpu_seconds() - before) / SECONDS * 100
            print(f"CPU, four sessions animating     {busy:6.3f} % of a core over {SECONDS:.0f} s")

            starts, opens = [], []
            for i in range(5):
                collapsed = app.width()
                t0 = time.monotonic()
                bridge = send(env, "s0", "PermissionRequest", "Bash", f"make deploy{i}", wait=False)
                while app.width() == collapsed:
                    pass
                starts.append((time.monotonic() - t0) * 1000)
                while app.width() != 524:
                    pass
                opens.append((time.monotonic() - t0) * 1000)
                bridge.kill()
                app.stop()
                app = App(env)
                four_sessions(env)
                time.sleep(0.5)
            print(f"gate sent -> island starts to open median {statistics.median(starts):6.1f} ms "
                  f"(min {min(starts):.1f}, max {max(starts):.1f})")
            print(f"gate sent -> island 524 wide     median {statistics.median(opens):6.1f} ms "
                  f"(min {min(opens):.1f}, max {max(opens):.1f})")
            app.stop()
        finally:
            for server in servers:
                server.terminate()
                server.wait()


if __name__ == "__main__":
    main()
