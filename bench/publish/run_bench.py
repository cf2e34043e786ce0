#!/usr/bin/python3
"""The site sync (publish_bench) against lftp mirror -R, in one run.

  bench/publish/run_bench.py [BUILD_DIR] [--rounds 5] [--slow-files 200]
                             [--slow-only] [--serial-server] [--undo-only]
                             [--undo-files 50] [--undo-connections 4]

1. vsftpd on loopback, the tree of 2,000 files of 1-8 KiB in 40 folders:
   - nothing changed: ours (plan and run, 2 connections) against
     lftp mirror -R --only-newer;
   - 10 files changed (new bytes, same size) before each round: the same two;
   - publish on save: one page changed, plan and run on an open connection.
2. slow_ftpd.py (a threaded server behind a delay line: 30 ms round trip
   on the control connection; with --serial-server the earlier model, 30 ms
   before each reply), a full first publish of the tree's first
   --slow-files files: ours with 4 connections, ours with 1,
   lftp mirror -R --parallel=4.
3. The same slow server: a first publish of --undo-files files (the
   server's copies kept and the run logged, as the window does), then
   the undo of it (files deleted); then every file replaced and that run
   undone (files put back); both with --undo-connections connections.
Runs alternate between the tools, each round in a new order; medians of
--rounds rounds. Every time is the wall time of the whole program run
(connect, plan, run). Prints the load average before and after.
Needs root (vsftpd), vsftpd, lftp, python3-pyftpdlib.
"""
import argparse
import os
import random
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
p = argparse.ArgumentParser()
p.add_argument("build", nargs="?", default=os.path.join(HERE, "..", "..", "build"))
p.add_argument("--rounds", type=int, default=5)
p.add_argument("--slow-files", type=int, default=200)
p.add_argument("--slow-ms", type=int, default=30)
p.add_argument("--slow-only", action="store_true", help="only the slow server's part")
p.add_argument("--undo-only", action="store_true", help="only the undo of a publish")
p.add_argument("--undo-files", type=int, default=50)
p.add_argument("--undo-connections", type=int, default=4)
p.add_argument("--serial-server", action="store_true",
               help="slow server waiting before each reply (commands sent together wait in turn)")
p.add_argument("--slow-tools", default="ours 4,ours 1,lftp 4",
               help="which of 'ours 4', 'ours 1', 'lftp 4' to run there")
args = p.parse_args()
BENCH = os.path.join(args.build, "bin", "publish_bench")
if not os.access(BENCH, os.X_OK):
    sys.exit("build publish_bench first (cmake -DHEMLO_BUILD_BENCH=ON; ninja publish_bench)")

work = tempfile.mkdtemp(prefix="hemlo-publish-bench-")
procs = []


def cleanup():
    for pr in procs:
        try:
            os.killpg(pr.pid, signal.SIGTERM)
        except OSError:
            pass
    shutil.rmtree(work, ignore_errors=True)


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def make_tree(root, limit=None):
    random.seed(10)
    folders = []
    for a in range(4):
        folders.append(f"d{a}")
        for b in range(3):
            folders.append(f"d{a}/s{b}")
            for c in range(2):
                folders.append(f"d{a}/s{b}/t{c}")
    files = []
    for f in folders:
        os.makedirs(os.path.join(root, f), exist_ok=True)
        for i in range(50):
            if limit is not None and len(files) >= limit:
                return files
            path = os.path.join(root, f, f"page{i:02d}.htm")
            with open(path, "wb") as out:
                out.write(os.urandom(random.randint(1024, 8192)))
            files.append(path)
    return files


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def wait_greeting(port):
    for _ in range(200):
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1) as c:
                if c.recv(100).startswith(b"220"):
                    return
        except OSError:
            pass
        time.sleep(0.05)
    sys.exit("server on port %d did not greet" % port)


def drain_time_wait():
    # Thousands of data connections leave TIME_WAIT sockets that slow the
    # next run down; let them go first (bounded).
    for _ in range(70):
        out = subprocess.run(["ss", "-tan", "state", "time-wait"], capture_output=True, text=True)
        if out.stdout.count("\n") < 1000:
            return
        time.sleep(1)


def timed(cmd):
    drain_time_wait()
    t0 = time.perf_counter()
    r = subprocess.run(cmd, capture_output=True, text=True)
    dt = time.perf_counter() - t0
    if r.returncode != 0:
        sys.exit("failed: %s\n%s%s" % (" ".join(cmd), r.stdout, r.stderr))
    return dt, r.stdout.strip()


def ours(port, remote, local, state, n):
    return timed([BENCH, str(port), remote, local, state, str(n), "anonymous"])


def lftp(port, remote, local, option):
    script = ("set ftp:passive-mode true; set net:max-retries 1; set cmd:fail-exit true; "
              "mirror -R %s %s %s; quit" % (option, local, remote))
    return timed(["lftp", "-u", "anonymous,bench@example.invalid", "-p", str(port), "-e", script,
                  "127.0.0.1"])


def med(xs):
    return statistics.median(xs)


def vsftpd_part():
    # ---- vsftpd: nothing changed and 10 changed --------------------------
    local = os.path.join(work, "local", "site")
    files = make_tree(local)
    root = os.path.join(work, "root")
    for d in ("ours/site", "lftp"):
        os.makedirs(os.path.join(root, "pub", d), exist_ok=True)
    os.chmod(work, 0o755)
    os.chmod(root, 0o755)
    subprocess.run(["chown", "-R", "ftp:ftp", os.path.join(root, "pub")], check=True)
    os.makedirs("/var/run/vsftpd/empty", exist_ok=True)
    port = free_port()
    conf = os.path.join(work, "vsftpd.conf")
    with open(conf, "w") as f:
        f.write(f"""listen=YES
listen_address=127.0.0.1
listen_port={port}
background=NO
anonymous_enable=YES
local_enable=NO
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_world_readable_only=NO
anon_umask=022
no_anon_password=YES
anon_root={root}
ftp_username=ftp
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
connect_from_port_20=NO
port_enable=YES
pasv_enable=YES
xferlog_enable=NO
force_dot_files=YES
secure_chroot_dir=/var/run/vsftpd/empty
pam_service_name=vsftpd
max_per_ip=0
max_clients=0
""")
    os.chmod(conf, 0o600)
    procs.append(subprocess.Popen(["/usr/sbin/vsftpd", conf], start_new_session=True))
    wait_greeting(port)
    state = os.path.join(work, "state")
    os.makedirs(state)
    print("tree: %d files in 40 folders; first publish of both (not timed)" % len(files))
    ours(port, "/pub/ours/site", local, state, 2)
    lftp(port, "/pub/lftp/site", local, "--only-newer")

    results = {}
    for scenario in ("nothing changed", "10 changed"):
        t_ours, t_lftp, sent = [], [], []
        for r in range(args.rounds):
            if scenario == "10 changed":
                time.sleep(1.1)  # a new second: lftp compares whole seconds
                for path in random.sample(files, 10):
                    size = os.path.getsize(path)
                    with open(path, "wb") as out:
                        out.write(os.urandom(size))
            order = ["ours", "lftp"] if r % 2 == 0 else ["lftp", "ours"]
            for tool in order:
                if tool == "ours":
                    dt, line = ours(port, "/pub/ours/site", local, state, 2)
                    t_ours.append(dt)
                    sent.append(line)
                else:
                    dt, _ = lftp(port, "/pub/lftp/site", local, "--only-newer")
                    t_lftp.append(dt)
        results[scenario] = (t_ours, t_lftp)
        print("%-16s ours %.3f s (runs %s)  lftp --only-newer %.3f s (runs %s)  ours/lftp %.2f"
              % (scenario, med(t_ours), " ".join("%.3f" % x for x in t_ours), med(t_lftp),
                 " ".join("%.3f" % x for x in t_lftp), med(t_ours) / med(t_lftp)))
        print("                 ours' last run: %s" % sent[-1])
    # Publish on save: one page changed, a connection already open; the
    # time from the start of the plan to the end of the run (the program's
    # own clock: starting a process is not part of a key press).
    t_save = []
    for r in range(args.rounds):
        path = random.choice(files)
        with open(path, "wb") as out:
            out.write(os.urandom(os.path.getsize(path) + 1))
        _, line = timed([BENCH, str(port), "/pub/ours/site", local, state, "1", "anonymous",
                         "save"])
        fields = dict(kv.split("=") for kv in line.split())
        assert fields["sent"] == "1", line
        t_save.append(float(fields["seconds"]))
    print("publish on save, one page, warm connection: %.3f s (runs %s)"
          % (med(t_save), " ".join("%.3f" % x for x in t_save)))
    # The two remote copies hold the same bytes as the site.
    diff = subprocess.run(["diff", "-r", local, os.path.join(root, "pub", "ours", "site")],
                          capture_output=True, text=True)
    print("ours' remote copy equals the site: %s" % ("yes" if diff.returncode == 0 else "NO"))


def start_slow_server(root):
    os.makedirs(root)
    sp = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "slow_ftpd.py"), root,
                           str(args.slow_ms)] + (["--serial"] if args.serial_server else []),
                          stdout=subprocess.PIPE, text=True, start_new_session=True)
    procs.append(sp)
    port = int(sp.stdout.readline().strip().split("=")[1])
    wait_greeting(port)
    return port


def undo_part():
    # ---- slow server: a first publish (logged, as the window does) and
    # its undo, alternating, each round in a new folder.
    local = os.path.join(work, "undo", "site")
    files = make_tree(local, args.undo_files)
    root = os.path.join(work, "undoroot")
    port = start_slow_server(root)
    print("undo: %d files, slow server, %d connections; publish, then undo of it"
          % (len(files), args.undo_connections))
    t_pub, t_undo, t_pub2, t_undo2, loads = [], [], [], [], []
    for r in range(args.rounds):
        loads.append(load().split()[0])
        name = "undo-%d" % r
        os.makedirs(os.path.join(root, name, "site"))
        st = os.path.join(work, "undostate-" + name)
        os.makedirs(st)
        remote = "/" + name + "/site"
        n = str(args.undo_connections)
        dt, line = timed([BENCH, str(port), remote, local, st, n, "anonymous", "logged"])
        assert "sent=%d " % len(files) in line, line
        t_pub.append(dt)
        dt, line = timed([BENCH, str(port), remote, local, st, n, "anonymous", "undo"])
        assert "deleted=%d " % len(files) in line, line
        t_undo.append(dt)
        left = [f for _, _, fs in os.walk(os.path.join(root, name, "site")) for f in fs]
        assert not left, left
        # Every file replaced: the undo puts the earlier bytes back.
        timed([BENCH, str(port), remote, local, st, n, "anonymous", "logged"])
        before = {f: open(f, "rb").read() for f in files}
        for f in files:
            with open(f, "wb") as out:
                out.write(os.urandom(len(before[f]) + 1))
        dt, line = timed([BENCH, str(port), remote, local, st, n, "anonymous", "logged"])
        assert "sent=%d " % len(files) in line, line
        t_pub2.append(dt)
        dt, line = timed([BENCH, str(port), remote, local, st, n, "anonymous", "undo"])
        assert "sent=%d " % len(files) in line, line
        t_undo2.append(dt)
        print("  round %d, last undo: %s" % (r, line))
        for f in files:
            rel = os.path.relpath(f, local)
            with open(os.path.join(root, name, "site", rel), "rb") as back:
                assert back.read() == before[f], rel
            with open(f, "wb") as out:
                out.write(before[f])
    print("load (1 min) at each round's start: %s" % " ".join(loads))
    for what, pub, und in (("first publish", t_pub, t_undo), ("all replaced", t_pub2, t_undo2)):
        print("%s: publish %.2f s (runs %s), undo %.2f s (runs %s), undo / publish %.2f"
              % (what, med(pub), " ".join("%.2f" % x for x in pub), med(und),
                 " ".join("%.2f" % x for x in und), med(und) / med(pub)))


def slow_part():
    # ---- slow server: full first publish ---------------------------------
    slow_local = os.path.join(work, "slow", "site")
    slow_files = make_tree(slow_local, args.slow_files)
    slow_root = os.path.join(work, "slowroot")
    slow_port = start_slow_server(slow_root)
    print("slow server: %s; %d files in %d folders, full publish"
          % ("%d ms before each reply" % args.slow_ms if args.serial_server
             else "%d ms round trip (delay line)" % args.slow_ms, len(slow_files),
             len({os.path.dirname(f) for f in slow_files})))
    times = {t.strip(): [] for t in args.slow_tools.split(",")}
    loads = []
    for r in range(args.rounds):
        loads.append(load().split()[0])
        tools = list(times)
        tools = tools[r % len(tools):] + tools[:r % len(tools)]
        for tool in tools:
            # A new folder each round: the threaded server shares one
            # working folder between its threads, so nothing is removed
            # under it while it runs.
            name = "%s-%d" % (tool.replace(" ", ""), r)
            os.makedirs(os.path.join(slow_root, name, "site"))
            st = os.path.join(work, "slowstate-" + name)
            os.makedirs(st)
            remote = "/" + name + "/site"
            if tool == "ours 4":
                dt, _ = ours(slow_port, remote, slow_local, st, 4)
            elif tool == "ours 1":
                dt, _ = ours(slow_port, remote, slow_local, st, 1)
            else:
                dt, _ = lftp(slow_port, remote, slow_local, "--parallel=4")
            times[tool].append(dt)
    print("load (1 min) at each round's start: %s" % " ".join(loads))
    for tool, xs in times.items():
        print("%-8s %.2f s (runs %s)" % (tool, med(xs), " ".join("%.2f" % x for x in xs)))
    for other in ("ours 1", "lftp 4"):
        if other in times and "ours 4" in times:
            print("%s / ours 4: %.2f" % (other, med(times[other]) / med(times["ours 4"])))


try:
    print("load before: %s" % load())
    if args.undo_only:
        undo_part()
    else:
        if not args.slow_only:
            vsftpd_part()
        slow_part()
        undo_part()
    print("load after: %s" % load())
finally:
    cleanup()
