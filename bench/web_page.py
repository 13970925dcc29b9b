#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The web page in headless Chromium, timed, or photographed for the docs.

    web_page.py PAGE_DIR --measure CATALOGUE_DIR [RUNS]
    web_page.py PAGE_DIR --screenshot SAMPLE_DIR PNG

--measure converts the catalogue in CATALOGUE_DIR RUNS times (default 9)
after one run to warm up, and prints the median time from pressing Convert
to the result shown, timed inside the page. --screenshot saves the page at
720 pixels wide after converting the sample (docs/web-page.png). The browser
is started as tests/web/browser_test.py starts it (see docs/web.md).
"""
import functools
import http.server
import os
import statistics
import sys
import tempfile
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from browser_test import DATABASES, chromium  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402

TIMED_CONVERSION = """
    const done = arguments[arguments.length - 1];
    const status = document.getElementById('status');
    const observer = new MutationObserver(() => { observer.disconnect(); done(performance.now() - start); });
    observer.observe(status, {childList: true});
    const start = performance.now();
    document.getElementById('convert').click();"""


def serve(directory):
    """A static server of the page on 127.0.0.1, quiet."""
    class Handler(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=directory))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def measure(driver, url, catalogue, runs):
    driver.get(url)
    driver.find_element(By.ID, "files").send_keys("\n".join(os.path.join(catalogue, name) for name in DATABASES))
    driver.set_script_timeout(60)
    times = [driver.execute_async_script(TIMED_CONVERSION) for _ in range(runs + 1)][1:]
    print("messages:", driver.find_element(By.ID, "messages").text.replace("\n", " | "))
    print(f"conversion in headless Chromium: median {statistics.median(times):.0f} ms of {runs} runs "
          f"(min {min(times):.0f}, max {max(times):.0f})")


def screenshot(driver, url, sample, png):
    metrics = {"width": 720, "height": 900, "deviceScaleFactor": 1, "mobile": False}
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", metrics)
    driver.get(url)
    driver.find_element(By.ID, "files").send_keys("\n".join(os.path.join(sample, name) for name in DATABASES))
    driver.find_element(By.ID, "convert").send_keys(Keys.ENTER)
    driver.find_element(By.CSS_SELECTOR, "#downloads a")  # waits for the result
    metrics["height"] = driver.execute_script("return document.documentElement.scrollHeight")
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", metrics)
    driver.save_screenshot(png)


def main(page, mode, directory, *rest):
    with tempfile.TemporaryDirectory() as scratch:
        server = serve(os.path.abspath(page))
        driver = chromium(os.path.join(scratch, "profile"))
        url = f"http://127.0.0.1:{server.server_address[1]}/index.html"
        try:
            if mode == "--measure":
                measure(driver, url, os.path.abspath(directory), int(rest[0]) if rest else 9)
            else:
                screenshot(driver, url, os.path.abspath(directory), os.path.abspath(rest[0]))
        finally:
            driver.quit()
            server.shutdown()


if __name__ == "__main__":
    if len(sys.argv) < 4 or sys.argv[2] not in ("--measure", "--screenshot") or \
            (sys.argv[2] == "--screenshot" and len(sys.argv) < 5):
        sys.exit(__doc__)
    main(*sys.argv[1:])
