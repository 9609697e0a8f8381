"""From measurement to diagnosis, in the real program on the demo site:
linkmeter-cli places RIVERSIDE on a scaled plan at its designed distances
(map plan, scale, place), judges an acceptance survey (which records it)
and writes that visit's customer's report as PDF (report: the program's own
print path, no window); page 1 of that PDF is rendered with pdftoppm and
kept. Then the window: a quick site survey of RIVERSIDE; the Acceptance tab
gives each failing unit its cause with evidence (PEAR-3 a silent unit in
range, FAR-WELL out of range), Fix these first cheapest first, the site's
fit on its chart, and the waive form opens at the unit, in view; the Map
tab draws the proposed repeaters as predictions and the coverage layer on
request; the Report tab shows page 1 as printed, and History's "Report"
opens the command line's past visit there. Screenshots go to the artefact
folder.

usage: diagnosis_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session;
linkmeter-cli is taken from beside LINKMETER)"""
import faulthandler
import json
import os
import re
import shutil
import subprocess
import sys

import pagedriver
from page_flows_test import check
from page_provenance_test import LAN_UNIT, connect
from page_shell_test import start
from history_cli_test import cli_env
from history_test import scroll_to

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "cli"))
from riverside_plan import METRES_PER_PIXEL, place_rows, png  # noqa: E402

PEAR_3 = "00B80505"  # 160 m from its repeater, never answers
FAR_WELL = "00BC0302"  # 4.3 km out
QUICK = {"name": "Demo quick", "version": 1, "probes": 3, "hopMedian": "fair", "lostAllowed": 1, "lostPer": 20,
         "maxHops": 4, "repeaterUnits": 6}


class Prepared:
    """What the command line left in the store: the accepted visit's id and
    its acceptance, the PDF of its report."""

    def __init__(self, cli, root, artefacts):
        self.cli, self.env, self.root, self.artefacts = cli, cli_env(root), root, artefacts

    def run(self, *args, timeout=300, status=(0,)):
        p = subprocess.run([self.cli, "--demo", *args], env=self.env, capture_output=True, text=True, timeout=timeout)
        check(p.returncode in status, "%s: exit %d\n%s" % (args[:2], p.returncode, p.stderr[-1500:]))
        return p.stdout

    def file(self, name, data):
        path = os.path.join(self.root, name)
        with open(path, "wb" if isinstance(data, bytes) else "w") as f:
            f.write(data)
        return path

    def prepare(self):
        # The registration first (a route survey keeps it), then the map.
        self.run("survey", "--unit", LAN_UNIT, "--remote", "00B80306", "--probes", "1")
        self.run("map", "plan", "--site", LAN_UNIT, self.file("riverside.png", png(2400, 2400)), "--name", "Riverside")
        self.run("map", "scale", "--site", "RIVERSIDE", "--plan", "Riverside", "--from", "100,100", "--to", "2100,100",
                 "--metres", str(2000 * METRES_PER_PIXEL))
        self.run("map", "place", "--site", LAN_UNIT, "--plan", "1", self.file("places.csv", place_rows()))
        out = self.run("accept", "--unit", LAN_UNIT, "--profile", self.file("quick.json", json.dumps(QUICK)),
                       "--format", "json", status=(5,))
        self.acceptance = json.loads(out)
        check(self.acceptance["propagation"]["usable"], "the command line fitted the site: %s" % self.acceptance["propagation"])

    def report_pdf(self):
        """The newest ended visit's report, page 1 kept as PNG."""
        target = os.path.join(self.root, "report-cli.pdf")
        out = self.run("report", "--site", "RIVERSIDE", target, "--format", "json", timeout=240)
        written = json.loads(out)
        self.visit = int(written["visit"]["id"])
        check(os.path.getsize(target) > 10000, "a PDF written: %s" % written)
        shutil.copy(target, os.path.join(self.artefacts, "report-cli.pdf"))
        prefix = os.path.join(self.artefacts, "report-cli-page")
        subprocess.run(["pdftoppm", "-png", "-r", "70", "-f", "1", "-l", "1", target, prefix], check=True, timeout=60)
        text = subprocess.run(["pdftotext", "-layout", "-f", "1", "-l", "1", target, "-"], capture_output=True, text=True,
                              check=True, timeout=30).stdout
        check("FAIL" in text and "Fix these first" in text, "page 1 leads with the verdict and the work:\n" + text[:1500])
        check(not re.search(r"\bhop\b|median", text, re.I), "no jargon on page 1:\n" + text[:1500])
        check("Low battery (1)" in text and "battery not low" not in text, "the finding, not the rule:\n" + text[:1500])
        check("COLD-RM" in text and "PEAR-3" in text and "Check" in text, "the work names its units:\n" + text[:1500])
        # Judged with the records' evidence: the map tells range from a fault.
        check("Too far for one radio link" in text and "marked on plan" in text, "causes and a placed repeater on page 1:\n" + text[:1500])
        self.page_one = text


def survey_in_window(page):
    """An acceptance survey of one probe a unit, by a profile asking one."""
    connect(page, LAN_UNIT)
    page.click("#tab-site")
    page.click("#site-read")
    page.wait_for(lambda: len(page.all("#site-tree [data-test=group]")) == 3, 30, "three groups")
    page.click("#tab-acceptance")
    page.click("#acceptance-profile summary")
    page.type_into("#acceptance-profile-name", "Demo one probe")
    page.type_into("#acceptance-profile-probes", "1")
    page.click("#acceptance-profile-apply")
    page.wait_for(lambda: page.text("#acceptance-profile-title") == "Demo one probe v1", 10, "the profile applied")
    page.click("#acceptance-profile summary")
    page.click("#acceptance-start")
    page.wait_attr("#sitesurvey-state", "data-state", ("complete",), 400)


def acceptance_causes(page):
    page.click("#tab-acceptance")
    row = lambda serial: "#acceptance-units tr[data-serial='%s']" % serial
    page.wait_for(lambda: page.all("#acceptance-fit[data-usable=true]"), 60, "the site's fit from the records")
    check(page.attr(row(PEAR_3), "data-cause") == "unitSilent", "PEAR-3 is silent where it stands", page)
    check(page.attr(row(FAR_WELL), "data-cause") == "outOfRange", "FAR-WELL is out of range", page)
    kinds = [li.get_attribute("data-kind") for li in page.all("#acceptance-fix-first [data-test=acceptance-action]")]
    check(kinds and kinds[0] == "replaceBattery" and kinds[-1] == "addRepeater", "cheapest first: %s" % kinds, page)
    check("addRepeater" not in [li.get_attribute("data-kind") for li in page.all(row(PEAR_3) + " [data-test=acceptance-remedy]")],
          "no repeater for a unit in range", page)
    page.wait_for(lambda: page.all("#acceptance-fit-chart canvas"), 20, "the fit's chart")
    scroll_to(page, "acceptance-fit")
    page.shot("acceptance-fit")
    # The waive form opens under the unit, below the sticky header, in view.
    page.click("#acceptance-failing-only")
    page.click(row(FAR_WELL) + " [data-test=acceptance-waive]")
    box = page.js("const f = document.getElementById('acceptance-waive-form').getBoundingClientRect();"
                  "const top = document.getElementById('page-top').getBoundingClientRect().bottom;"
                  "return {top: f.top, bottom: f.bottom, header: top, height: innerHeight,"
                  " under: document.getElementById('acceptance-waive-row').previousElementSibling.dataset.serial};")
    check(box["under"] == FAR_WELL and box["top"] >= box["header"] and box["bottom"] <= box["height"],
          "the waive form in view under its unit: %s" % box, page)
    page.shot("acceptance-waive-at-unit")
    page.click("#acceptance-waive-cancel")
    page.click("#acceptance-failing-only")
    scroll_to(page, "acceptance-fix-first")
    page.shot("acceptance-causes")


def map_proposals(page):
    page.click("#tab-map")
    page.wait_for(lambda: page.all("#sitemap-svg [data-proposal]"), 60, "the proposed repeaters")
    proposals = page.all("#sitemap-svg [data-proposal]")
    check(all(not p.find_elements("css selector", "[data-pin], [data-link]") for p in proposals), "never drawn as measured", page)
    serves = ",".join(p.get_attribute("data-serves") for p in proposals)
    check("BC0302" in serves, "FAR-WELL served by a proposal: %s" % serves, page)
    page.click("#map-coverage")
    page.wait_for(lambda: page.all("#sitemap-svg [data-coverage]"), 20, "the coverage layer")
    check("not measured" in page.text("#map-legend"), "the legend says it is predicted", page)
    page.shot("map-proposals-coverage")


def report_page_one(page):
    page.click("#tab-report")
    page.wait_for(lambda: page.all("#report-page1 [data-test=paper-verdict]"), 60, "page 1 before printing")
    check(len(page.all("#report-page1 [data-test=print-page]")) == 1, "page 1 only", page)
    actions = page.all("#report-page1 [data-test=paper-action]")
    check(0 < len(actions) <= 5, "at most five actions on page 1: %d" % len(actions), page)
    scroll_to(page, "report-page1-box")
    page.shot("report-page1")


def past_visit_from_history(visit):
    def step(page):
        page.click("#tab-history")
        page.wait_for(lambda: page.all("#history-visits tr[data-visit-id='%d'] [data-test=history-visit-report]" % visit), 30,
                      "the command line's visit")
        page.click("#history-visits tr[data-visit-id='%d'] [data-test=history-visit-report]" % visit)
        page.wait_attr("#report", "data-visit", (str(visit),), 30)
        page.wait_attr("#report-page1", "data-visit", (str(visit),), 60)
        check(page.all("#report-page1 [data-test=paper-action][data-proposal]"), "the past visit's page 1 with a proposed repeater", page)
        check("Demo quick v1" in page.text("#report-page1 [data-test=paper-verdict]"), "judged by the profile it was judged by then", page)
        page.wait_for(lambda: page.attr("#report-visit", "value") == str(visit), 20, "the visit chosen on the Report tab")
        scroll_to(page, "report-page1-box")
        page.shot("report-past-visit-page1")
    return step


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "840")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    cli = os.environ.get("LM_CLI") or os.path.join(os.path.dirname(binary), "linkmeter-cli")
    with pagedriver.shelltest.temp_root() as root:
        prepared = Prepared(cli, root, artefacts)
        prepared.prepare()
        prepared.report_pdf()
        page = start(binary, root, artefacts, "en_US.UTF-8")
        try:
            pagedriver.run_steps(page, [survey_in_window, acceptance_causes, map_proposals, report_page_one,
                                        past_visit_from_history(prepared.visit)])
            check(not page.errors(), "no errors shown: %s" % page.errors(), page)
        finally:
            page.quit()
    print("diagnosis: ok; page 1 of the command line's PDF:\n" + prepared.page_one[:1200])


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
