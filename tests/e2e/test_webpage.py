#!/usr/bin/env python3
"""The remote control's web page in a real browser (Chromium through
Selenium), served by the real program (ardenix --headless --remote) on the
simulated mixer (dorvane-sim), on a private session bus and private
configuration and runtime folders. Everything talks over loopback only.

Run by ctest with ARDENIX_BIN_DIR set to the build's bin folder."""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest


BIN_DIR = os.environ.get("ARDENIX_BIN_DIR", "")
TOKEN = "browser-test-token-0123456789abcdef"
REMOTE_LINE = re.compile(r"ardenix: remote on http://127\.0\.0\.1:(\d+)/")


def binary(name):
    return os.path.join(BIN_DIR, name)


def wait_for(predicate, timeout, what):
    """Polls `predicate` until it returns a true value; fails naming `what`."""
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


class Lines:
    """The lines a child writes on one of its pipes, read as they come."""

    def __init__(self, stream):
        self.lines = []
        self._lock = threading.Lock()
        self._thread = threading.Thread(target=self._read, args=(stream,), daemon=True)
        self._thread.start()

    def _read(self, stream):
        for raw in iter(stream.readline, b""):
            with self._lock:
                self.lines.append(raw.decode("latin-1").rstrip("\n"))

    def snapshot(self):
        with self._lock:
            return list(self.lines)


class Simulator:
    """dorvane-sim on a link in a private folder, its console on stdin."""

    def __init__(self, folder):
        self.link = os.path.join(folder, "dorvane")
        self.process = subprocess.Popen(
            [binary("dorvane-sim"), "--link", self.link],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.log = Lines(self.process.stderr)
        self.answers = Lines(self.process.stdout)
        wait_for(lambda: self.answers.snapshot(), 10, "the simulator's link")
        if self.answers.snapshot()[0] != self.link:
            raise AssertionError("the simulator did not start: %r" % self.answers.snapshot())

    def command(self, text):
        before = len(self.answers.snapshot())
        self.process.stdin.write((text + "\n").encode())
        self.process.stdin.flush()
        wait_for(lambda: len(self.answers.snapshot()) > before, 10, "an answer to " + text)
        return self.answers.snapshot()[before]

    def state(self):
        return json.loads(self.command("state"))

    def frames(self, start=0):
        """The frames received from log line `start` on: "CRCS 38 31", ..."""
        found = []
        for line in self.log.snapshot()[start:]:
            parts = line.split(None, 2)
            if len(parts) == 3 and parts[1] == "rx":
                found.append(parts[2])
        return found

    def stop(self):
        stop(self.process)


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(5)


class TestWebPage(unittest.TestCase):
    """One program, simulator and browser for all cases; each case loads the
    page afresh and puts the mixer back as it needs it."""

    @classmethod
    def setUpClass(cls):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service

        cls.folder = tempfile.mkdtemp(prefix="ardenix-webpage-")
        cls.children = []
        try:
            config = os.path.join(cls.folder, "config")
            runtime = os.path.join(cls.folder, "runtime")
            os.makedirs(config)
            os.makedirs(runtime, mode=0o700)

            bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            cls.children.append(bus)
            bus_address = bus.stdout.readline().decode().strip()

            cls.sim = Simulator(cls.folder)
            env = dict(os.environ)
            env.update({
                "ARDENIX_PORT": cls.sim.link,
                "ARDENIX_REMOTE_TOKEN": TOKEN,
                "XDG_CONFIG_HOME": config,
                "XDG_RUNTIME_DIR": runtime,
                "DBUS_SESSION_BUS_ADDRESS": bus_address,
                "QT_QPA_PLATFORM": "offscreen",
            })
            program = subprocess.Popen(
                [binary("ardenix"), "--headless", "--remote", "--remote-port", "0",
                 "--osc-port", "0"],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                env=env, cwd=cls.folder)
            cls.children.append(program)
            cls.program_log = Lines(program.stderr)

            def port():
                for line in cls.program_log.snapshot():
                    match = REMOTE_LINE.search(line)
                    if match:
                        return int(match.group(1))
                if program.poll() is not None:
                    raise AssertionError("ardenix ended: %r" % cls.program_log.snapshot())
                return 0

            cls.base = "http://127.0.0.1:%d/" % wait_for(port, 30, "the program's remote line")

            options = webdriver.ChromeOptions()
            for argument in ("--no-sandbox", "--headless", "--disable-gpu",
                             "--disable-background-networking", "--disable-component-update",
                             "--disable-sync", "--no-first-run", "--disable-dev-shm-usage",
                             "--user-data-dir=" + os.path.join(cls.folder, "chromium")):
                options.add_argument(argument)
            chromium = shutil.which("chromium")
            if chromium:
                options.binary_location = chromium
            cls.browser = webdriver.Chrome(
                options=options,
                service=Service(executable_path=shutil.which("chromedriver") or
                                "/usr/bin/chromedriver"))
            cls.browser.set_window_size(1024, 768)
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        browser = getattr(cls, "browser", None)
        if browser is not None:
            browser.quit()
        sim = getattr(cls, "sim", None)
        for child in reversed(cls.children):
            stop(child)
        if sim is not None:
            sim.stop()
        shutil.rmtree(cls.folder, ignore_errors=True)

    # --- helpers

    def open_page(self, token=TOKEN):
        """Loads the page in a fresh tab state; with a token, waits until it
        shows the mixer online."""
        self.browser.get(self.base)
        self.browser.execute_script("sessionStorage.clear()")
        self.browser.get(self.base + ("#token=" + token if token else ""))
        if token == TOKEN:
            wait_for(lambda: self.banner_hidden(), 30, "the page to show the mixer online")

    def button(self, name):
        from selenium.webdriver.common.by import By
        found = self.browser.find_elements(By.CSS_SELECTOR, 'button[aria-label="%s"]' % name)
        self.assertEqual(len(found), 1, "one button named " + name)
        return found[0]

    def pressed(self, name):
        return self.button(name).get_attribute("aria-pressed")

    def banner_hidden(self):
        return self.browser.execute_script(
            "const b = document.querySelector('[role=status]');"
            "return b !== null && b.hidden;")

    def banner_text(self):
        return self.browser.execute_script(
            "const b = document.querySelector('[role=status]');"
            "return b && !b.hidden ? b.textContent : '';")

    def hold(self, name, seconds):
        from selenium.webdriver.common.action_chains import ActionChains
        ActionChains(self.browser).click_and_hold(self.button(name)).pause(seconds).release() \
            .perform()

    # --- cases

    def test_clicks_and_held_buttons_reach_the_mixer(self):
        self.assertEqual(self.sim.command("set input 1"), "ok input 1")
        self.assertEqual(self.sim.command("set mute A off"), "ok mute A off")
        self.assertEqual(self.sim.command("set level A 10"), "ok level A 10")
        self.open_page()
        self.assertEqual(self.pressed("Input 1"), "true")

        self.button("Input 4").click()
        wait_for(lambda: self.sim.state()["selectedInput"] == 4, 5, "the mixer's input 4")
        wait_for(lambda: self.pressed("Input 4") == "true", 5, "Input 4 lit")
        self.assertEqual(self.pressed("Input 1"), "false")

        # Held: pressed on pointer down, let go on pointer up.
        start = len(self.sim.log.snapshot())
        self.hold("Play", 0.5)
        wait_for(lambda: "CRCS 38 30" in self.sim.frames(start), 5, "the transport key let go")
        transport = [f for f in self.sim.frames(start) if f.startswith("CRCS")]
        self.assertEqual(transport, ["CRCS 38 31", "CRCS 38 30"])
        self.assertEqual(self.pressed("Play"), "false")

        start = len(self.sim.log.snapshot())
        self.hold("MASTER A up", 0.6)
        wait_for(lambda: "CLVS 40" in self.sim.frames(start), 5, "the level button let go")
        level = [f for f in self.sim.frames(start) if f.startswith("CLV")]
        self.assertEqual(level, ["CLV+ 40", "CLVS 40"])
        reached = self.sim.state()["masters"][0]["level"]
        self.assertGreater(reached, 10)
        meter = 'document.querySelector(\'[role=meter][aria-label="MASTER A level"]\')'
        wait_for(lambda: self.browser.execute_script(
            "return %s.getAttribute('aria-valuenow')" % meter) == str(reached), 5,
            "the level bar at the mixer's step")
        self.assertEqual(self.browser.execute_script(
            "return [%s.getAttribute('aria-valuemin'), %s.getAttribute('aria-valuemax')]"
            % (meter, meter)), ["0", "30"])

        # The panel's keys work when the page has focus.
        from selenium.webdriver.common.by import By
        self.browser.find_element(By.TAG_NAME, "body").send_keys("2")
        wait_for(lambda: self.sim.state()["selectedInput"] == 2, 5, "input 2 from the key 2")

    def test_the_mixers_own_changes_and_its_silence_appear(self):
        self.assertEqual(self.sim.command("set mute A off"), "ok mute A off")
        self.open_page()
        wait_for(lambda: self.pressed("MASTER A mute") == "false", 10, "MASTER A not muted")
        self.assertEqual(self.sim.command("set mute A on"), "ok mute A on")
        wait_for(lambda: self.pressed("MASTER A mute") == "true", 10, "MASTER A muted on the page")
        self.assertEqual(self.sim.command("set mute A off"), "ok mute A off")
        wait_for(lambda: self.pressed("MASTER A mute") == "false", 10, "MASTER A unmuted")

        self.assertTrue(self.banner_hidden())
        try:
            self.assertEqual(self.sim.command("silent on"), "ok silent on")
            text = wait_for(self.banner_text, 30, "the banner while the mixer is silent")
            self.assertIn("Mixer not connected", text)
        finally:
            self.sim.command("silent off")
        wait_for(self.banner_hidden, 60, "the banner gone once the mixer answers again")

    def test_a_phone_sized_window_has_every_control_without_sideways_scrolling(self):
        self.browser.set_window_size(390, 844)
        try:
            self.open_page()
            width = self.browser.execute_script(
                "return document.scrollingElement.scrollWidth")
            inner = self.browser.execute_script("return window.innerWidth")
            self.assertLessEqual(width, 390)
            self.assertLessEqual(width, inner)
            names = (["Input %d" % i for i in range(1, 7)] +
                     ["MASTER %s %s" % (m, w) for m in "AB" for w in ("mute", "up", "down")] +
                     ["Scene %s" % s for s in "ABCD"] +
                     ["Previous", "Next", "Stop", "Rewind", "Play", "Forward", "Pause"])
            for name in names:
                box = self.button(name).rect
                self.assertLessEqual(box["x"] + box["width"], inner, name + " within the width")
        finally:
            self.browser.set_window_size(1024, 768)

    def test_a_missing_or_wrong_token_says_how_to_get_the_address(self):
        from selenium.webdriver.common.by import By
        for token in ("", "not-the-token-at-all-xyz"):
            self.open_page(token)
            box = self.browser.find_element(By.CSS_SELECTOR, "[role=alert]")
            wait_for(box.is_displayed, 10, "the token message for %r" % token)
            self.assertIn("ardenixctl remote", box.text)
            self.assertIn("token", box.text)
            self.assertNotIn("#token=", self.browser.current_url)
        # The right token in the tab's storage survives a reload without the fragment.
        self.open_page()
        self.assertNotIn("#token=", self.browser.current_url)
        self.browser.refresh()
        wait_for(self.banner_hidden, 30, "the page online again after a reload")
        self.assertFalse(self.browser.find_element(By.CSS_SELECTOR, "[role=alert]").is_displayed())


if __name__ == "__main__":
    if not BIN_DIR:
        print("test_webpage: ARDENIX_BIN_DIR names no build's bin folder", file=sys.stderr)
        sys.exit(1)
    result = unittest.main(exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() else 1)
