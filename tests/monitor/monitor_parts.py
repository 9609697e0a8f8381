"""The real parts the monitor's end-to-end tests run it against, all inside a
private network namespace of the test's own: the site simulator with its
USB base units on a bus folder, a PostgreSQL 15 started as nobody (when
root) listening on 127.0.0.1 of that namespace, webhook and SMTP receivers
that can be taken down, an administrator's psql session, and the monitor
itself (its output read line by line, its stop timed)."""
import email
import email.policy
import json
import os
import pwd
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from demo_monitor import OutputLines

PG_BIN = "/usr/lib/postgresql/15/bin/"
SKIP = 77  # ctest's SKIP_RETURN_CODE for these tests


def enter_private_network():
    """Runs the calling script again in a network namespace of its own with
    only loopback up, and ends with its status; inside, returns at once."""
    if os.environ.get("LM_MONITOR_NETNS") == "1":
        subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
        return
    if not os.path.exists(PG_BIN + "initdb") or not shutil.which("unshare") or not shutil.which("ip"):
        print("SKIP: needs PostgreSQL 15, unshare and ip")
        sys.exit(SKIP)
    unshare = ["unshare", "--net"] + ([] if os.geteuid() == 0 else ["--map-root-user"])
    if subprocess.run(unshare + ["true"], capture_output=True).returncode != 0:
        print("SKIP: cannot make a network namespace here")
        sys.exit(SKIP)
    env = dict(os.environ, LM_MONITOR_NETNS="1")
    sys.exit(subprocess.run(unshare + [sys.executable] + sys.argv, env=env).returncode)


def stop_all(*running):
    """Stops what was started (the monitor killed), whatever failed."""
    for part in running:
        if isinstance(part, Monitor):
            part.kill()
        elif part is not None:
            part.stop()


def as_server_user(cmd):
    return (["runuser", "-u", "nobody", "--"] if os.geteuid() == 0 else []) + cmd


class Postgres:
    """A server in a temporary folder on 127.0.0.1:5432 of the namespace,
    set up for the team records with `linkmeter-cli records server-init`."""

    def __init__(self, cli, work):
        self.dir = tempfile.mkdtemp(prefix="lm-pg-monitor-")
        if os.geteuid() == 0:
            nobody = pwd.getpwnam("nobody")
            os.chown(self.dir, nobody.pw_uid, nobody.pw_gid)
        data = os.path.join(self.dir, "data")
        # Stops the server and removes its folder once this process ends,
        # however it ends (killed for its time included).
        self.watchdog = subprocess.Popen(
            ["sh", "-c", 'cat >/dev/null; "$@" >/dev/null 2>&1; rm -rf "$0"', self.dir]
            + as_server_user([PG_BIN + "pg_ctl", "-D", data, "-m", "immediate", "stop"]),
            stdin=subprocess.PIPE, start_new_session=True)
        subprocess.run(as_server_user([PG_BIN + "initdb", "-D", data, "-A", "trust", "-U", "lmadmin", "-E", "UTF8",
                                       "--no-locale"]), check=True, capture_output=True, timeout=120)
        subprocess.run(as_server_user([PG_BIN + "pg_ctl", "-D", data, "-w", "-t", "60", "-l",
                                       os.path.join(self.dir, "log"), "-o",
                                       "-k %s -c listen_addresses=127.0.0.1 -p 5432 -c fsync=off" % self.dir,
                                       "start"]), check=True, capture_output=True, timeout=120)
        try:
            self.sql("CREATE DATABASE team", db="postgres")
            subprocess.run([cli, "records", "server-init", "--server", self.uri("lmadmin")],
                           env=dict(os.environ, HOME=work), check=True, capture_output=True, timeout=120)
        except BaseException:
            self.stop()
            raise

    @staticmethod
    def uri(user, db="team"):
        return f"postgresql://{user}@127.0.0.1:5432/{db}"

    def socket_uri(self, user, db="team"):
        """The same server through its Unix socket, whatever befalls TCP."""
        return f"postgresql://{user}@/{db}?host={self.dir}&port=5432"

    def sql(self, text, db="team"):
        subprocess.run([PG_BIN + "psql", "-v", "ON_ERROR_STOP=1", "-q", self.socket_uri("lmadmin", db), "-c", text],
                       check=True, capture_output=True, timeout=60)

    def count(self, query):
        done = subprocess.run([PG_BIN + "psql", "-tA", self.socket_uri("lmadmin"), "-c", query], check=True,
                              capture_output=True, text=True, timeout=60)
        return int(done.stdout.strip())

    def stop(self):
        subprocess.run(as_server_user([PG_BIN + "pg_ctl", "-D", os.path.join(self.dir, "data"), "-m", "immediate",
                                       "stop"]), capture_output=True, timeout=60)
        shutil.rmtree(self.dir, ignore_errors=True)
        self.watchdog.stdin.close()
        self.watchdog.wait(timeout=60)


class AdminSession:
    """An administrator's psql session, kept open: each statement waited for
    until psql has run it."""

    def __init__(self, uri):
        self.proc = subprocess.Popen([PG_BIN + "psql", "-q", "-v", "ON_ERROR_STOP=1", uri], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.done = 0

    def run(self, statement, within=30):
        self.done += 1
        mark = f"done-{self.done}"
        self.proc.stdin.write(f"{statement}\n\\echo {mark}\n")
        self.proc.stdin.flush()
        deadline = time.monotonic() + within
        while time.monotonic() < deadline:
            line = self.proc.stdout.readline()
            if not line:
                break
            if line.strip() == mark:
                return
        raise RuntimeError(f"psql did not run {statement!r}")

    def close(self):
        self.proc.stdin.close()
        self.proc.wait(timeout=30)


class Simulator:
    """linkmeter-sim serving `site` (a site file's JSON) with every base unit
    on USB in the bus folder `bus`; control lines on its standard input."""

    def __init__(self, sim, site, work, hop_ms=20):
        self.bus = os.path.join(work, "usb-bus")
        os.makedirs(self.bus, exist_ok=True)
        site_file = os.path.join(work, "site.json")
        with open(site_file, "w") as f:
            json.dump(site, f)
        self.proc = subprocess.Popen([sim, "--site", site_file, "--usb-bus", self.bus, "--hop-ms", str(hop_ms),
                                      "--control"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        for unit in site["baseUnits"]:
            line = self.proc.stdout.readline()
            if "usb attached" not in line:
                raise RuntimeError(f"the simulator did not attach {unit['serial']}: {line!r}")

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline().strip()
        if answer != "ok":
            raise RuntimeError(f"simulator control {line!r}: {answer}")

    def silence(self, base, unit):
        self.send(f'fault {base} {{"kind": "unreachable", "unit": "{unit}"}}')

    def stop(self):
        if self.proc.poll() is None:
            self.proc.stdin.write("quit\n")
            self.proc.stdin.close()
            self.proc.wait(timeout=15)


def usb_site(demo_site):
    """The demo site with every base unit on USB, so that each can have a
    monitor of its own without a LAN search."""
    with open(demo_site) as f:
        site = json.load(f)
    for base in site["baseUnits"]:
        base.pop("lan", None)
        base["usb"] = True
    site["udp"]["enabled"] = False
    return site


def write_registration(site, unit, path):
    """The registration file the monitor takes for a base unit: its groups."""
    base = next(b for b in site["baseUnits"] if b["serial"] == unit)
    with open(path, "w") as f:
        json.dump({"groups": base["groups"]}, f)
    return path


class Receivers:
    """A webhook receiver and an SMTP server on 127.0.0.1 for one customer;
    while `down`, the webhook answers 503 and the mail 451. Each notice
    taken is kept with when it came (time.monotonic())."""

    def __init__(self):
        from aiosmtpd.controller import Controller
        self.down = False
        self.hooks = []  # (time, alert)
        self.mails = []  # (time, email.message.EmailMessage)
        self.refused = 0
        self.lock = threading.Lock()
        receivers = self

        class Hook(BaseHTTPRequestHandler):
            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
                with receivers.lock:
                    if receivers.down:
                        receivers.refused += 1
                    else:
                        receivers.hooks.extend((time.monotonic(), a) for a in json.loads(body)["alerts"])
                self.send_response(503 if receivers.down else 200)
                self.end_headers()

            def log_message(self, *args):
                pass

        class Mailbox:
            async def handle_DATA(self, server, session, envelope):
                with receivers.lock:
                    if receivers.down:
                        receivers.refused += 1
                        return "451 try again later"
                    receivers.mails.append(
                        (time.monotonic(), email.message_from_bytes(envelope.content, policy=email.policy.default)))
                return "250 OK"

        self.http = ThreadingHTTPServer(("127.0.0.1", 0), Hook)
        threading.Thread(target=self.http.serve_forever, daemon=True).start()
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.smtp_port = s.getsockname()[1]
        self.smtp = Controller(Mailbox(), hostname="127.0.0.1", port=self.smtp_port)
        self.smtp.start()

    def options(self, mail_to):
        return ["--webhook", f"http://127.0.0.1:{self.http.server_address[1]}/hook?token=abc123", "--mail-to", mail_to,
                "--mail-from", "monitor@example.org", "--smtp", f"smtp://127.0.0.1:{self.smtp_port}",
                "--smtp-tls", "none"]

    def first(self, kind, alertname, status):
        """When the first webhook (kind "hook") or mail of that alarm and
        status came, None before."""
        with self.lock:
            if kind == "hook":
                times = [t for t, a in self.hooks if a["labels"]["alertname"] == alertname and a["status"] == status]
            else:
                times = [t for t, m in self.mails
                         if alertname in m["Subject"] and m["Subject"].startswith(f"[{status.upper()}]")]
        return times[0] if times else None

    def stop(self):
        self.smtp.stop()
        self.http.shutdown()


class NotifySocket:
    """The service manager's end of NOTIFY_SOCKET: every datagram kept."""

    def __init__(self, path):
        self.path = path
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.sock.bind(path)
        self.sock.settimeout(0.2)
        self.got = []
        self.running = True
        threading.Thread(target=self.read, daemon=True).start()

    def count(self, message):
        return sum(1 for m in list(self.got) if m == message)

    def stop(self):
        self.running = False

    def read(self):
        while self.running:
            try:
                self.got.append(self.sock.recv(4096).decode())
            except socket.timeout:
                pass


def private_env(home, bus, **extra):
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local"), LINKMETER_USB_BUS=bus, LANG="C.UTF-8", **extra)
    for name in ("LINKMETER_PASSWORD", "LINKMETER_DEMO_CONTROL", "NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"):
        if name not in extra:
            env.pop(name, None)
    return env


# The monitor's lines: its surveys and tries, alarms, outbox, sync and
# metrics words after a UTC time, quoted values whole; its own notes; the
# survey's progress, which quotes nothing but the units' names (a line split
# in a quoted value leaves its closing quote on a line of its own).
LOG_LINE = re.compile(r'^(\S+Z [a-z]+=?[^\s"]*( [^\s"]*("(?:[^"\\]|\\.)*")?)*'
                      r'|linkmeter-cli: .*|unit \d+/\d+ .*|[^0-9"=][^"=]*)$')


def check_log(monitor, fail):
    """Every line the monitor wrote is one of its own (none split by a text
    it quotes), and none shows the webhook's token."""
    for line in monitor.out.seen + [l.rstrip("\n") for l in monitor.out.err]:
        if not LOG_LINE.match(line) or "abc123" in line:
            fail(f"the monitor wrote {line!r}")


class Monitor:
    """linkmeter-cli monitor with `args`; `fail` ends the test."""

    def __init__(self, cli, args, env, fail):
        self.proc = subprocess.Popen([cli, "monitor", *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     text=True, env=env)
        self.out = OutputLines(self.proc, fail)
        self.fail = fail

    def wait_line(self, pattern, within):
        return self.out.wait(pattern, within)

    def errors(self, text):
        return [line for line in list(self.out.err) if text in line]

    def stop(self):
        """SIGTERM; answers how long the monitor took to end (s)."""
        sent = time.monotonic()
        self.proc.send_signal(signal.SIGTERM)
        try:
            status = self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.fail("SIGTERM did not end the monitor within 15 s")
        took = time.monotonic() - sent
        time.sleep(0.2)  # the reader threads take the last lines
        self.out.drain()
        if status != 0:
            self.fail(f"the monitor ended with {status}")
        return took

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()

    def dump(self):
        print("stdout:\n" + "\n".join(self.out.seen[-60:]))
        print("stderr:\n" + "".join(self.out.err[-60:]))
