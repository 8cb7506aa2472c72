"""The lookup page in a real browser: headless Chromium, driven by Selenium, against
the lookup service started here on a free loopback port.

    /usr/bin/python3 tests/browser/page_test.py --service BIN --certificates DIR
                                               [--screenshots DIR]

The browser reaches nothing but the service: every other host name fails to
resolve, and every other address goes to a proxy that only records and refuses.
"""

import argparse
import base64
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service as DriverService
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

GOOD_LINKS = [
    ("https://wx1.sinaimg.cn/large/9d0d09abgy1g.jpg", "2634877355"),
    ("https://tvax1.sinaimg.cn/crop.0.0.1.1.180/006r2HqOly8g.jpg?KID=imgbed,tva", "5896401674"),
]
BAD_LINK = "https://example.com/photo.jpg"
BAD_REASON = "这不是微博图片链接"

ARGS = None  # the command line, read in main()


class RefusingProxy:
    """A listener that accepts, records the first line of what arrives, and closes."""

    def __init__(self):
        self.requests = []
        self._socket = socket.socket()
        self._socket.bind(("127.0.0.1", 0))
        self._socket.listen(16)
        self._socket.settimeout(0.2)
        self.port = self._socket.getsockname()[1]
        self._running = True
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def _serve(self):
        while self._running:
            try:
                connection, _ = self._socket.accept()
            except (socket.timeout, OSError):
                continue
            with connection:
                connection.settimeout(1)
                try:
                    first = connection.recv(4096).split(b"\r\n", 1)[0]
                except OSError:
                    first = b""
                self.requests.append(first.decode("latin-1"))

    def close(self):
        self._running = False
        self._thread.join()
        self._socket.close()


class LookupService:
    """zentravo-lookup-service on 127.0.0.1, any free port; stopped by its pid."""

    def __init__(self, program, certificates):
        self.process = subprocess.Popen(
            [program, "--address", "127.0.0.1", "--port", "0",
             "--cert", os.path.join(certificates, "localhost.pem"),
             "--key", os.path.join(certificates, "localhost.key"), "--threads", "2"],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        line = self.process.stdout.readline()
        match = re.search(r"listening on https://127\.0\.0\.1:(\d+)", line)
        if not match:
            self.stop()
            raise RuntimeError(f"the lookup service did not start: {line!r}")
        self.port = int(match.group(1))

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def spki_hash(certificate):
    """The base64 SHA-256 of the certificate's public key, as Chromium names a trusted key."""
    key = subprocess.run(["openssl", "x509", "-in", certificate, "-noout", "-pubkey"],
                         check=True, capture_output=True).stdout
    der = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "der"], input=key,
                         check=True, capture_output=True).stdout
    digest = subprocess.run(["openssl", "dgst", "-sha256", "-binary"], input=der,
                            check=True, capture_output=True).stdout
    return base64.b64encode(digest).decode()


# Records every security-policy violation of the page before its own scripts run.
RECORD_VIOLATIONS = """
window.__violations = [];
document.addEventListener('securitypolicyviolation', (event) => {
  window.__violations.push(event.violatedDirective + ' ' + event.blockedURI);
});
"""


class LookupPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.proxy = RefusingProxy()
        cls.service = LookupService(ARGS.service, ARGS.certificates)
        cls.profile = tempfile.mkdtemp(prefix="zentravo-page-test-")
        cls.origin = f"https://localhost:{cls.service.port}"
        try:
            cls.driver = cls._start_browser()
        except Exception:
            cls._stop_all()
            raise

    @classmethod
    def _start_browser(cls):
        options = webdriver.ChromeOptions()
        options.binary_location = ARGS.chromium
        for flag in [
            "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--disable-dev-shm-usage", "--window-size=1280,800", "--lang=zh-CN",
            # Overlay scrollbars fade in and out, which would make each screenshot differ.
            "--hide-scrollbars",
            f"--user-data-dir={cls.profile}",
            # Only the service is reachable: no other name resolves, and anything
            # not on loopback goes to the refusing proxy.
            "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE localhost",
            f"--proxy-server=http://127.0.0.1:{cls.proxy.port}",
            # Trust the test certificate by its key alone, as if its authority were installed.
            "--ignore-certificate-errors-spki-list="
            + spki_hash(os.path.join(ARGS.certificates, "localhost.pem")),
        ]:
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
        driver = webdriver.Chrome(service=DriverService(executable_path=ARGS.chromedriver),
                                  options=options)
        driver.set_page_load_timeout(30)
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": RECORD_VIOLATIONS})
        driver.execute_cdp_cmd("Browser.grantPermissions", {
            "origin": cls.origin,
            "permissions": ["clipboardReadWrite", "clipboardSanitizedWrite"],
        })
        return driver

    @classmethod
    def _stop_all(cls):
        if getattr(cls, "driver", None):
            cls.driver.quit()
        cls.service.stop()
        cls.proxy.close()
        shutil.rmtree(cls.profile, ignore_errors=True)

    @classmethod
    def tearDownClass(cls):
        cls._stop_all()

    # --- steps the tests share -----------------------------------------------

    def open_page(self):
        self.driver.get_log("performance")  # only what follows counts
        self.driver.get(self.origin + "/")
        WebDriverWait(self.driver, 10).until(
            lambda d: d.execute_script("return document.readyState") == "complete")

    def type_links(self, text):
        box = self.driver.find_element(By.ID, "links")
        box.clear()
        box.click()
        for index, line in enumerate(text.split("\n")):
            if index > 0:
                box.send_keys(Keys.ENTER)
            box.send_keys(line)
        return box

    def wait_for_rows(self, count):
        try:
            WebDriverWait(self.driver, 10).until(
                lambda d: len(d.find_elements(By.CSS_SELECTOR, "#results > li")) == count
                and not d.find_element(By.ID, "query").get_attribute("disabled"))
        except TimeoutException:
            self.fail("no results: status line says "
                      + repr(self.driver.find_element(By.ID, "status").text))
        return self.driver.find_elements(By.CSS_SELECTOR, "#results > li")

    def clipboard_text(self):
        return self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "navigator.clipboard.readText().then(done, (e) => done('clipboard read failed: ' + e));")

    def page_requests(self):
        """Every URL asked for since the page was opened, from the browser's network
        events; the browser's own chrome:// pages (its new-tab page) left out."""
        urls = []
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message.get("method") == "Network.requestWillBeSent":
                url = message["params"]["request"]["url"]
                if not url.startswith(("chrome://", "chrome-untrusted://")):
                    urls.append(url)
        return urls

    def assert_quiet_console(self):
        entries = self.driver.get_log("browser")
        problems = [e["message"] for e in entries
                    if e["level"] in ("SEVERE", "WARNING") or "Content Security Policy" in e["message"]]
        self.assertEqual(problems, [], "the console shows errors")
        self.assertEqual(self.driver.execute_script("return window.__violations"), [],
                         "the page broke its security policy")

    def save_screenshot(self, name, width, height, scale):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": scale, "mobile": width < 600})
        try:
            overflow = self.driver.execute_script(
                "return document.documentElement.scrollWidth - document.documentElement.clientWidth")
            self.assertLessEqual(overflow, 0, f"the page is wider than {width} px")
            if ARGS.screenshots:
                shot = self.driver.execute_cdp_cmd("Page.captureScreenshot", {"format": "png"})
                os.makedirs(ARGS.screenshots, exist_ok=True)
                with open(os.path.join(ARGS.screenshots, name), "wb") as out:
                    out.write(base64.b64decode(shot["data"]))
        finally:
            self.driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

    # --- tests ---------------------------------------------------------------

    def test_1_page_loads_from_the_service_alone(self):
        self.open_page()
        driver = self.driver
        self.assertEqual(driver.find_element(By.TAG_NAME, "html").get_attribute("lang"), "zh-CN")
        self.assertEqual(driver.find_element(By.CSS_SELECTOR, "label[for=links]").text, "图片链接：")
        self.assertEqual(driver.find_element(By.ID, "query").text, "查询")
        # Its script ran: the answer section waits hidden for the first answer.
        self.assertFalse(driver.find_element(By.ID, "answer").is_displayed())

        requests = self.page_requests()
        for url in ("/", "/style.css", "/app.js"):
            self.assertIn(self.origin + url, requests)
        foreign = [url for url in requests if not url.startswith(self.origin + "/")]
        self.assertEqual(foreign, [], "the page asked for something besides the service")
        self.assertEqual(self.proxy.requests, [], "the browser tried to reach another address")
        self.assert_quiet_console()

    def test_2_looks_up_good_and_bad_links_and_copies_a_uid(self):
        self.open_page()
        driver = self.driver
        links = [GOOD_LINKS[0][0], "", BAD_LINK, "  ", GOOD_LINKS[1][0]]
        self.type_links("\n".join(links))
        driver.find_element(By.ID, "query").click()
        rows = self.wait_for_rows(3)

        self.assertEqual(driver.find_element(By.ID, "answer-title").text, "UID：")
        expected = [GOOD_LINKS[0], (BAD_LINK, None), GOOD_LINKS[1]]
        for row, (link, uid) in zip(rows, expected):
            with self.subTest(link=link):
                self.assertEqual(row.find_element(By.CLASS_NAME, "link").get_attribute("textContent"), link)
                if uid is None:
                    self.assertEqual(row.find_element(By.CLASS_NAME, "reason").text, BAD_REASON)
                    self.assertEqual(row.find_elements(By.TAG_NAME, "button"), [])
                else:
                    self.assertEqual(row.find_element(By.CLASS_NAME, "uid").text, uid)
                    account = row.find_element(By.CLASS_NAME, "account")
                    self.assertEqual(account.get_attribute("href"), f"https://weibo.com/u/{uid}")
                    self.assertEqual(row.find_element(By.TAG_NAME, "button").text, "复制")

        # Each row's 复制 copies its own UID and nothing else; the other button all of them.
        for row_index, (_, uid) in ((2, GOOD_LINKS[1]), (0, GOOD_LINKS[0])):
            rows[row_index].find_element(By.TAG_NAME, "button").click()
            WebDriverWait(driver, 5).until(lambda d: d.find_element(By.ID, "status").text == "已复制")
            self.assertEqual(self.clipboard_text(), uid)
            driver.execute_script("document.getElementById('status').textContent = ''")
        driver.find_element(By.ID, "copy-all").click()
        WebDriverWait(driver, 5).until(lambda d: d.find_element(By.ID, "status").text == "已复制")
        self.assertEqual(self.clipboard_text(), "\n".join(uid for _, uid in GOOD_LINKS))

        self.save_screenshot("page-desktop.png", 1280, 720, 1)
        self.save_screenshot("page-phone.png", 390, 844, 2)
        self.assertEqual([u for u in self.page_requests() if not u.startswith(self.origin + "/")], [])
        self.assertEqual(self.proxy.requests, [])
        self.assert_quiet_console()

    def test_3_works_by_keyboard_alone(self):
        self.open_page()
        driver = self.driver
        box = self.type_links(GOOD_LINKS[1][0])
        box.send_keys(Keys.CONTROL, Keys.ENTER)
        rows = self.wait_for_rows(1)
        self.assertEqual(rows[0].find_element(By.CLASS_NAME, "uid").text, GOOD_LINKS[1][1])
        self.assertNotIn("\n", box.get_attribute("value"), "Ctrl+Enter typed a line break")

        # From the text area, Tab reaches 查询, and Enter on it asks again.
        self.type_links(GOOD_LINKS[0][0])
        box.send_keys(Keys.TAB)
        self.assertEqual(driver.switch_to.active_element.get_attribute("id"), "query")
        driver.switch_to.active_element.send_keys(Keys.ENTER)
        # Read in one step: the rows are replaced as the answer arrives.
        WebDriverWait(driver, 10).until(lambda d: d.execute_script(
            "return [...document.querySelectorAll('#results .uid')].map((e) => e.textContent)")
            == [GOOD_LINKS[0][1]])
        self.assert_quiet_console()


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--service", required=True, help="the zentravo-lookup-service program")
    parser.add_argument("--certificates", required=True, help="folder with localhost.pem and localhost.key")
    parser.add_argument("--screenshots", help="folder to save the desktop and phone screenshots into")
    parser.add_argument("--chromium", default="/usr/bin/chromium")
    parser.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
