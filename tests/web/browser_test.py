#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The web page end to end in headless Chromium.

Serves the built page (build-web/reelport-web) from 127.0.0.1, gives it the
sample databases, presses Convert, and requires the messages and both CSV
files downloaded to be what the native tool prints and writes for them; then
that nothing was requested after the page loaded and nothing was stored, and
that the page opened as a local file converts as well, in UTF-8.

    browser_test.py PAGE_DIR NATIVE_REELPORT SAMPLE_DIR

bench/web_page.py times the page and takes its screenshot with the same browser.
"""
import functools
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

DATABASES = ["CinecaseTapes.PDB", "CinecaseProgs.PDB"]
CSV_FILES = ["CinecaseTapes.CSV", "CinecaseProgs.CSV"]


def native_run(reelport, sample, directory, *options):
    """The native tool's messages (names without their directory) and CSV files."""
    shutil.copytree(sample, directory)
    run = subprocess.run([reelport, *options, directory], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=True)
    return run.stdout.decode().replace(directory + "/", ""), {
        name: open(os.path.join(directory, name), "rb").read() for name in CSV_FILES}


def serve(directory):
    """A static server on 127.0.0.1 that keeps the path of every request."""
    requests = []

    class Handler(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            requests.append(self.path)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=directory))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, requests


def chromium(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    # Root needs --no-sandbox; the rest keep Chromium from reaching out to the network.
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--window-size=1000,1400"]:
        options.add_argument(flag)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def convert(driver, databases, downloads):
    """Chooses the databases and presses Convert; returns the messages shown and the CSV files downloaded."""
    driver.find_element(By.ID, "files").send_keys("\n".join(databases))
    driver.find_element(By.ID, "convert").send_keys(Keys.ENTER)
    driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
    csv = {}
    for name in CSV_FILES:
        driver.find_element(By.CSS_SELECTOR, f'a[download="{name}"]').click()  # waits for the result to show it
        path = os.path.join(downloads, name)
        for _ in range(300):
            if os.path.exists(path) and not os.path.exists(path + ".crdownload"):
                csv[name] = open(path, "rb").read()
                break
            time.sleep(0.1)
    return driver.execute_script("return document.getElementById('messages').textContent"), csv


def main(page, reelport, sample):
    page, reelport, sample = (os.path.abspath(path) for path in (page, reelport, sample))
    with tempfile.TemporaryDirectory() as scratch:
        server, requests = serve(page)
        driver = chromium(os.path.join(scratch, "profile"))
        driver.implicitly_wait(30)
        url = f"http://127.0.0.1:{server.server_address[1]}/index.html"
        try:
            expected = native_run(reelport, sample, os.path.join(scratch, "native"))
            driver.get(url)
            loaded = len(requests)
            shown = convert(driver, [os.path.join(sample, name) for name in DATABASES], os.path.join(scratch, "1"))
            assert shown == expected, f"the page's messages and CSV files differ from the native tool's: {shown[0]!r}"
            status = driver.find_element(By.ID, "status").text
            assert "(exit status 0)" in status, f"status shown: {status!r}"
            assert requests[loaded:] == [], f"requests after the page loaded: {requests[loaded:]}"
            stored = driver.execute_script(
                "return [document.cookie, localStorage.length, sessionStorage.length, "
                "performance.getEntriesByType('resource').map(entry => entry.name)]")
            assert stored[:3] == ["", 0, 0], f"cookies or storage used: {stored[:3]}"
            assert all(name.startswith(url.rsplit("/", 1)[0]) for name in stored[3]), \
                f"resources from elsewhere: {stored[3]}"

            # Opened as a local file, with the databases under other case, in UTF-8.
            renamed = os.path.join(scratch, "renamed")
            os.makedirs(renamed)
            for name in DATABASES:
                shutil.copy(os.path.join(sample, name), os.path.join(renamed, name.lower()))
            driver.get("file://" + os.path.join(page, "index.html"))
            driver.find_element(By.ID, "charset-utf8").send_keys(Keys.SPACE)
            utf8 = native_run(reelport, sample, os.path.join(scratch, "native-utf8"), "--utf8")
            assert utf8[1] != expected[1], "the sample is plain ASCII"
            shown = convert(driver, [os.path.join(renamed, name.lower()) for name in DATABASES], os.path.join(scratch, "2"))
            assert shown == utf8, f"from file://, in UTF-8, the page differs from the native tool: {shown[0]!r}"
            errors = [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
            assert errors == [], f"errors in the browser's console: {errors}"
        finally:
            driver.quit()
            server.shutdown()
    print("the page converts the sample as the native tool does; nothing requested or stored")


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
