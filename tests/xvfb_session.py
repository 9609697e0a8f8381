"""Runs a command with an X server of its own.

Xvfb chooses a free display itself and reports it on a pipe (-displayfd), so
tests started side by side never race for a display number the way
'xvfb-run -a' does. The server never resets (-noreset): a reset whenever the
last client leaves refuses a client that connects meanwhile, such as a
program starting just as a test's xwininfo disconnects. Programs under it
type through GTK's own input method.

usage: xvfb_session.py [--screen WxHxD] [--] COMMAND [ARGS...]"""
import os
import select
import signal
import subprocess
import sys
import tempfile

START_LIMIT_S = 30


def parse(argv):
    screen = "1280x1024x24"
    if argv[:1] == ["--screen"]:
        screen, argv = argv[1], argv[2:]
    if argv[:1] == ["--"]:
        argv = argv[1:]
    if not argv:
        sys.exit(__doc__)
    return screen, argv


def read_display(fd, server):
    """The display number Xvfb writes once it accepts connections, or None."""
    text = b""
    while not text.endswith(b"\n"):
        ready, _, _ = select.select([fd], [], [], START_LIMIT_S)
        chunk = os.read(fd, 64) if ready else b""
        if not chunk:
            return None
        text += chunk
    return text.decode().strip() if server.poll() is None else None


def stop(server):
    if server.poll() is None:
        server.terminate()
        try:
            server.wait(10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


def main(argv):
    screen, command = parse(argv)
    read_end, write_end = os.pipe()
    with tempfile.TemporaryFile() as log:
        server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten", "tcp",
                                   "-noreset"],
                                  pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        os.close(write_end)
        # A test runner's SIGTERM still takes the server down with the command.
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
        try:
            number = read_display(read_end, server)
            if number is None:
                log.seek(0)
                sys.stderr.write("Xvfb did not start:\n" + log.read().decode(errors="replace"))
                return 1
            env = dict(os.environ, DISPLAY=":" + number)
            env.pop("XAUTHORITY", None)
            # GTK's own input method, whatever the locale: once en_US.UTF-8
            # and ja_JP.UTF-8 are installed, the input method GTK picks for
            # them drops the key presses WebDriver makes up (as the X input
            # method does), and typed fields stay empty.
            env["GTK_IM_MODULE"] = "gtk-im-context-simple"
            env.pop("XMODIFIERS", None)
            code = subprocess.run(command, env=env).returncode
            return code if code >= 0 else 128 - code
        finally:
            os.close(read_end)
            stop(server)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
