#!/usr/bin/python3
"""The plant in a browser, end to end: a PostgreSQL server in a temporary folder, two headless
services as two sites (Hall A with the approval gate on), each with ferix-unit-sim on a
pseudo-terminal pair, and ferixdnc-web on the shared history; headless Chromium driven through
chromedriver. An approver signs in, sees both sites, filters the transfers by site, opens the
difference of the revision Hall A's unit sent, accepts it, and sees Hall A carry it out (the
file in its unit directory takes the new content); a viewer gets no accept button; a form sent
without its token is refused.

Exit status 0 passed, 1 failed, 77 skipped (only when Chromium, chromedriver or Selenium is
missing; everything else that is missing is a failure).

  plant_browser_test.py --service FerixDNC --unit-sim ferix-unit-sim --web ferixdnc-web
"""

import argparse
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.parse
import urllib.request

SKIP = 77
WAIT = 60  # seconds for anything to happen; only a failure waits that long
CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"

FIRST = "%\r\nN10 M30\r\n%\r\n"
RELEASED = "%\r\nN10 G00 X0 Y0\r\nN20 G01 X10 F200\r\nN30 M30\r\n%\r\n"
CHANGED = "%\r\nN10 G00 X0 Y0\r\nN20 G01 X12.5 F180\r\nN30 M30\r\n%\r\n"


def skip(why):
    print("SKIP: " + why + " (apt-get install chromium chromium-driver python3-selenium)")
    sys.exit(SKIP)


try:
    from selenium import webdriver
    from selenium.common.exceptions import NoSuchElementException, WebDriverException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError as e:
    skip("Selenium for Python 3 is not installed: " + str(e))


class Failed(Exception):
    pass


def wait_for(what, condition, timeout=WAIT):
    """Polls `condition` until it returns something true; fails naming `what` after `timeout`."""
    end = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > end:
            raise Failed("timed out waiting for " + what)
        time.sleep(0.1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Plant:
    """The processes of the test, each ended and its files removed at the end."""

    def __init__(self, args):
        self.args = args
        self.dir = tempfile.mkdtemp(prefix="ferix-plant-browser-")
        os.chmod(self.dir, 0o755)  # the server's user enters it
        self.processes = []
        self.pg_bin = None
        self.pg_data = None
        self.pg_user = None

    # ---- processes
    def start(self, name, command, stdin=subprocess.DEVNULL, env=None):
        log = open(os.path.join(self.dir, name + ".log"), "wb")
        process = subprocess.Popen(command, stdin=stdin, stdout=log, stderr=subprocess.STDOUT,
                                   env=env, start_new_session=True)
        self.processes.append((name, process))
        return process

    def log(self, name):
        try:
            with open(os.path.join(self.dir, name + ".log"), "rb") as f:
                return f.read().decode("utf-8", "replace")
        except OSError:
            return ""

    def close(self, keep_logs):
        for name, process in reversed(self.processes):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        if self.pg_data and os.path.exists(os.path.join(self.pg_data, "postmaster.pid")):
            self.as_server_user([os.path.join(self.pg_bin, "pg_ctl"), "-D", self.pg_data,
                                 "-m", "immediate", "-w", "stop"])
        if keep_logs:
            for name, _ in self.processes:
                print("---- " + name + ".log\n" + self.log(name)[-4000:])
        shutil.rmtree(self.dir, ignore_errors=True)

    # ---- the history server
    def as_server_user(self, command):
        if self.pg_user:
            command = ["/usr/bin/setpriv", "--reuid", self.pg_user, "--regid", self.pg_user,
                       "--clear-groups", "--"] + command
        return subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, cwd=self.pg_home, check=False)

    def start_server(self):
        """A PostgreSQL server reached only by a Unix socket in its folder; its URI."""
        versions = sorted((d for d in os.listdir("/usr/lib/postgresql")
                           if os.path.exists(os.path.join("/usr/lib/postgresql", d, "bin",
                                                          "pg_ctl"))),
                          key=lambda v: int(v) if v.isdigit() else 0) \
            if os.path.isdir("/usr/lib/postgresql") else []
        if not versions:
            raise Failed("initdb and pg_ctl are not installed (apt-get install postgresql)")
        self.pg_bin = os.path.join("/usr/lib/postgresql", versions[-1], "bin")
        self.pg_home = os.path.join(self.dir, "server")
        os.mkdir(self.pg_home)
        if os.geteuid() == 0:  # the server refuses root
            self.pg_user = "postgres"
            user = pwd.getpwnam(self.pg_user)
            os.chown(self.pg_home, user.pw_uid, user.pw_gid)
        self.pg_data = os.path.join(self.pg_home, "data")
        done = self.as_server_user([os.path.join(self.pg_bin, "initdb"), "-D", self.pg_data,
                                    "-U", "ferix", "-A", "trust", "-E", "UTF8", "--locale=C",
                                    "--no-sync"])
        if done.returncode != 0:
            raise Failed("initdb failed:\n" + done.stdout.decode(errors="replace"))
        options = ("-c listen_addresses='' -k " + self.pg_home +
                   " -c fsync=off -c synchronous_commit=off -c full_page_writes=off")
        done = self.as_server_user([os.path.join(self.pg_bin, "pg_ctl"), "-D", self.pg_data,
                                    "-o", options, "-l", os.path.join(self.pg_home, "server.log"),
                                    "-w", "start"])
        if done.returncode != 0:
            raise Failed("the server did not start:\n" + done.stdout.decode(errors="replace"))
        done = subprocess.run([os.path.join(self.pg_bin, "psql"), "-h", self.pg_home, "-U",
                               "ferix", "-d", "postgres", "-q", "-c", "CREATE DATABASE plant"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
        if done.returncode != 0:
            raise Failed("cannot make the database:\n" + done.stdout.decode(errors="replace"))
        return "postgresql:///plant?host=" + self.pg_home + "&user=ferix"

    # ---- a site: its line, its units and its service
    def start_site(self, name, key, history, gate):
        home = os.path.join(self.dir, key)
        units_dir = os.path.join(home, "units")
        os.makedirs(os.path.join(units_dir, "Ferix1"))
        line, units = os.path.join(home, "line"), os.path.join(home, "units-end")
        self.start(key + "-socat", ["socat", "pty,raw,echo=0,link=" + line,
                                    "pty,raw,echo=0,link=" + units])
        wait_for(name + "'s pseudo-terminal pair",
                 lambda: os.path.exists(line) and os.path.exists(units))
        sim = self.start(key + "-units", [self.args.unit_sim, "--device", units, "--line",
                                          "9600,n,8,2", "--units", "1"],
                         stdin=subprocess.PIPE)
        program = os.path.join(units_dir, "Ferix1", "PRG1.WTX")
        with open(program, "w", newline="") as f:
            f.write(FIRST)
        site = {"name": name, "sim": sim, "program": program, "key": key, "home": home,
                "line": line, "units_dir": units_dir, "history": history, "runs": 0}
        self.start_service(site, gate)
        return site

    def start_service(self, site, gate):
        """The site's service, with the approval gate on or off; the name of its log."""
        home = site["home"]
        config = os.path.join(home, "DNC.ini")
        with open(config, "w") as f:
            f.write("[Common]\n1=True\nPlantSite=" + site["name"] + "\nHistoryDatabase=" +
                    site["history"] + "\nHistoryKeepPrograms=True\n"
                    "[Ports]\n1=" + site["line"] + "\n"
                    "[Config1]\nCaption=" + site["name"] + " lathes\nCommPort=1\n"
                    "CommSpeed=9600\nProtocol=3\nFerixHomeDir=" + site["units_dir"] + "/\n"
                    "FerixDir1=Ferix1/\nConnected1=True\nProtectPrograms=" +
                    ("True" if gate else "False") + "\n")
        env = dict(os.environ, HOME=home, XDG_STATE_HOME=os.path.join(home, "state"),
                   XDG_CONFIG_HOME=os.path.join(home, "config"), LANG="C.UTF-8",
                   DBUS_SESSION_BUS_ADDRESS="unix:path=" + os.path.join(home, "no-bus"))
        site["runs"] += 1
        site["log"] = site["key"] + "-service-" + str(site["runs"])
        site["service"] = self.start(site["log"], [self.args.service, "--headless", "--config",
                                                   config], env=env)

    def stop_service(self, site):
        site["service"].send_signal(signal.SIGTERM)
        site["service"].wait(timeout=WAIT)

    def unit(self, site, command):
        site["sim"].stdin.write((command + "\n").encode())
        site["sim"].stdin.flush()

    # ---- the browser view
    def start_web(self, history):
        users = os.path.join(self.dir, "users")
        for name, role in (("anna", "approver"), ("victor", "viewer")):
            done = subprocess.run([self.args.web, "--users", users, "--add-user", name,
                                   "--role", role], input=(name + "-secret-1\n").encode(),
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
            if done.returncode != 0:
                raise Failed("cannot add " + name + ":\n" + done.stdout.decode(errors="replace"))
        port = free_port()
        self.start("web", [self.args.web, "--store", history, "--users", users, "--listen",
                           "127.0.0.1:" + str(port), "--language", "en"])

        def listening():
            try:
                with socket.create_connection(("127.0.0.1", port), timeout=1):
                    return True
            except OSError:
                return False

        wait_for("ferixdnc-web to listen", listening)
        return "http://127.0.0.1:" + str(port)


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--disable-gpu", "--user-data-dir=" + profile, "--lang=en"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)


def element(driver, id_):
    try:
        return driver.find_element(By.ID, id_)
    except NoSuchElementException:
        return None


def reloaded_until(driver, what, url, condition):
    """Loads `url` again until `condition(driver)` holds: the pages do not push news."""
    def check():
        driver.get(url)
        return condition(driver)
    return wait_for(what, check)


def sign_in(driver, base, name):
    driver.delete_all_cookies()
    driver.get(base + "/sign-in")
    driver.find_element(By.ID, "name").send_keys(name)
    driver.find_element(By.ID, "password").send_keys(name + "-secret-1")
    driver.find_element(By.ID, "submit").click()
    wait_for(name + " to be signed in", lambda: element(driver, "signed-in-as") is not None and
             name in element(driver, "signed-in-as").text)


def table_rows(driver, id_):
    table = element(driver, id_)
    if table is None:
        return []
    return [[cell.text for cell in row.find_elements(By.XPATH, "./td|./th")]
            for row in table.find_elements(By.CSS_SELECTOR, "tbody tr")]


def post(base, path, cookies, token=None):
    """A form sent in the session of `cookies`, with `token` or without one: the status code."""
    body = urllib.parse.urlencode({"csrf": token}).encode() if token else b""
    request = urllib.request.Request(
        base + path, data=body, method="POST",
        headers={"Cookie": "; ".join(c["name"] + "=" + c["value"] for c in cookies),
                 "Content-Type": "application/x-www-form-urlencoded"})
    try:
        with urllib.request.urlopen(request, timeout=WAIT) as answer:
            return answer.status
    except urllib.error.HTTPError as e:
        return e.code


def run(plant):
    history = plant.start_server()
    hall_a = plant.start_site("Hall A", "a", history, gate=False)
    hall_b = plant.start_site("Hall B", "b", history, gate=False)
    base = plant.start_web(history)
    # Hall A's unit sends the program with the gate off: the released version. Then the gate
    # goes on, and the unit sends it changed: that one waits for approval. Hall B's unit
    # fetches a program.
    for text, name in ((RELEASED, "released.nc"), (CHANGED, "changed.nc")):
        with open(os.path.join(plant.dir, name), "w", newline="") as f:
            f.write(text)
    plant.unit(hall_a, "load 1 PRG1 1 " + os.path.join(plant.dir, "released.nc"))
    plant.unit(hall_a, "request 1 put PRG1")
    wait_for("Hall A's first upload", lambda: "PRG1.WTX, unit to PC, done" in plant.log(
        hall_a["log"]))
    plant.stop_service(hall_a)
    plant.start_service(hall_a, gate=True)
    plant.unit(hall_a, "delete 1 PRG1")
    plant.unit(hall_a, "load 1 PRG1 1 " + os.path.join(plant.dir, "changed.nc"))
    plant.unit(hall_a, "request 1 put PRG1")
    plant.unit(hall_b, "request 1 get PRG1 1")

    driver = browser(os.path.join(plant.dir, "chromium"))
    try:
        # The approver: both sites on the overview.
        sign_in(driver, base, "anna")
        reloaded_until(driver, "both sites on the overview", base + "/", lambda d: all(
            any(name in " ".join(row) for row in table_rows(d, "sites"))
            for name in ("Hall A", "Hall B")))

        # The transfers filtered by site: Hall B's fetch, none of Hall A's.
        reloaded_until(driver, "a transfer of each site", base + "/transfers", lambda d: all(
            any(name in row for row in table_rows(d, "transfers"))
            for name in ("Hall A", "Hall B")))
        site = driver.find_element(By.ID, "f-site")
        site.clear()
        site.send_keys("Hall B")
        element(driver, "filter").submit()
        wait_for("the filtered transfers", lambda: "site=Hall" in driver.current_url)
        rows = table_rows(driver, "transfers")
        if not rows or any(row[1] != "Hall B" for row in rows):
            raise Failed("the transfers filtered by Hall B show " + repr(rows))

        # The pending revision from Hall A, and its difference.
        reloaded_until(driver, "Hall A's revision among the pending", base + "/revisions",
                       lambda d: any("Hall A" in row and "PRG1.WTX" in row
                                     for row in table_rows(d, "pending")))
        driver.find_element(By.LINK_TEXT, "PRG1.WTX").click()
        wait_for("the revision's difference", lambda: element(driver, "diff") is not None)
        revision_url = driver.current_url
        revision_path = revision_url[len(base):]
        diff = element(driver, "diff").text
        if "X12.5 F180" not in diff or "X10 F200" not in diff:
            raise Failed("the difference shows neither side's changed line:\n" + diff)
        if element(driver, "accept") is None:
            raise Failed("the approver is offered no accept button")

        # A form without its token is refused, and decides nothing.
        status = post(base, revision_path + "/accept", driver.get_cookies())
        if status != 403:
            raise Failed("a POST without the form token got " + str(status) + ", not 403")

        # A viewer sees the difference but may not decide.
        sign_in(driver, base, "victor")
        driver.get(revision_url)
        wait_for("the difference for the viewer", lambda: element(driver, "diff") is not None)
        if element(driver, "accept") is not None or element(driver, "reject") is not None:
            raise Failed("a viewer is offered a decision")
        # Nor may a viewer decide by sending the form himself, with his own session's token.
        token = driver.find_element(By.CSS_SELECTOR, "form.account input[name=csrf]")
        status = post(base, revision_path + "/accept", driver.get_cookies(),
                      token.get_attribute("value"))
        if status != 403:
            raise Failed("a viewer's accept with his form token got " + str(status) + ", not 403")
        if element(driver, "state").text != "pending":
            raise Failed("the revision is " + element(driver, "state").text + " after refusals")
        if open(hall_a["program"], newline="").read() != RELEASED:
            raise Failed("Hall A's file changed before anybody accepted")

        # The approver accepts; Hall A's service carries it out.
        sign_in(driver, base, "anna")
        driver.get(revision_url)
        wait_for("the accept button", lambda: element(driver, "accept") is not None)
        element(driver, "accept").click()
        wait_for("the filed request's status",
                 lambda: element(driver, "request-status") is not None)
        reloaded_until(driver, "Hall A to carry the request out", revision_url,
                       lambda d: element(d, "request-status") is not None and
                       "carried out" in element(d, "request-status").text)
        # Accepted: a new released revision takes its content, this one is superseded.
        if element(driver, "state").text != "superseded":
            raise Failed("the accepted revision is " + element(driver, "state").text)
        if element(driver, "accept") is not None:
            raise Failed("a decided revision still offers a decision")
        wait_for("Hall A's unit directory to hold the accepted program",
                 lambda: open(hall_a["program"], newline="").read() == CHANGED)
    finally:
        driver.quit()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--service", required=True)
    parser.add_argument("--unit-sim", required=True)
    parser.add_argument("--web", required=True)
    args = parser.parse_args()
    for program, what in ((CHROMIUM, "Chromium"), (CHROMEDRIVER, "chromedriver")):
        if not os.access(program, os.X_OK):
            skip(what + " is not installed at " + program)
    if shutil.which("socat") is None:
        print("FAILED: socat is not installed (apt-get install socat)")
        return 1
    plant = Plant(args)
    passed = False
    started = time.monotonic()
    try:
        run(plant)
        passed = True
    except (Failed, WebDriverException) as e:
        print("FAILED: " + str(e))
    finally:
        plant.close(keep_logs=not passed)
    print(("passed" if passed else "failed") + " in %.1f s" % (time.monotonic() - started))
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
