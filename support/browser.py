#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The web page driven in headless Chromium: what the page's browser test
(tests/web/browser_test.py) and its benchmark (bench/web_page.py) share.
Chromium and its driver are Debian's (chromium, chromium-driver), Selenium
Debian's python3-selenium."""
import functools
import http.server
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

DATABASES = ["CinecaseTapes.PDB", "CinecaseProgs.PDB"]

# What the page reads back after a conversion.
PAGE_STATE = """
    const e = (id) => document.getElementById(id);
    return {verdict: e('verdict').textContent, messages: e('messages').textContent,
            links: Array.from(document.querySelectorAll('#downloads a'), (a) => a.download),
            salvage: !e('salvage-again').hidden, shown: !e('result').hidden, focused: document.activeElement.id,
            preview: e('preview').hidden ? null : Array.from(document.querySelectorAll('#preview table'), (table) =>
              [table.caption.textContent, Array.from(table.rows, (row) => Array.from(row.cells, (c) => c.textContent))])};"""



def serve(directory):
    """A static server on 127.0.0.1 that keeps the path of every request."""
    requests = []

    class Handler(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            requests.append(self.path)

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=directory))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, requests


def chromium(profile, downloads):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    # Root needs --no-sandbox; the rest keep Chromium from reaching out to the network.
    for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + profile, "--window-size=1000,1400"]:
        options.add_argument(flag)
    options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                              "download.prompt_for_download": False})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
    return driver


def choose(driver, paths):
    driver.find_element(By.ID, "files").send_keys("\n".join(paths))


def convert(driver):
    """Presses Convert and waits for the result; returns what the page shows."""
    driver.find_element(By.ID, "convert").send_keys(Keys.ENTER)
    return result(driver)


def result(driver, timeout=30):
    """Waits for a result to be shown whole (its preview comes last); returns what the page shows."""
    WebDriverWait(driver, timeout).until(lambda d: d.find_element(By.ID, "result").get_attribute("aria-busy") == "false")
    return driver.execute_script(PAGE_STATE)


# Presses Convert and, once the result is whole, answers what the page showed
# while converting, the time it took (bench/web_page.py) and every long task
# on the main thread meanwhile. One script from start to end: WebDriver's
# own calls run on the main thread too.
WATCHED_CONVERSION = """
    const done = arguments[arguments.length - 1];
    const e = (id) => document.getElementById(id);
    const tasks = [];
    new PerformanceObserver((list) => tasks.push(...list.getEntries())).observe({type: 'longtask'});
    setTimeout(() => {
      const start = performance.now();
      e('convert').click();
      const busy = [e('convert').disabled, e('busy').textContent];
      new MutationObserver((changes, observer) => {
        if (e('result').getAttribute('aria-busy') !== 'false') return;
        observer.disconnect();
        const time = performance.now() - start;
        setTimeout(() => done({busy, time, verdict: e('verdict').textContent,
                               tasks: tasks.filter((task) => task.startTime >= start).map((task) => task.duration)}), 500);
      }).observe(e('result'), {attributes: true});
    }, 100);"""
