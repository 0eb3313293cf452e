#!/usr/bin/python3
"""Times the terminal subcommands against a real `vorla-agents --headless --hold`
in a temporary HOME: `status` with SESSIONS live sessions and as many pending
gates, and `allow` from its start until the waiting bridge prints its answer.
Peers in the same run: `git --version` (a small dynamically linked program's
start) and bench/peers/min_control.c, a static C program that sends the same
request line and copies the reply (the floor: start-up plus the app's answer).

Usage: cli_bench.py BUILD_DIR [SESSIONS] [RUNS]   (SESSIONS >= 2 * RUNS)
"""
import json, os, resource, select, shutil, statistics, subprocess, sys, tempfile, time

build = sys.argv[1]
sessions = int(sys.argv[2]) if len(sys.argv) > 2 else 100
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 30
assert sessions >= 2 * runs, "SESSIONS must be at least twice RUNS"
app = os.path.join(build, "src/app/vorla-agents")
bridge = os.path.join(build, "src/bridge/vorla-bridge")
peer = os.path.join(build, "bench/min_control")

home = tempfile.mkdtemp(prefix="vorla-cli-bench-")
env = dict(os.environ, HOME=home)
state_path = os.path.join(home, ".vorla-agents/run/state.json")


def wait_for(condition, timeout=30):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.01)
    raise SystemExit("timed out")


def pending():
    try:
        with open(state_path) as f:
            return json.load(f)["pending"]
    except (OSError, ValueError):
        return []


def hook(event, session, **extra):
    payload = dict(hook_event_name=event, session_id=session, cwd="/work/p%s" % session, **extra)
    return json.dumps(payload).encode()


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def app_cpu(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def timed(args, samples, cpu):
    """Runs args, appending the wall time to samples and the child's CPU time to cpu."""
    before = children_cpu()
    start = time.perf_counter()
    subprocess.run(args, env=env, stdout=subprocess.DEVNULL, check=True)
    samples.append(time.perf_counter() - start)
    cpu.append(children_cpu() - before)


def ms(values):
    values = sorted(values)
    return statistics.median(values) * 1000, values[int(len(values) * 0.9) - 1] * 1000


server = subprocess.Popen([app, "--headless", "--hold"], env=env, stderr=subprocess.DEVNULL)
bridges = []
try:
    wait_for(lambda: os.path.exists(os.path.join(home, ".vorla-agents/run/control.sock")))
    for i in range(sessions):
        subprocess.run([bridge, "--source", "claude"], input=hook("SessionStart", str(i)), env=env)
    for i in range(sessions):
        p = subprocess.Popen([bridge, "--source", "claude"], env=env, stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE)
        p.stdin.write(hook("PermissionRequest", str(i), tool_name="Bash",
                           tool_input={"command": "make target%d" % i}))
        p.stdin.close()
        bridges.append(p)
    wait_for(lambda: len(pending()) == sessions)

    # Interleaved, so that a busy spell hits every series alike.
    results = {name: ([], []) for name in ("git", "version", "peer", "status")}
    server_cpu = 0.0
    for _ in range(runs):
        for name, args in (("git", ["git", "--version"]), ("version", [app, "--version"]),
                           ("peer", [peer, '{"request":"status"}']), ("status", [app, "status"])):
            before = app_cpu(server.pid)
            timed(args, *results[name])
            if name == "status":
                server_cpu += app_cpu(server.pid) - before
    server_cpu /= runs

    def answered(args, bridge_process):
        start = time.perf_counter()
        subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL)
        select.select([bridge_process.stdout], [], [], 10)
        line = bridge_process.stdout.readline()
        assert b'"allow"' in line, line
        return time.perf_counter() - start

    # Answer gates while the rest still wait, so every run sees a full house;
    # the command and the C peer take turns.
    ids = {gate["detail"]: gate["id"] for gate in pending()}
    allow, allow_peer = [], []
    for i in range(runs):
        ours, theirs = bridges[2 * i], bridges[2 * i + 1]
        allow.append(answered([app, "allow", ids["make target%d" % (2 * i)][:12]], ours))
        request = json.dumps({"request": "decide", "gate": ids["make target%d" % (2 * i + 1)],
                              "behavior": "allow", "always": False})
        allow_peer.append(answered([peer, request], theirs))

    def line(label, name):
        wall, cpu = results[name]
        median, p90 = ms(wall)
        print("%-44s wall median %6.2f ms, p90 %6.2f ms, CPU median %5.2f ms"
              % (label, median, p90, statistics.median(cpu) * 1000))
        return median

    print("%d sessions + %d pending gates, %d runs each" % (sessions, sessions, runs))
    git_median = line("git --version (peer: a program's start)", "git")
    line("vorla-agents --version", "version")
    peer_median = line("min_control status (peer: C client)", "peer")
    status_median = line("vorla-agents status", "status")
    print("  status / C client %.2fx, status / git --version %.2fx; app CPU per status %.2f ms"
          % (status_median / peer_median, status_median / git_median, server_cpu * 1000))
    allow_median, p90 = ms(allow)
    peer_allow_median, peer_p90 = ms(allow_peer)
    print("%-44s wall median %6.2f ms, p90 %6.2f ms" % ("vorla-agents allow, start to bridge answer", allow_median, p90))
    print("%-44s wall median %6.2f ms, p90 %6.2f ms" % ("min_control decide (peer), same", peer_allow_median, peer_p90))
    print("  allow / C client %.2fx" % (allow_median / peer_allow_median))
finally:
    server.terminate()
    server.wait()
    for p in bridges:
        p.wait()
    shutil.rmtree(home, ignore_errors=True)
