"""Drives the technician's page in the real program through WebDriver
(--automation): the program under its own HOME and user folders, bounded
waits on what the page shows, a screenshot per step, and the GTK save dialog
answered with real key presses (xdotool)."""
import os
import subprocess
import sys
import time

from selenium import webdriver
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.webkitgtk.options import Options

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "app", "shell"))
import shelltest  # noqa: E402

WEBDRIVER = "/usr/bin/WebKitWebDriver"
SIZE = (1280, 860)  # the window's content; run under a screen larger than this


class Page:
    """One program with its window, driven by a WebDriver session."""

    def __init__(self, binary, root, artefacts, args=("--demo",)):
        env = shelltest.private_env(root)
        # WebKitWebDriver starts the program with its own environment.
        os.environ.update({k: env[k] for k in ("HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR")})
        # GTK's own input method: once ja_JP.UTF-8 is generated GTK picks XIM
        # on Xvfb, which lower-cases typed capitals and stops the window
        # repainting (its screenshots freeze) after a text field has focus.
        os.environ["GTK_IM_MODULE"] = "gtk-im-context-simple"
        self.artefacts = artefacts
        self.shots = []
        options = Options()
        options.binary_location = binary
        options.add_argument("--automation")
        for a in args:
            options.add_argument(a)
        options.set_capability("browserName", "Linkmeter")
        self.driver = webdriver.WebKitGTK(options=options, executable_path=WEBDRIVER)
        self.driver.set_script_timeout(20)
        self.wait_for(lambda: self.js("return document.querySelector('#app[data-ready=true]') !== null"),
                      20, "the page to be ready")
        # Through the program's own window functions: after WebDriver's window
        # resize its screenshots never answer.
        self.js("app.setWindowPos(0, 0); app.setWindowSize(%d, %d);" % SIZE)
        self.wait_for(lambda: self.js("return innerWidth") == SIZE[0], 10, "the window size")
        self.window = self._window_id()

    def quit(self):
        try:
            self.driver.quit()
        except WebDriverException:
            pass

    # What the page holds.
    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def all(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def text(self, css):
        return self.find(css).text

    def attr(self, css, name):
        return self.find(css).get_attribute(name)

    def click(self, css):
        """A real click, once the element can be clicked. It is brought to the
        middle of the window first: a group of the site tree out of view is
        laid out only once scrolled to (content-visibility), which moves what
        is in it after WebDriver worked out where to click, and the sticky
        header covers the top rows."""
        self.wait_for(lambda: self._clickable(css), 10, css + " to be clickable")
        element = self.find(css)
        self.js("arguments[0].scrollIntoView({block: 'center'})", element)
        element.click()

    def _clickable(self, css):
        found = self.all(css)
        return bool(found) and found[0].is_displayed() and found[0].is_enabled()

    def type_into(self, css, text):
        element = self.find(css)
        element.clear()
        element.send_keys(text)

    def wait_for(self, condition, limit, what):
        end = time.monotonic() + limit
        last = None
        while time.monotonic() < end:
            try:
                if condition():
                    return
            except WebDriverException as e:  # an element replaced while we looked
                last = e
            time.sleep(0.1)
        self.shot("timeout")
        raise AssertionError("timed out waiting for %s%s\n%s" % (what, " (%s)" % last.msg if last else "",
                                                                   self.messages()))

    def wait_attr(self, css, name, values, limit):
        self.wait_for(lambda: self.all(css) and self.attr(css, name) in values, limit,
                      "%s[%s] in %s" % (css, name, values))
        return self.attr(css, name)

    def errors(self):
        return [e.text for e in self.all("#messages [data-test=error]")]

    def messages(self):
        try:
            return "page messages: " + repr(self.text("#messages"))
        except WebDriverException:
            return ""

    def shot(self, name):
        """Keeps a screenshot of the window, as the X server shows it, as a
        test artefact."""
        os.makedirs(self.artefacts, exist_ok=True)
        path = os.path.join(self.artefacts, "%02d-%s.png" % (len(self.shots) + 1, name))
        time.sleep(0.3)  # let the last change reach the screen
        subprocess.run(["import", "-window", self.window, path], check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.shots.append(path)
        return path

    @staticmethod
    def _window_id():
        windows = []
        end = time.monotonic() + 10
        while not windows and time.monotonic() < end:
            windows = shelltest.program_windows()
        if len(windows) != 1:
            raise AssertionError("expected one program window: %s" % windows)
        return windows[0].split()[0]


def run_steps(page, steps):
    """Runs each step on `page` in order, naming it first so a hang shows where."""
    for step in steps:
        print("step:", step.__name__, flush=True)
        step(page)


def fresh_artefacts(folder):
    """Empties the screenshots of an earlier run from `folder`."""
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        if name.endswith(".png"):
            os.remove(os.path.join(folder, name))


def save_dialog_answer(path, limit=15):
    """Types `path` into the program's GTK save dialog and confirms it, as a
    person would: the dialog's file-name field has the focus when it opens."""
    window = _dialog_window(limit, "save dialog")
    xdo = ["xdotool"]
    subprocess.run(xdo + ["key", "--window", window, "--clearmodifiers", "ctrl+a"], check=True, timeout=10)
    subprocess.run(xdo + ["type", "--window", window, "--delay", "5", path], check=True, timeout=30)
    time.sleep(0.3)
    subprocess.run(xdo + ["key", "--window", window, "Return"], check=True, timeout=10)


def message_box_answer(key, limit=15):
    """Presses a button of the program's message box by its mnemonic
    ("alt+y" for Yes, "alt+n" for No)."""
    window = _dialog_window(limit, "message box")
    # To the focused window: the box is gone before a key sent to it by id
    # would be released.
    subprocess.run(["xdotool", "key", "--clearmodifiers", key], check=True, timeout=10)
    end = time.monotonic() + limit
    while time.monotonic() < end and window in _visible_windows():
        time.sleep(0.1)


def _visible_windows():
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "linkmeter"],
                          capture_output=True, text=True, timeout=10).stdout.split()


def _dialog_window(limit, what):
    """The program's newest dialog, focused."""
    end = time.monotonic() + limit
    window = None
    while time.monotonic() < end and not window:
        dialogs = [w for w in _visible_windows() if _is_dialog(w)]
        window = dialogs[-1] if dialogs else None
        if not window:
            time.sleep(0.2)
    if not window:
        raise AssertionError("no %s appeared" % what)
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True, timeout=10)
    time.sleep(0.3)
    return window


def _is_dialog(window):
    info = subprocess.run(["xprop", "-id", window, "_NET_WM_WINDOW_TYPE", "WM_TRANSIENT_FOR"],
                          capture_output=True, text=True, timeout=10).stdout
    return "_NET_WM_WINDOW_TYPE_DIALOG" in info or "window id #" in info
