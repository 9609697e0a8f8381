"""Channel advice and the route on the topology, in the real program on the
demo site through WebDriver: a 10-round channel scan on RIVERSIDE whose
recommendation leaves out the interferer on channel 28 and the site's own
channels (24, 25, 31); a scan cancelled after its first round keeps its
result, marked partial; after a site survey the tree shows the level of every
link and the battery of every unit, a chosen unit's route is highlighted and
the filter keeps only weak links and low batteries. Screenshots go to the
artefact folder.

usage: channel_advice_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import os
import sys

import pagedriver
from pagesupport import check, run_page

LAN_UNIT = "009C0021"  # RIVERSIDE: groups on 24, 25 and 31; an interferer on 28
PASSWORD = "vela1234"
SITE_CHANNELS = {24, 25, 31}
INTERFERER = 28


def connect_and_read(page):
    row = "#unit-list tr[data-serial='%s'] [data-test=connect]" % LAN_UNIT
    page.click("#search-button")
    page.wait_for(lambda: page.all(row), 30, "RIVERSIDE in the list")
    page.click(row)
    page.wait_for(lambda: page.find("#password-dialog").is_displayed(), 10, "the password dialog")
    page.type_into("#password-input", PASSWORD)
    page.click("#password-ok")
    page.wait_for(lambda: "RIVERSIDE" in page.text("#connected-unit"), 20, "RIVERSIDE to be connected")
    page.click("#tab-site")
    page.click("#site-read")
    page.wait_for(lambda: len(page.all("#site-tree [data-test=group]")) == 3, 30, "three groups")


def rows(page):
    return {int(r.get_attribute("data-freq")): r for r in page.all("#channel-levels tr[data-test=channel-row]")}


def ten_rounds(page):
    page.click("#tab-channels")
    check(page.attr("#scan-rounds", "value") == "10", "ten rounds unless set otherwise", page)
    page.type_into("#channels-input", "20-31")
    page.click("#scan-button")
    page.wait_for(lambda: page.attr("#channel-chart", "data-complete") == "true", 240, "ten rounds of twelve channels")
    found = rows(page)
    check(sorted(found) == list(range(20, 32)), "twelve channels: %s" % sorted(found), page)
    for freq, row in found.items():
        check(row.get_attribute("data-rounds") == "10", "channel %d has ten samples" % freq, page)
        check(float(row.get_attribute("data-max")) >= float(row.get_attribute("data-mean")), "max ≥ mean on %d" % freq, page)
        check((row.get_attribute("data-in-use") == "true") == (freq in SITE_CHANNELS), "channel %d in use?" % freq, page)
    # The interferer's bursts stand out in the maximum seen.
    check(int(found[INTERFERER].get_attribute("data-max")) > max(int(found[f].get_attribute("data-max")) for f in (20, 21, 22)),
          "28 reads above the quiet channels", page)
    quiet = [int(c) for c in page.attr("#quiet-list", "data-channels").split(",")]
    check(len(quiet) == 3, "three channels recommended: %s" % quiet, page)
    check(INTERFERER not in quiet and not SITE_CHANNELS & set(quiet), "neither 28 nor the site's own channels: %s" % quiet, page)
    check(page.attr("#quiet-list", "data-rounds") == "10" and page.attr("#quiet-list", "data-partial") == "false",
          "the advice stands on ten whole rounds", page)
    check(page.attr("#quiet-list", "data-samples") == "10", "ten samples per recommended channel", page)
    check("10" in page.text("#quiet-list"), "the advice names its rounds: " + page.text("#quiet-list"), page)
    page.find("#view-channels details").click()
    page.shot("channels-ten-rounds")


def cancelled_rounds(page):
    # Long enough to be stopped part-way: 100 rounds of every channel.
    page.type_into("#scan-rounds", "100")
    page.type_into("#channels-input", "0-255")
    page.click("#scan-button")
    page.wait_for(lambda: int(page.attr("#quiet-list", "data-rounds") or 0) >= 1, 120, "the first round")
    page.click("#scan-cancel")
    page.wait_for(lambda: page.find("#scan-button").is_enabled(), 30, "the scan to stop")
    check(page.attr("#channel-chart", "data-complete") == "false", "a cancelled scan is not complete", page)
    check(page.attr("#quiet-list", "data-partial") == "true", "the advice is marked partial", page)
    rounds = int(page.attr("#quiet-list", "data-rounds"))
    check(1 <= rounds < 100, "the whole rounds done are kept: %d" % rounds, page)
    check(("%d" % rounds) in page.text("#quiet-list"), "the rounds done are named: " + page.text("#quiet-list"), page)
    found = rows(page)
    samples = {int(r.get_attribute("data-rounds")) for r in found.values()}
    check(len(found) == 256 and samples <= {rounds, rounds + 1}, "every channel kept its samples: %s" % samples, page)
    quiet = [int(c) for c in page.attr("#quiet-list", "data-channels").split(",")]
    check(len(quiet) == 3 and not ({INTERFERER} | SITE_CHANNELS) & set(quiet), "the partial advice: %s" % quiet, page)
    page.shot("channels-cancelled")


def node(page, group, kind, num):
    test = "site-unit" if kind == "remote" else "site-repeater"
    return "#site-tree [data-test=%s][data-group='%d'][data-num='%d']" % (test, group, num)


def topology_after_survey(page):
    page.click("#tab-sitesurvey")
    # One probe per unit keeps the survey short where probes can be chosen.
    page.js("const p = document.getElementById('sitesurvey-probes');"
            "if (p) { p.value = '1'; p.dispatchEvent(new Event('input')); p.dispatchEvent(new Event('change')); }")
    page.click("#sitesurvey-start")
    page.wait_for(lambda: len(page.all("#sitesurvey-results tr[data-test=result-row]")) == 20
                  and not page.find("#sitesurvey-cancel").is_enabled(), 300, "every remote unit surveyed")
    page.click("#tab-site")
    page.wait_for(lambda: page.attr("#site-tree", "data-survey"), 10, "the survey on the tree")
    # Every node that answered shows the level of its link and its battery.
    answered = [e for e in page.all("#site-tree [data-test=site-unit], #site-tree [data-test=site-repeater]")
                if e.get_attribute("data-level")]
    check(len(answered) >= 20, "levels on the links that answered: %d" % len(answered), page)
    for e in answered:
        check(e.get_attribute("data-battery"), "a battery beside every level", page)
    # ORCHARD (group 2): R2 stands 3.3 km out; COLD-RM's battery is nearly empty; PEAR-3 never answers.
    r2 = int(page.attr(node(page, 2, "repeater", 2), "data-level"))
    check(r2 < 100, "ORCHARD R2's link is weak: %d" % r2, page)
    check(page.attr(node(page, 2, "repeater", 2) + " > [data-test=site-link]", "data-class") in ("weak", "bad"), "and drawn so", page)
    check(page.attr(node(page, 2, "remote", 7) + " > [data-test=site-battery]", "data-class") in ("low", "empty"), "COLD-RM's battery is low", page)
    check(not page.attr(node(page, 2, "remote", 5), "data-level"), "PEAR-3 has no level", page)
    # The link base→R1 of ORCHARD is shared by nine routes: one node, one level.
    check(len(page.all(node(page, 2, "repeater", 1) + " > [data-test=site-link]")) == 1, "a shared link drawn once", page)
    page.shot("topology-levels")

    page.click(node(page, 2, "remote", 2) + " > [data-test=unit-label]")  # APPLE-2, behind R1 and R2
    page.wait_for(lambda: page.attr("#site-tree", "data-selected") == "2:remote:2", 10, "APPLE-2 chosen")
    on_route = sorted(e.get_attribute("data-key") for e in page.all("#site-tree [data-on-route=true]"))
    check(on_route == ["2:remote:2", "2:repeater:1", "2:repeater:2"], "APPLE-2's route: %s" % on_route, page)
    page.shot("topology-route")

    page.click("#site-problems")
    kept = {e.get_attribute("data-key") for e in page.all("#site-tree [data-test=site-unit], #site-tree [data-test=site-repeater]")}
    check({"2:repeater:2", "2:remote:7"} <= kept, "the weak link and the low battery stay: %s" % kept, page)
    check("2:remote:8" not in kept and "0:remote:4" not in kept, "sound units are left out: %s" % kept, page)
    check(len(kept) < 26, "the filter leaves out most of the site", page)
    page.shot("topology-problems")
    page.click("#site-problems")


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "840")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        run_page(binary, root, artefacts, (connect_and_read, ten_rounds, cancelled_rounds, topology_after_survey))
    print("channel advice: ok; screenshots in " + artefacts)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
