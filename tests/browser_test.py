#!/usr/bin/python3
# The explorer page of plovo --serve, driven in headless Chromium: deep links, the readout
# against the API, zoom, keys, comparison, save links, no request off the origin, clean exit.
#
# Usage: /usr/bin/python3 tests/browser_test.py PLOVO_BINARY LOG...
#    or: PLOVO_BINARY=... PLOVO_LOGS=a.dat:b.dat /usr/bin/python3 tests/browser_test.py
# The first LOG should be examples/sample.dat (one braking, near 281 s); a log with several
# brakings is written by the test and served after the given ones. Screenshots for a person to
# look at are saved beside the binary: explorer-runs.png and explorer-run.png. Needs Debian's
# chromium, chromium-driver and python3-selenium. Exits 0 when every check passed, 77 when the
# binary has no --serve, 1 with the failed check's message otherwise.
import json
import os
import queue
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.actions.wheel_input import ScrollOrigin
    from selenium.webdriver.common.keys import Keys
except ImportError:
    webdriver = None  # main() says what to install

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
LABELS = {
    "time": "Time [s]", "velocity": "Velocity [m/s]", "acceleration": "Acceleration [m/ss]",
    "coupler-distance": "Coupler.Dist[m]", "coupler-force": "Coupler.Force[N]",
    "traction-force": "TractionForce [kN]", "friction-force": "FrictionForce [kN]",
    "brake-force": "BrakeForce [kN]", "brake-pressure": "BrakePress [MPa]",
    "pipe-pressure": "PipePress [MPa]", "motor-current": "MotorCurrent [A]",
    "distance": "Distance [m]", "traction-power": "TractionPower [kW]",
    "traction-energy": "TractionEnergy [kWh]",
}
THREE = ["velocity", "brake-pressure", "pipe-pressure"]
WAIT = 30  # s for anything the page or the server should do


class Failed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failed(message)


def wait_for(what, probe, timeout=WAIT):
    """Polls probe() until it returns something true; fails naming `what` after timeout s."""
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        last = probe()
        if last:
            return last
        time.sleep(0.05)
    raise Failed(f"timed out after {timeout} s waiting for {what} (last: {last!r})")


# ---------------------------------------------------------------------------------------------
# A log with several brakings, in the simulator's layout

def write_brakings_log(path, samples, seed):
    """Departures, cruising and brakings (to a stop or to a slower speed), then a stand, over
    and over: 0.1 s a sample, a 247-byte header, 24-character columns."""
    rng = random.Random(seed)
    header = ("Rail vehicle driving simulator - telemetry log\n"
              "Written by plovo's browser test: departures, cruising and several brakings.")
    lines = [header.ljust(246) + "\n"]
    plan = []
    for k in range(samples // 300 + 3):
        speed = [16, 22, 12, 19, 25, 14][k % 6] * rng.uniform(0.85, 1.15)  # m/s
        cylinder = [0.38, 0.25, 0.30, 0.38, 0.2, 0.33][k % 6] * rng.uniform(0.8, 1.0)  # MPa
        release = [0.0, 8.0, 0.0, 0.0, 11.0, 0.0][k % 6]  # m/s; 0: brake to a stop
        plan += [("drive", speed, 60 + 20 * (k % 3)), ("brake", release, cylinder),
                 ("stand", 0, 30)]
    step, t, v, traction, cyl, pipe = 0.1, 0.0, 0.0, 0.0, 0.0, 0.5
    stage, left = 0, None
    for _ in range(samples):
        kind, a, b = plan[stage]
        want_traction, want_pipe, done = 0.0, 0.5, False
        if kind == "drive":
            limit = min(280.0, 3000.0 / max(v, 1.0))
            want_traction = (limit if v < a - 0.5
                             else max(0.0, min(limit, 4 + 0.12 * v + 40 * (a - v))))
            left = b if left is None else left - step
            done = left <= 0 and v >= a - 1
        elif kind == "brake":
            want_pipe = 0.5 - 0.15 * b / 0.38
            done = v <= a if a > 0 else v <= 0
        else:
            left = b if left is None else left - step
            done = left <= 0
            want_pipe = 0.4 if v <= 0 else 0.5  # the brakes hold a standing train
        traction += (want_traction - traction) * 0.0645
        pipe += (want_pipe - pipe) * 0.0488
        cyl += (max(0.0, min(0.38, (0.5 - pipe) / 0.15 * 0.38)) - cyl) * 0.0328
        brake = 260.0 * cyl / 0.38
        friction = 4 + 0.12 * v + 0.008 * v * v if v > 0 else 0.0
        retard = brake if v > 0 else 0.0
        acc = 0.0 if v <= 0 and traction <= brake else (traction - friction - retard) / 400.0
        if v + acc * step < 0:
            acc = -v / step
        v += acc * step
        coupler = 0.85 * (traction - 0.3 * retard) * 1000 + 400 * rng.uniform(-1, 1)
        fields = [f"{t:.1f}", f"{v:.4f}", f"{acc + 0.002 * rng.uniform(-1, 1):.5f}",
                  f"{0.6 + coupler / 4e6:.5f}", f"{coupler:.1f}", f"{traction:.3f}",
                  f"{friction:.3f}", f"{brake:.3f}", f"{cyl:.4f}", f"{pipe:.4f}",
                  f"{traction * 3.5 if traction > 0.5 else 0.0:.2f}"]
        lines.append("".join(f.rjust(23) + " " for f in fields) + "\n")
        t += step
        if done:
            stage, left = stage + 1, None
    with open(path, "w") as f:
        f.writelines(lines)


# ---------------------------------------------------------------------------------------------
# The server

class Server:
    LINE = re.compile(r"^plovo: serving (\d+) runs? at (http://[^/\s]+)/\?token=(\S+)$")

    def __init__(self, binary, logs, tmpdir):
        env = dict(os.environ, TMPDIR=tmpdir)
        self.process = subprocess.Popen([binary, "--serve", "--port", "0", *logs], env=env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE, text=True)
        self.lines = queue.Queue()
        self.stderr = []
        # Read on its own thread: a server that writes more must never block on a full pipe.
        threading.Thread(target=self._drain, daemon=True).start()
        deadline = time.monotonic() + WAIT
        while True:
            try:
                line = self.lines.get(timeout=max(0.1, deadline - time.monotonic()))
            except queue.Empty:
                line = None
            if line is None:
                status = self.process.poll()
                if status is not None or time.monotonic() > deadline:
                    raise Failed(f"{binary} --serve printed no 'plovo: serving' line "
                                 f"(status {status}): {''.join(self.stderr).strip()!r}")
                continue
            match = self.LINE.match(line.rstrip("\n"))
            if match:
                break
        self.runs, self.origin, self.token = int(match[1]), match[2], match[3]
        self.url = f"{self.origin}/?token={self.token}"

    def _drain(self):
        for line in self.process.stderr:
            self.stderr.append(line)
            self.lines.put(line)

    def get(self, path, token=True):
        """The answer to GET path with the token header: (status, body text)."""
        request = urllib.request.Request(self.origin + path)
        if token:
            request.add_header("Authorization", "token " + self.token)
        try:
            with urllib.request.urlopen(request, timeout=WAIT) as response:
                return response.status, response.read().decode(errors="replace")
        except urllib.error.HTTPError as e:
            return e.code, e.read().decode(errors="replace")

    def json(self, path, raw_numbers=False):
        """Parsed JSON; with raw_numbers, every number as the text the server wrote."""
        status, body = self.get(path)
        check(status == 200, f"GET {path} gave {status}: {body[:300]}")
        if raw_numbers:
            return json.loads(body, parse_float=str, parse_int=str)
        return json.loads(body)

    def stop(self):
        """SIGTERM; the exit status, within 10 s."""
        self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise Failed("the server did not end within 10 s of SIGTERM")


# ---------------------------------------------------------------------------------------------
# The browser

def start_browser(profile, tmpdir):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync",
                     "--user-data-dir=" + profile, "--window-size=1500,950",
                     "--force-device-scale-factor=1"]:
        options.add_argument(argument)
    # Every request the browser makes, to check that none leaves the origin.
    options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
    service = Service(CHROMEDRIVER, env=dict(os.environ, TMPDIR=tmpdir))
    return webdriver.Chrome(service=service, options=options)


class Page:
    def __init__(self, driver, server):
        self.d, self.server = driver, server
        self.requests = []  # every URL the browser asked for
        self.console = []   # console errors

    def open(self, path):
        self.d.get(self.server.origin + path)
        self.collect()

    def view(self):
        return self.d.execute_script("return window.plovoView ? window.plovoView() : null")

    def settled(self):
        """The run page's view once its data is drawn and nothing is pending."""
        def probe():
            v = self.view()
            return v if v and v.get("ready") and not v.get("busy") else None
        return wait_for("the run page to settle", probe)

    def readout(self):
        return self.d.execute_script(
            "const r = document.getElementById('readout');"
            "return r ? [...r.querySelectorAll('.readout-line')].map(l => l.textContent) : null")

    def collect(self):
        for entry in self.d.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message.get("method") == "Network.requestWillBeSent":
                self.requests.append(message["params"]["request"]["url"])
        for entry in self.d.get_log("browser"):
            if entry["level"] == "SEVERE":
                self.console.append(entry["message"])

    def key(self, keys):
        ActionChains(self.d).send_keys(keys).perform()

    def shift_key(self, key):
        ActionChains(self.d).key_down(Keys.SHIFT).send_keys(key).key_up(Keys.SHIFT).perform()


def readout_line(sample, charts):
    """The readout's first line for a /sample answer, numbers as the server wrote them."""
    values = sample["values"]
    parts = [f"sample {sample['sample']} at {sample['time']} s"]
    for chart in charts:
        value = values.get(chart)
        parts.append(f"{LABELS[chart]}: {'nan' if value is None else value}")
    return " · ".join(parts)


def normal(text):
    return " ".join(text.split())


# ---------------------------------------------------------------------------------------------
# The checks

def check_runs_page(page, server, shots):
    runs = wait_for("every run's summary", lambda: (lambda r: r if r and not any(
        x.get("pending") for x in r) else None)(server.json("/api/runs")), timeout=120)
    page.d.get(server.url)
    page.collect()
    check("token" not in page.d.current_url,
          f"the token stayed in the address bar: {page.d.current_url}")
    brakings = sum(len(server.json(f"/api/runs/{r['id']}/brakings")) for r in runs
                   if r.get("readable"))
    wait_for("the runs table and the brakings scatter", lambda: (
        lambda v: v and v["runs"] == len(runs) and v["pending"] == 0 and
        v["brakings"] == brakings)(page.view()))
    rows = lambda: page.d.execute_script(
        "return [...document.querySelectorAll('#runs-table tbody tr')].map(r => r.dataset.run)")
    check(rows() == [str(r["id"]) for r in runs], f"runs out of order: {rows()}")

    # Sorted by samples, a number: 4000 before 30000 before 100000, as no text sort gives.
    page.d.execute_script(
        "[...document.querySelectorAll('#runs-table th')].find(h => h.title === 'samples')"
        ".click()")
    ascending = sorted(runs, key=lambda r: (r["samples"], r["id"]))
    wait_for("the table sorted by samples", lambda: rows() == [str(r["id"]) for r in ascending])
    page.d.execute_script(
        "[...document.querySelectorAll('#runs-table th')].find(h => h.title === 'samples')"
        ".click()")
    descending = sorted(runs, key=lambda r: (-r["samples"], r["id"]))  # ties stay by id
    wait_for("the table sorted by samples, downwards",
             lambda: rows() == [str(r["id"]) for r in descending])

    # Filtered by name, in any case, keeping the order.
    name = os.path.basename(runs[0]["log"])
    page.d.find_element("css selector", "input.filter").send_keys(name.upper())
    wanted = [str(r["id"]) for r in descending if name.lower() in r["log"].lower()]
    wait_for(f"the table filtered by {name.upper()!r}", lambda: rows() == wanted)
    check(len(wanted) < len(runs), f"every run's name holds {name!r}: the filter is untested")
    page.d.execute_script("const b = document.querySelector('input.filter'); b.value = '';"
                          "b.dispatchEvent(new Event('input'))")
    wait_for("the filter cleared", lambda: len(rows()) == len(runs))
    page.d.save_screenshot(os.path.join(shots, "explorer-runs.png"))
    page.collect()
    return runs


def check_deep_link(page, server, run, at, to, cursor, charts=THREE):
    """Opens a deep link, checks the view and the readout against /sample."""
    page.open(f"/run/{run}?charts={','.join(charts)}&at={at}&to={to}&cursor={cursor}")
    view = page.settled()
    wait_for("the readout", lambda: page.readout() and page.readout()[0].startswith("sample "))
    sample = server.json(f"/api/runs/{run}/sample?at={cursor}", raw_numbers=True)
    expected = readout_line(sample, charts)
    view = page.settled()
    shown = normal(page.readout()[0])
    check(shown == normal(expected),
          f"run {run} at {cursor}: the readout says\n  {shown}\nthe server says\n  {expected}")
    check(view["cursor"] == sample["time"],
          f"the cursor is at {view['cursor']}, the sample at {sample['time']}")
    check(view["at"] == float(at) and view["to"] == float(to),
          f"the view is {view['at']}..{view['to']}, the link asked {at}..{to}")
    check(view["charts"] == charts, f"the panels are {view['charts']}")
    return view


def check_readout_now(page, server, run, charts=THREE):
    view = page.settled()
    sample = server.json(f"/api/runs/{run}/sample?at={view['cursor']}", raw_numbers=True)
    shown = normal(page.readout()[0])
    check(shown == normal(readout_line(sample, charts)),
          f"the readout says {shown!r}, the server {readout_line(sample, charts)!r}")
    return view, sample


def check_wheel_zoom(page):
    before = page.settled()
    over = page.d.find_element("css selector", ".panel .u-over")
    ActionChains(page.d).scroll_from_origin(ScrollOrigin.from_element(over), 0, -300).perform()
    after = wait_for("the zoom to settle", lambda: (lambda v: v if v and not v["busy"] and
                     v["to"] - v["at"] < before["to"] - before["at"] else None)(page.view()))
    check(after["at"] >= before["at"] and after["to"] <= before["to"],
          f"a zoom in at the middle left the range: {before['at']}..{before['to']} became "
          f"{after['at']}..{after['to']}")
    url = page.d.current_url
    at = float(re.search(r"[?&]at=([^&]+)", url)[1])
    to = float(re.search(r"[?&]to=([^&]+)", url)[1])
    check(to - at < before["to"] - before["at"] and abs((to - at) - (after["to"] - after["at"]))
          < (after["to"] - after["at"]) * 0.01,
          f"the address bar's at/to ({at}..{to}) do not follow the zoom: {url}")
    # Out again, past the whole run: the view is the whole run, and the link says so.
    for _ in range(6):
        ActionChains(page.d).scroll_from_origin(ScrollOrigin.from_element(over), 0, 1000).perform()
    wait_for("a zoom out to the whole run", lambda: (lambda v: v and v["whole"] and
             not v["busy"])(page.view()))
    return after


def check_keys(page, server, run, brakings):
    """n, p, Right, Shift+Right, Left on a run whose brakings are given."""
    starts = [b["start_s"] for b in brakings]
    view = page.settled()
    cursor = float(view["cursor"])
    later = [s for s in starts if float(s) > cursor]
    check(later, f"no braking after the cursor at {cursor} to step to")
    page.key("n")
    wait_for(f"n to put the cursor on the braking at {later[0]} s",
             lambda: page.settled()["cursor"] == later[0])
    check_readout_now(page, server, run)
    view = page.settled()
    check(view["at"] < float(later[0]) < view["to"],
          f"n left the braking at {later[0]} s out of the view {view['at']}..{view['to']}")
    if len(later) > 1:
        page.key("n")
        wait_for(f"a second n to reach {later[1]} s",
                 lambda: page.settled()["cursor"] == later[1])
        page.key("p")
        wait_for(f"p to come back to {later[0]} s", lambda: page.settled()["cursor"] == later[0])
    sample = int(page.settled()["cursorSample"])
    page.key(Keys.ARROW_RIGHT)
    wait_for("Right to move one sample", lambda: page.settled()["cursorSample"] == sample + 1)
    check_readout_now(page, server, run)
    page.shift_key(Keys.ARROW_RIGHT)
    wait_for("Shift+Right to move ten samples",
             lambda: page.settled()["cursorSample"] == sample + 11)
    check_readout_now(page, server, run)
    page.key(Keys.ARROW_LEFT)
    wait_for("Left to move back one sample",
             lambda: page.settled()["cursorSample"] == sample + 10)


def check_compare(page, server, run, other, braking, at, to, cursor, shots):
    page.open(f"/run/{run}?charts={','.join(THREE)}&at={at}&to={to}&cursor={cursor}"
              f"&compare={other}:{braking}")
    view = page.settled()
    check(view["compare"] == f"{other}:{braking}", f"the comparison is {view['compare']}")
    lines = wait_for("the readout's two lines", lambda: (lambda r: r if r and len(r) == 2 and
                     r[0].startswith("sample ") else None)(page.readout()))
    check(f"run {other} braking {braking}" in lines[1],
          f"the readout's second line does not name the compared braking: {lines[1]!r}")
    check_readout_now(page, server, run)
    legend = page.d.execute_script("return document.querySelector('.legend').textContent")
    check(f"braking {braking}" in legend, f"the legend does not name the braking: {legend!r}")

    # Save links: the view, its comparison, and never the token.
    links = page.d.execute_script(
        "return [...document.querySelectorAll('#save a[download]')]"
        ".map(a => a.getAttribute('href'))")
    plots = [h for h in links if "/plot." in h]
    check(len(plots) == 3 and any("/export.csv" in h for h in links),
          f"the save links are {links}")
    for href in links:
        check(server.token not in href, f"a save link carries the token: {href}")
        check(f"/api/runs/{run}/" in href and "charts=velocity,brake-pressure,pipe-pressure"
              in href, f"a save link is not for this view: {href}")
    for href in plots:
        check(f"compare={other}:{braking}" in href and "x=time" in href,
              f"a plot link lacks the comparison or the x: {href}")
    for href in links:
        status, body = server.get(href)
        check(status == 200, f"GET {href} gave {status}")
        kind = href.split("?")[0].rsplit(".", 1)[-1]
        heads = {"png": "\ufffdPNG", "svg": "<?xml", "pdf": "%PDF-", "csv": "time,velocity,"}
        check(body.startswith(heads[kind]), f"GET {href} gave {body[:20]!r}, not a {kind}")
    page.d.save_screenshot(os.path.join(shots, "explorer-run.png"))


def check_requests(page, server):
    page.collect()
    check(page.requests, "the browser's performance log recorded no request")
    # chrome:// and data: are the browser's own pages and inline data: nothing goes out.
    for url in page.requests:
        if re.match(r"(chrome|chrome-untrusted|about|data|blob):", url):
            continue
        check(url.startswith(server.origin + "/"),
              f"a request left the origin {server.origin}: {url}")
    first = [u for u in page.requests if "token=" in u]
    check(len(first) <= 1, f"the token went out again after the first page: {first[1:]}")
    check(not page.console, "the browser's console has errors:\n  " + "\n  ".join(page.console))


def main():
    args = sys.argv[1:]
    binary = args[0] if args else os.environ.get("PLOVO_BINARY", "")
    logs = args[1:] if len(args) > 1 else [l for l in os.environ.get("PLOVO_LOGS", "").split(":")
                                           if l]
    if not binary or not logs:
        print("Usage: browser_test.py PLOVO_BINARY LOG...  (or PLOVO_BINARY and PLOVO_LOGS)",
              file=sys.stderr)
        return 2
    if webdriver is None or not all(os.access(t, os.X_OK) for t in (CHROMIUM, CHROMEDRIVER)):
        print("browser_test: Chromium, its driver or Selenium is missing (apt-get install "
              "chromium chromium-driver python3-selenium; run with /usr/bin/python3)",
              file=sys.stderr)
        return 1
    help_text = subprocess.run([binary, "--help"], capture_output=True, text=True).stdout
    if "--serve" not in help_text:
        print(f"browser_test: skipped: {binary} has no --serve", file=sys.stderr)
        return 77
    shots = os.path.dirname(os.path.abspath(binary))

    top = tempfile.mkdtemp(prefix="plovo-browser-")
    server_tmp, chrome_tmp = os.path.join(top, "server-tmp"), os.path.join(top, "chrome-tmp")
    for folder in (server_tmp, chrome_tmp):
        os.mkdir(folder)
    server = driver = None
    passed = 0
    try:
        several = os.path.join(top, "several-brakings.dat")
        write_brakings_log(several, 12000, seed=7)
        logs = [os.path.abspath(l) for l in logs] + [several]
        server = Server(binary, logs, server_tmp)
        check(server.runs == len(logs), f"serving {server.runs} runs, not {len(logs)}")
        status, _ = server.get("/api/runs", token=False)
        check(status in (401, 403), f"/api/runs without the token gave {status}")
        driver = start_browser(os.path.join(top, "profile"), chrome_tmp)
        page = Page(driver, server)

        runs = check_runs_page(page, server, shots)
        passed += 1
        several_id = len(logs)
        first = server.json("/api/runs/1/brakings", raw_numbers=True)
        many = server.json(f"/api/runs/{several_id}/brakings", raw_numbers=True)
        check(len(many) >= 3, f"the test's log has {len(many)} brakings, not several")

        # Every sample drawn (a short stretch), then columns (a long run), then the keys.
        check_deep_link(page, server, 1, "250", "330", "260.05")
        # The first sample's acceleration is -8e-05 as the server writes it, which JavaScript's
        # own text would make -0.00008; then the computed channels' long figures.
        check_deep_link(page, server, 1, "0", "20", "0", ["acceleration", "coupler-force"])
        check_deep_link(page, server, 1, "100", "150", "123.45",
                        ["distance", "traction-power", "traction-energy"])
        passed += 1
        check_deep_link(page, server, 1, "250", "330", "260.05")
        check_wheel_zoom(page)
        passed += 1
        check_deep_link(page, server, 1, "250", "330", "260.05")
        check_keys(page, server, 1, first)
        passed += 1
        big = max(runs, key=lambda r: r.get("samples") or 0)
        end = float(big["end_s"])
        check_deep_link(page, server, big["id"], "0", repr(end), repr(round(end * 0.37, 2)))
        passed += 1
        second = float(many[1]["start_s"])
        check_deep_link(page, server, several_id, repr(second - 100), repr(second + 300),
                        repr(second - 50))
        check_keys(page, server, several_id, many)
        passed += 1
        check_compare(page, server, several_id, 1, 1, repr(second - 15), repr(second + 60),
                      repr(second + 10), shots)
        passed += 1
        check_requests(page, server)
        passed += 1

        driver.quit()
        driver = None
        status = server.stop()
        check(status == 0, f"the server exited with status {status} after SIGTERM")
        left = os.listdir(server_tmp)
        check(not left, f"the server left {left} in its TMPDIR")
        passed += 1
    except Failed as e:
        print(f"browser_test: FAILED: {e}", file=sys.stderr)
        if server:
            print("browser_test: the server's standard error:\n" + "".join(server.stderr),
                  file=sys.stderr)
        print(f"{passed} passed, 1 failed")
        return 1
    finally:
        if driver:
            driver.quit()
        if server and server.process.poll() is None:
            server.process.kill()
            server.process.wait()
        shutil.rmtree(top, ignore_errors=True)
    print(f"browser_test: screenshots in {shots}/explorer-runs.png and explorer-run.png")
    print(f"{passed} passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
