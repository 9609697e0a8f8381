"""The survey report saved as PDF, in the real program on the demo site,
driven through WebDriver with real clicks: a quick site survey, "Save as PDF"
answered in the GTK save dialog, then the file read back with poppler's
tools: A4 pages with the page's 15 mm margins, the site's name and the weak
hop in its text, nothing but the report, and every page rendered to PNG (kept as artefacts beside the
screenshots).

usage: report_pdf_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import glob
import os
import re
import shutil
import subprocess
import sys

from selenium.webdriver.support.ui import Select

import pagedriver
from page_flows_test import check
from link_quality_test import read_site

A4_POINTS = (595, 842)
MARGIN_POINTS = 15 / 25.4 * 72


def quick_site_survey(page):
    page.click("#tab-sitesurvey")
    Select(page.find("#sitesurvey-probe-preset")).select_by_value("quick")
    check(page.attr("#sitesurvey-probes", "value") == "1", "one probe per unit", page)
    page.click("#sitesurvey-start")
    page.wait_attr("#sitesurvey-state", "data-state", ("running",), 10)
    page.wait_attr("#sitesurvey-state", "data-state", ("complete",), 400)


def report_facts(page):
    """What the PDF must carry, as the page shows it."""
    page.click("#tab-report")
    page.wait_for(lambda: page.all("#report-weakest [data-test=weak-link]"), 20, "the weakest links")
    site = page.text("#report-site")
    weak = page.all("#report-weakest [data-test=weak-link]")[0].text
    page.shot("report")
    return site.split()[0], weak


def pdf_info(path):
    out = subprocess.run(["pdfinfo", path], capture_output=True, text=True, check=True, timeout=30).stdout
    pages = int(re.search(r"^Pages:\s+(\d+)", out, re.M).group(1))
    size = re.search(r"^Page size:\s+([\d.]+) x ([\d.]+) pts", out, re.M)
    return pages, (round(float(size.group(1))), round(float(size.group(2))))


def leftmost_text(path):
    """Where the leftmost word of any page starts, in points."""
    out = subprocess.run(["pdftotext", "-bbox", path, "-"], capture_output=True, text=True, check=True,
                         timeout=30).stdout
    return min(float(x) for x in re.findall(r'xMin="([\d.]+)"', out))


def page_text(path, number):
    return subprocess.run(["pdftotext", "-layout", "-f", str(number), "-l", str(number), path, "-"],
                          capture_output=True, text=True, check=True, timeout=30).stdout


def save_pdf(page, folder, artefacts):
    site, weak = report_facts(page)
    target = os.path.join(folder, "survey-report.pdf")
    page.click("#report-pdf")
    pagedriver.save_dialog_answer(target)
    notices = lambda: [e.text for e in page.all("#messages [data-test=notice]")]
    page.wait_for(lambda: any(target in n for n in notices()) or page.errors(), 60, "the saved notice")
    check(not page.errors(), "no failure shown: %s" % page.errors(), page)
    page.shot("report-pdf-saved")

    pages, size = pdf_info(target)
    shutil.copy(target, os.path.join(artefacts, "survey-report.pdf"))
    prefix = os.path.join(artefacts, "report-pdf-page")
    subprocess.run(["pdftoppm", "-png", "-r", "60", target, prefix], check=True, timeout=60)
    pngs = sorted(glob.glob(prefix + "*.png"))
    check(len(pngs) == pages, "one image per page: %d" % len(pngs), page)
    check(pages >= 1, "at least one page: %d" % pages, page)
    check(size == A4_POINTS, "A4 pages: %s" % (size,), page)
    left = leftmost_text(target)
    check(left >= MARGIN_POINTS - 1, "the text keeps the 15 mm margin: starts at %.1f pt" % left, page)
    texts = [page_text(target, n) for n in range(1, pages + 1)]
    whole = "\n".join(texts)
    check(site in whole, "the site's name %r is printed" % site, page)
    # The weak hop as the page words it; the PDF may break its line.
    words = weak.split()[:4]
    check(all(w in whole for w in words), "the weak hop %r is printed" % weak, page)
    numbered = [bool(re.search(r"\b%d / %d\b" % (n, pages), text)) for n, text in enumerate(texts, 1)]
    # The engine draws no page-margin boxes yet: the numbers are reported, not required.
    print("pdf: page numbers printed: %s" % numbered, flush=True)
    for other in ("#tab-channels", "#report-pdf"):
        words = page.text(other).strip()
        check(words and words not in whole, "only the report is printed, not %r" % words, page)

    print("pdf: %d A4 page(s); images %s" % (pages, ", ".join(os.path.basename(p) for p in pngs)), flush=True)


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "540")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        page = pagedriver.Page(binary, root, artefacts)
        try:
            read_site(page)
            print("step: quick_site_survey", flush=True)
            quick_site_survey(page)
            print("step: save_pdf", flush=True)
            save_pdf(page, root, artefacts)
        finally:
            page.quit()
    print("report pdf: ok; pages and screenshots in " + artefacts)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
