"""The site map in the real program on the demo site, driven through
WebDriver: a PNG plan of RIVERSIDE and a PDF page imported, its units dragged from the
unplaced tray onto it (one marked planned), a site survey colouring the links
(repeater 2 of the third group weak, the unit that never answers silent and dashed);
after a restart the positions are still there; on a second visit, with
repeater 3 of the first group moved far away in the simulator and its pin
moved on the plan, the changes overlay marks its hop worse and the pin moved.
The customer's report saved as PDF has a page per plan with a unit on it
(the yard's rendered to PNG; the empty PDF plan none). From the keyboard the
empty plan is renamed and then removed, the yard left out of the report and
put back, each an edit listed under who moved what and kept over a restart.
Screenshots and the PDF go to the artefact folder.

usage: sitemap_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import os
import shutil
import struct
import subprocess
import sys
import zlib

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

import pagedriver
from page_flows_test import check
from page_provenance_test import connect, LAN_UNIT
from page_shell_test import DemoControl, start
from history_test import recorder_idle, MOVE
from report_pdf_test import pdf_info, page_text

PLAN_SIZE = (1200, 800)
# Units as the map keys them (serial, upper-case hex without leading zeros)
# and where they go on the plan, in plan pixels.
PLACES = {
    "9C0021": (600, 740),  # the base unit
    "C80201": (300, 600), "C80202": (250, 400), "C80203": (200, 150), "C20203": (120, 80),
    "C80301": (800, 600), "BC0302": (1100, 120),
    "C80501": (600, 450), "C80502": (650, 250), "B80505": (720, 90),
    "C60507": (540, 520),  # COLD-RM, its battery at 9 %
}
LOW_BATTERY = "C60507"
PLANNED = ("C40204", (500, 700))  # SUN-LX, not installed yet
WEAK_HOP = ("C80501", "C80502")  # G3 R1 → R2, 3.3 km
SILENT_HOP = ("C80502", "B80505")  # G3 R2 → PEAR-3, never answers
MOVED_HOP = ("C80202", "C80203")  # G1 R2 → R3, moved 3.8 km away before the second visit


def png(path, size):
    """A plain PNG of `size`: a light yard with a darker band, enough to see."""
    w, h = size
    rows = b"".join(b"\0" + bytes([230 if (y // 100) % 2 else 210, 225, 200]) * w for y in range(h))
    chunk = lambda kind, data: struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def pdf(path, pages):
    """A PDF of `pages` A4 pages, each a filled rectangle of its own size."""
    objects = ["<< /Type /Catalog /Pages 2 0 R >>",
               "<< /Type /Pages /Kids [%s] /Count %d >>" % (" ".join("%d 0 R" % (3 + 2 * i) for i in range(pages)), pages)]
    for i in range(pages):
        draw = ("0.8 0.85 0.9 rg 40 40 %d %d re f" % (500 - 100 * i, 700 - 100 * i)).encode()
        objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents %d 0 R >>" % (4 + 2 * i))
        objects.append("<< /Length %d >>\nstream\n%s\nendstream" % (len(draw), draw.decode()))
    out, offsets = b"%PDF-1.4\n", []
    for n, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += ("%d 0 obj\n%s\nendobj\n" % (n, body)).encode()
    xref = len(out)
    out += ("xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)).encode()
    out += b"".join(b"%010d 00000 n \n" % o for o in offsets)
    out += ("trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)).encode()
    with open(path, "wb") as f:
        f.write(out)


def pins(page):
    return {p.get_attribute("data-serial"): p for p in page.all("#sitemap [data-pin]")}


def link(page, hop):
    found = page.all("#sitemap [data-link][data-from='%s'][data-to='%s']" % hop)
    return found[0] if found else None


def screen_offset(page, x, y):
    """Where plan point (x, y) is, from the middle of the part of the plan's
    SVG in view (where WebDriver's offsets start)."""
    return page.js("const s = document.getElementById('sitemap-svg'); const m = s.getScreenCTM();"
                   "const r = s.getBoundingClientRect(); const p = new DOMPoint(arguments[0], arguments[1]).matrixTransform(m);"
                   "const top = Math.max(r.top, 0), bottom = Math.min(r.bottom, innerHeight);"
                   "const left = Math.max(r.left, 0), right = Math.min(r.right, innerWidth);"
                   "return [Math.round(p.x - (left + right) / 2), Math.round(p.y - (top + bottom) / 2)];", x, y)


def drag_to(page, source, x, y):
    page.js("arguments[0].scrollIntoView({block: 'nearest'})", source)
    dx, dy = screen_offset(page, x, y)
    svg = page.find("#sitemap-svg")
    ActionChains(page.driver).click_and_hold(source).move_by_offset(5, 5).move_to_element_with_offset(svg, dx, dy) \
        .release().perform()


def open_map(page):
    connect(page, LAN_UNIT)
    page.click("#tab-site")
    page.click("#site-read")
    page.wait_for(lambda: len(page.all("#site-tree [data-test=group]")) == 3, 30, "the site's groups")
    page.click("#tab-map")


def plan_name(page, name):
    """The plan's name set as typed: under some X servers WebDriver's keys
    lose the Shift of capitals ("Yard" arrives as "yard")."""
    page.js("const e = document.getElementById('map-plan-name'); e.value = arguments[0];"
            "e.dispatchEvent(new Event('input', {bubbles: true}))", name)


def import_plan(page, folder):
    path = os.path.join(folder, "riverside-yard.png")
    png(path, PLAN_SIZE)
    plan_name(page, "Yard")
    page.find("#map-plan-file").send_keys(path)
    page.wait_for(lambda: page.all("#sitemap-svg image[href]"), 20, "the plan drawn")
    box = page.js("return document.getElementById('sitemap-svg').getAttribute('viewBox')")
    check(box == "0 0 %d %d" % PLAN_SIZE, "the plan whole, in its pixels: %s" % box, page)
    check("Yard" in page.text("#map-plan"), "the plan by its name", page)


def import_pdf_plan(page, folder):
    """Page 2 of a PDF becomes a plan of its own, drawn from the PNG the
    program rendered; then the yard is shown again for placing."""
    path = os.path.join(folder, "riverside-floors.pdf")
    pdf(path, 2)
    plan_name(page, "Pump house")
    page.type_into("#map-plan-page", "2")
    page.find("#map-plan-file").send_keys(path)
    page.wait_for(lambda: "Pump house" in page.text("#map-plan"), 30, "the PDF plan kept")
    page.wait_for(lambda: page.all("#sitemap-svg image[href]"), 20, "the PDF page drawn")
    box = [float(v) for v in page.js("return document.getElementById('sitemap-svg').getAttribute('viewBox')").split()]
    check(box[2] < box[3], "a portrait page: %s" % box, page)
    page.shot("sitemap-pdf-plan")
    Select(page.find("#map-plan")).select_by_visible_text("Yard")
    page.wait_for(lambda: page.js("return document.getElementById('sitemap-svg').getAttribute('viewBox')") == "0 0 %d %d" % PLAN_SIZE, 10, "the yard again")


def place_units(page):
    check(len(page.all("#map-tray [data-tray-unit]")) == 27, "every unit starts unplaced (26 and the base unit)", page)
    for serial, (x, y) in PLACES.items():
        drag_to(page, page.find("#map-tray [data-serial='%s']" % serial), x, y)
        page.wait_for(lambda: serial in pins(page), 10, serial + " placed")
    Select(page.find("#map-mode")).select_by_value("plan")
    drag_to(page, page.find("#map-tray [data-serial='%s']" % PLANNED[0]), *PLANNED[1])
    page.wait_for(lambda: PLANNED[0] in pins(page), 10, "the planned unit")
    shown = pins(page)
    check(shown[PLANNED[0]].get_attribute("data-state") == "planned", "marked planned", page)
    for serial, (x, y) in PLACES.items():
        p = shown[serial]
        check(p.get_attribute("data-state") == "placed", serial + " placed", page)
        at = (float(p.get_attribute("data-x")), float(p.get_attribute("data-y")))
        check(abs(at[0] - x) <= 3 and abs(at[1] - y) <= 3, "%s where it was dropped: %s" % (serial, at), page)
    check(link(page, WEAK_HOP).get_attribute("data-class") == "none", "not measured yet: dashed", page)
    # A scale: 100 m over the plan's width, then distances on the links.
    page.type_into("#map-scale-metres", "100")
    page.click("#map-scale")
    svg = page.find("#sitemap-svg")
    for x in (100, 1100):
        dx, dy = screen_offset(page, x, 20)
        ActionChains(page.driver).move_to_element_with_offset(svg, dx, dy).click().perform()
    page.wait_for(lambda: page.all("#sitemap [data-scale='100']"), 10, "the scale line")
    check(" m" in link(page, ("C80201", "C80202")).text, "the distance on a link", page)
    recorder_idle(page)
    page.shot("sitemap-placed")


def survey(page):
    page.click("#tab-sitesurvey")
    Select(page.find("#sitesurvey-probe-preset")).select_by_value("quick")
    page.click("#sitesurvey-start")
    page.wait_attr("#sitesurvey-state", "data-state", ("complete",), 240)
    page.click("#tab-map")


def survey_colours_links(page):
    survey(page)
    weak = link(page, WEAK_HOP).get_attribute("data-class")
    check(weak == "weak", "the long hop to G3 R2 weak: %s" % weak, page)
    silent = link(page, SILENT_HOP)
    check(silent.get_attribute("data-class") == "silent", "the silent unit's hop silent", page)
    check(silent.find_element("css selector", "line").get_attribute("stroke-dasharray"), "and dashed", page)
    check(link(page, ("C80201", "C80202")).get_attribute("data-class") in ("good", "fair"), "a sound hop", page)
    low = pins(page)[LOW_BATTERY]
    check(low.get_attribute("data-battery") in ("low", "empty") and low.find_elements("css selector", "[data-badge=battery]"),
          "the 9 %% battery's pin is marked: %s" % low.get_attribute("data-battery"), page)
    check(not pins(page)["C80201"].find_elements("css selector", "[data-badge=battery]"), "a full battery is not", page)
    page.click("#map-problems")
    check(set(pins(page)) >= {"B80505", "C80502"} and "C20203" not in pins(page), "problems only", page)
    page.click("#map-problems")
    page.shot("sitemap-surveyed")


def report_pdf(page, target):
    """The customer's report saved as PDF: [page, scale, pins, links] of each
    plan's page, and the PDF's page count."""
    page.click("#tab-report")
    page.wait_for(lambda: page.all("#report-time"), 20, "the report")
    page.click("#report-pdf")
    pagedriver.save_dialog_answer(target)
    page.wait_for(lambda: any(target in e.text for e in page.all("#messages [data-test=notice]")) or page.errors(), 60, "the saved notice")
    check(not page.errors(), "no failure shown: %s" % page.errors(), page)
    plans = page.js("""return [...document.querySelectorAll('#report-pages [data-test=print-page]')].flatMap((p) =>
        [...p.querySelectorAll('[data-test=paper-plan]')].map((x) => [Number(p.dataset.page), x.dataset.scale,
        x.querySelectorAll('[data-pin]').length, x.querySelectorAll('[data-link]').length]))""")
    return plans, pdf_info(target)[0]


def plan_pages_in_pdf(page, folder, artefacts):
    """The customer's report saved as PDF ends with a page per plan with a
    unit on it: the yard with its legend, its scale bar (100 m over 1000 of
    its 1200 pixels: a 20 m bar) and the survey's date; the pump house, no
    unit on it, prints none. The yard's page is rendered to PNG and kept."""
    target = os.path.join(folder, "survey-report-map.pdf")
    plans, pages = report_pdf(page, target)
    day = page.text("#report-time").split()[0]
    check([p[1] for p in plans] == ["20"] and plans[0][0] == pages, "the yard alone, last: %s of %d" % (plans, pages), page)
    check(plans[0][2] == len(PLACES) + 1 and plans[0][3] >= 9, "the yard's pins and links: %s" % plans[0], page)
    yard = page_text(target, plans[0][0])
    for words in ("Site plan: Yard", "site survey of " + day, "not measured", "no answer", "planned", "Scale", "20 m"):
        check(words in yard, "the yard's page says %r:\n%s" % (words, yard), page)
    check(all("Pump house" not in page_text(target, n) for n in range(1, pages + 1)), "no page of the empty plan", page)
    shutil.copy(target, os.path.join(artefacts, "survey-report-map.pdf"))
    prefix = os.path.join(artefacts, "report-plan-yard")
    subprocess.run(["pdftoppm", "-png", "-r", "100", "-singlefile", "-f", str(plans[0][0]), "-l", str(plans[0][0]), target, prefix],
                   check=True, timeout=60)
    check(os.path.getsize(prefix + ".png") > 20000, "the yard's page rendered", page)
    page.click("#tab-map")


def plan_names(page):
    return [o.text for o in page.all("#map-plan option")]


def show_plan(page, name):
    Select(page.find("#map-plan")).select_by_visible_text(name)
    page.wait_for(lambda: page.find("#map-plan-controls").get_attribute("data-plan") == page.find("#map-plan").get_attribute("value"), 10, name + " shown")


def keys_to(page, css, *keys):
    element = page.find(css)
    page.js("arguments[0].scrollIntoView({block: 'center'}); arguments[0].focus()", element)
    element.send_keys(*keys)


def plan_controls(page, folder, artefacts):
    """From the keyboard: the empty PDF plan renamed, the yard left out of the
    report (no plan page at all then) and put back, the renamed plan removed
    after its confirmation; each listed under who moved what."""
    page.click("#tab-map")
    show_plan(page, "Pump house")
    keys_to(page, "#map-plan-controls-open", Keys.ENTER)
    page.wait_for(lambda: page.find("#map-plan-rename").is_displayed(), 10, "the plan's controls open")
    # Set as typed (see plan_name), then Enter in the field renames.
    page.js("document.getElementById('map-plan-rename').value = 'Pump room'")
    keys_to(page, "#map-plan-rename", Keys.ENTER)
    page.wait_for(lambda: "Pump room" in plan_names(page), 10, "the plan renamed")
    check(page.all("#map-edits li[data-edit='plan-rename']"), "the rename listed", page)
    show_plan(page, "Yard")
    keys_to(page, "#map-plan-hide", Keys.SPACE)
    page.wait_for(lambda: page.find("#map-plan-controls").get_attribute("data-hidden") == "true", 10, "the yard hidden")
    check("Yard (not in the report)" in plan_names(page), "marked in the list: %s" % plan_names(page), page)
    page.shot("sitemap-plan-hidden")
    recorder_idle(page)
    plans, pages = report_pdf(page, os.path.join(folder, "survey-report-hidden.pdf"))
    check(plans == [], "no plan page with the yard hidden: %s of %d" % (plans, pages), page)
    page.click("#tab-map")
    keys_to(page, "#map-plan-hide", Keys.SPACE)
    page.wait_for(lambda: page.find("#map-plan-controls").get_attribute("data-hidden") == "false", 10, "the yard back")
    show_plan(page, "Pump room")
    keys_to(page, "#map-plan-remove", Keys.ENTER)
    page.wait_for(lambda: page.find("#map-plan-remove-ask").is_displayed(), 10, "the removal asked")
    check("Pump room" in page.text("#map-plan-remove-ask"), "the question names the plan", page)
    focused = page.js("return document.activeElement.id")
    check(focused == "map-plan-remove-confirm", "the confirmation has the focus: %s" % focused, page)
    page.shot("sitemap-plan-remove-ask")
    page.driver.switch_to.active_element.send_keys(Keys.ENTER)
    page.wait_for(lambda: plan_names(page) == ["Yard"], 10, "the plan removed")
    check(page.all("#map-edits li[data-edit='plan-remove']") and page.all("#map-edits li[data-edit='plan-show']")
          and page.all("#map-edits li[data-edit='plan-hide']"), "hide, show and remove listed", page)
    check(len(pins(page)) == len(PLACES) + 1, "the yard's pins still there", page)
    recorder_idle(page)
    page.shot("sitemap-plan-controls")


def disconnect(page):
    recorder_idle(page)
    page.click("#tab-units")
    page.click("#disconnect-button")
    page.wait_attr("#connected-unit", "data-state", ("none",), 20)
    recorder_idle(page)


def reconnected(page):
    """Connected again in the same run: the visit just ended is listed at
    once, and until the registration is read the map says so (never that
    every unit is on a plan); read from the map, the pins are back."""
    connect(page, LAN_UNIT)
    page.click("#tab-map")
    page.wait_for(lambda: page.find("#map-no-registration").is_displayed(), 20, "the registration asked for")
    check("Every unit is on a plan" not in page.text("#map-tray"), "the tray does not claim every unit placed", page)
    page.wait_for(lambda: len(page.all("#map-visit option")) >= 2, 20, "the visit just ended listed")
    page.shot("sitemap-no-registration")
    page.click("#map-read-registration")
    page.wait_for(lambda: len(pins(page)) == len(PLACES) + 1, 30, "the pins back once read")
    check(not page.find("#map-no-registration").is_displayed(), "no longer asked", page)


def kept_after_restart(page):
    open_map(page)
    page.wait_for(lambda: len(pins(page)) == len(PLACES) + 1, 20, "the positions read back")
    check(plan_names(page) == ["Yard"], "the removed plan stays removed: %s" % plan_names(page), page)
    check(pins(page)[PLANNED[0]].get_attribute("data-state") == "planned", "still planned", page)


def second_visit(page):
    drag_to(page, pins(page)["C80203"].find_element("css selector", "circle"), 150, 100)
    page.wait_for(lambda: float(pins(page)["C80203"].get_attribute("data-x")) < 170, 10, "the repeater moved")
    survey(page)
    page.click("#map-changes")
    page.wait_for(lambda: link(page, MOVED_HOP).get_attribute("data-change") == "worse", 30, "the moved hop worse")
    moved = link(page, MOVED_HOP)
    check(moved.get_attribute("data-class") in ("weak", "bad", "silent") and moved.find_elements("css selector", ".map-change-halo")
          and moved.find_elements("css selector", "[data-badge=worse]"), "its class kept, the change marked: %s"
          % moved.get_attribute("data-class"), page)
    check(pins(page)["C80203"].get_attribute("data-moved") == "true", "the pin moved since the last visit", page)
    page.shot("sitemap-changes")
    check(len(page.all("#map-edits li")) >= len(PLACES) + 2, "who moved what", page)
    # The first visit's map: the repeater where it stood then.
    first = page.all("#map-visit option")[-1].get_attribute("value")
    Select(page.find("#map-visit")).select_by_value(first)
    page.wait_for(lambda: abs(float(pins(page)["C80203"].get_attribute("data-x")) - 200) <= 3, 10, "the first visit's position")
    # Its links as its own survey measured them, not dashed as unmeasured.
    page.wait_for(lambda: link(page, WEAK_HOP).get_attribute("data-class") == "weak", 20, "the first visit's survey on its map")
    check(link(page, MOVED_HOP).get_attribute("data-class") in ("good", "fair"), "the moved hop as it was then", page)
    check("No site survey yet" not in page.text("#map-note"), "the note names the survey: " + page.text("#map-note"), page)
    page.shot("sitemap-past-visit")
    Select(page.find("#map-visit")).select_by_value("")


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "840")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        control = DemoControl(os.path.join(root, "demo-control"))
        page = start(binary, root, artefacts, "en_US.UTF-8", control.path)
        try:
            open_map(page)
            pagedriver.run_steps(page, [lambda p: import_plan(p, root), lambda p: import_pdf_plan(p, root), place_units, survey_colours_links,
                                   lambda p: plan_pages_in_pdf(p, root, artefacts), lambda p: plan_controls(p, root, artefacts),
                                   disconnect, reconnected, disconnect])
        finally:
            page.quit()
        page = start(binary, root, artefacts, "en_US.UTF-8", control.path)
        try:
            check(control.send(MOVE) == ["ok"], MOVE)  # the demo site lives in the program: moved once it runs
            pagedriver.run_steps(page, [kept_after_restart, second_visit])
            check(not page.errors(), "no errors shown: %s" % page.errors(), page)
        finally:
            page.quit()
    print("sitemap: ok")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
