#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The web page in headless Chromium, timed, or photographed for the docs.

    web_page.py PAGE_DIR --measure CATALOGUE_DIR [RUNS]
    web_page.py PAGE_DIR --screenshot SAMPLE_DIR PNG

--measure converts the catalogue in CATALOGUE_DIR RUNS times (default 5)
after one run to warm up, into the two CSV files and into the workbook, and
prints for each the median time from pressing Convert to the result shown
whole (verdict, downloads and preview), timed inside the page, and the
longest task on the page's main thread meanwhile. --screenshot saves the
page at 720 pixels wide after converting the sample (docs/web-page.png); run
pngquant on it to keep it small. The browser is driven
as the browser test drives it (support/browser.py, docs/web.md).
"""
import base64
import os
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from browser import DATABASES, WATCHED_CONVERSION, chromium, choose, convert, serve  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402

OUTPUTS = {"palm": "two CSV files (Windows-1252)", "workbook": "the workbook"}


def measure(driver, url, catalogue, runs):
    driver.get(url)
    choose(driver, [os.path.join(catalogue, name) for name in DATABASES])
    driver.set_script_timeout(600)
    for output, what in OUTPUTS.items():
        driver.find_element(By.ID, "output-" + output).click()
        shown = [driver.execute_async_script(WATCHED_CONVERSION) for _ in range(runs + 1)][1:]
        times = [run["time"] for run in shown]
        longest = max(max(run["tasks"], default=0) for run in shown)
        print(f"{what}: {shown[-1]['verdict']}")
        print(f"  from Convert to the result, in headless Chromium: median {statistics.median(times):.0f} ms "
              f"of {runs} runs (min {min(times):.0f}, max {max(times):.0f}); "
              f"longest task on the main thread {longest:.0f} ms (a long task is one over 50 ms)")
    print("load average:", " ".join(f"{load:.1f}" for load in os.getloadavg()))


def screenshot(driver, url, sample, png):
    metrics = {"width": 720, "height": 900, "deviceScaleFactor": 1, "mobile": False}
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", metrics)
    driver.get(url)
    choose(driver, [os.path.join(sample, name) for name in DATABASES])
    convert(driver)
    metrics["height"] = driver.execute_script("return document.documentElement.scrollHeight")
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", metrics)
    # Down to the first rows of the programmes: the rest adds size, not news.
    bottom = driver.execute_script(
        "return Math.ceil(document.querySelectorAll('#preview tr')[17].getBoundingClientRect().bottom + scrollY + 8)")
    shot = driver.execute_cdp_cmd("Page.captureScreenshot", {
        "format": "png", "clip": {"x": 0, "y": 0, "width": metrics["width"], "height": bottom, "scale": 1}})
    with open(png, "wb") as file:
        file.write(base64.b64decode(shot["data"]))


def main(page, mode, directory, *rest):
    with tempfile.TemporaryDirectory() as scratch:
        server, _ = serve(os.path.abspath(page))
        driver = chromium(os.path.join(scratch, "profile"), os.path.join(scratch, "downloads"))
        url = f"http://127.0.0.1:{server.server_address[1]}/index.html"
        try:
            if mode == "--measure":
                measure(driver, url, os.path.abspath(directory), int(rest[0]) if rest else 5)
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
