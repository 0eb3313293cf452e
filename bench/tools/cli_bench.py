#!/usr/bin/python3
"""Times the terminal subcommands against a real `vorla-agents --headless --hold`
in a temporary HOME: `status` with SESSIONS live sessions and as many pending
gates, and `allow` from its start until the waiting bridge prints its answer.

Usage: cli_bench.py BUILD_DIR [SESSIONS] [RUNS]
"""
import json, os, resource, select, shutil, statistics, subprocess, sys, tempfile, time

build = sys.argv[1]
sessions = int(sys.argv[2]) if len(sys.argv) > 2 else 100
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 30
app = os.path.join(build, "src/app/vorla-agents")
bridge = os.path.join(build, "src/bridge/vorla-bridge")

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

    # The floor: starting the same program that does nothing but print.
    floor, floor_cpu = [], []
    for _ in range(runs):
        timed([app, "--version"], floor, floor_cpu)

    status, status_cpu = [], []
    server_before = app_cpu(server.pid)
    for _ in range(runs):
        timed([app, "status"], status, status_cpu)
    server_cpu = (app_cpu(server.pid) - server_before) / runs

    # Answer gates while the rest still wait, so every run sees a full house.
    ids = {gate["detail"]: gate["id"] for gate in pending()}
    allow = []
    for i in range(min(runs, sessions)):
        p = bridges[i]
        start = time.perf_counter()
        subprocess.Popen([app, "allow", ids["make target%d" % i][:12]], env=env,
                         stdout=subprocess.DEVNULL)
        select.select([p.stdout], [], [], 10)
        line = p.stdout.readline()
        allow.append(time.perf_counter() - start)
        assert b'"allow"' in line, line
    floor_median, p90 = ms(floor)
    print("vorla-agents --version (process start), %d runs: median %.2f ms, p90 %.2f ms, CPU %.2f ms"
          % (runs, floor_median, p90, statistics.median(floor_cpu) * 1000))
    median, p90 = ms(status)
    print("status, %d sessions + %d pending, %d runs: median %.2f ms, p90 %.2f ms (%.2fx start); "
          "CPU: client %.2f ms, app %.2f ms (clock ticks, averaged)"
          % (sessions, sessions, runs, median, p90, median / floor_median,
             statistics.median(status_cpu) * 1000, server_cpu * 1000))
    median, p90 = ms(allow)
    print("allow start to bridge answer, %d runs: median %.2f ms, p90 %.2f ms"
          % (len(allow), median, p90))
finally:
    server.terminate()
    server.wait()
    for p in bridges:
        p.wait()
    shutil.rmtree(home, ignore_errors=True)
