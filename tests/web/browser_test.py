#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The web page end to end in headless Chromium.

Opens the built page (build-web/reelport-web) as a local file, as a user who
saved it does, chooses UTF-8, gives it the sample databases named in another
case, presses Convert, and requires the messages and both CSV files
downloaded to be what the native tool prints and writes for them; then that
nothing was fetched from anywhere but the page's folder, nothing was stored,
and nothing went wrong in the browser's console. (tests/web/module_test.js
compares the page's conversions with the native tool on a table of catalogues.)

    browser_test.py PAGE_DIR NATIVE_REELPORT SAMPLE_DIR

bench/web_page.py times the page and takes its screenshot with the same browser.
"""
import os
import shutil
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

DATABASES = ["CinecaseTapes.PDB", "CinecaseProgs.PDB"]
CSV_FILES = ["CinecaseTapes.CSV", "CinecaseProgs.CSV"]


def chromium(profile):
    """Headless Chromium (bench/web_page.py starts it here too), waiting up to 30 s for an element to show."""
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    # Root needs --no-sandbox; the rest keep Chromium from reaching out to the network.
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--window-size=1000,1400"]:
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.implicitly_wait(30)
    return driver


def main(page, reelport, sample):
    page, reelport, sample = (os.path.abspath(path) for path in (page, reelport, sample))
    with tempfile.TemporaryDirectory() as scratch:
        native, renamed, downloads = (os.path.join(scratch, name) for name in ("native", "renamed", "downloads"))
        shutil.copytree(sample, native)
        run = subprocess.run([reelport, "--utf8", native], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=True)
        expected_csv = {name: open(os.path.join(native, name), "rb").read() for name in CSV_FILES}
        assert max(expected_csv["CinecaseProgs.CSV"]) >= 0x80, "the sample is plain ASCII: UTF-8 changes nothing"
        os.makedirs(renamed)
        for name in DATABASES:
            shutil.copy(os.path.join(sample, name), os.path.join(renamed, name.lower()))

        driver = chromium(os.path.join(scratch, "profile"))
        try:
            driver.get("file://" + os.path.join(page, "index.html"))
            driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
            driver.find_element(By.ID, "charset-utf8").send_keys(Keys.SPACE)
            driver.find_element(By.ID, "files").send_keys("\n".join(os.path.join(renamed, n.lower()) for n in DATABASES))
            driver.find_element(By.ID, "convert").send_keys(Keys.ENTER)
            for name in CSV_FILES:
                driver.find_element(By.CSS_SELECTOR, f'a[download="{name}"]').click()
                path = os.path.join(downloads, name)
                WebDriverWait(driver, 30).until(lambda _: os.path.exists(path) and not os.path.exists(path + ".crdownload"))
                assert open(path, "rb").read() == expected_csv[name], f"{name} differs from the native tool's"
            messages = driver.execute_script("return document.getElementById('messages').textContent")
            assert messages == run.stdout.decode().replace(native + "/", ""), f"messages shown: {messages!r}"
            status = driver.find_element(By.ID, "status").text
            assert "(exit status 0)" in status, f"status shown: {status!r}"
            stored = driver.execute_script(
                "return [document.cookie, localStorage.length, sessionStorage.length, "
                "performance.getEntriesByType('resource').map(entry => entry.name)]")
            assert stored[:3] == ["", 0, 0], f"cookies or storage used: {stored[:3]}"
            assert all(name.startswith("file://" + page + "/") for name in stored[3]), f"fetched: {stored[3]}"
            errors = [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
            assert errors == [], f"errors in the browser's console: {errors}"
        finally:
            driver.quit()
    print("the page converts the sample as the native tool does; nothing fetched or stored")


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
