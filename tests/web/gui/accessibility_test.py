"""The page checked by axe-core, the standard accessibility engine, in the
real program on the demo site: every tab in English and in Japanese, in one
window, with a unit connected and its registration read so the views hold
what a technician sees. Any serious or critical finding fails, and so does
any finding of the rules the page once broke (labels, landmarks, heading
order, empty table headers). Then, in one language, every control of each
tab is reached with the Tab key and shows where the focus is. axe-core's
script is put into the page by the test only (the page's bundle never
carries it): it comes from the page's development modules.

usage: accessibility_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session;
LM_PAGE_MODULES: the page's npm folder holding axe-core)"""
import faulthandler
import json
import os
import sys

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

import pagedriver
from pagesupport import check, language

LAN_UNIT = "009C0021"
PASSWORD = "vela1234"
FAILING_IMPACTS = ("serious", "critical")
# Rules the page broke before: none of their findings is let through.
WATCHED = ("label", "select-name", "region", "heading-order", "empty-table-header", "landmark-one-main",
           "page-has-heading-one", "aria-allowed-role", "button-name", "aria-required-children")


def axe_source():
    places = [os.environ.get("LM_PAGE_MODULES"),
              os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "web", "linkmeter", "node_modules")]
    for place in filter(None, places):
        path = os.path.join(place, "axe-core", "axe.min.js")
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                return f.read()
    raise AssertionError("axe-core is not installed in the page's npm folder: %s" % places)


def inject(page, source):
    if page.js("return typeof window.axe") != "object":
        page.js(source + "\n;return typeof window.axe;")
    check(page.js("return typeof window.axe") == "object", "axe-core in the page", page)


def run_axe(page):
    """axe over the whole page but the views of other tabs (hidden, not drawn)."""
    page.driver.set_script_timeout(120)
    result = page.driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const hidden = [...document.querySelectorAll('main#views > section[hidden]')].map((s) => "main#views > section[data-view='" + s.dataset.view + "']");
        axe.run({ exclude: hidden.map((s) => [s]) }, { resultTypes: ['violations'] })
          .then((r) => done(JSON.stringify(r.violations.map((v) => ({ id: v.id, impact: v.impact, help: v.help,
            nodes: v.nodes.map((n) => n.target.join(' ')).slice(0, 8) })))), (e) => done(JSON.stringify({ error: String(e) })));
    """)
    found = json.loads(result)
    check(not isinstance(found, dict), "axe ran: %s" % found, page)
    return found


def connect(page):
    page.click("#search-button")
    page.wait_for(lambda: not page.find("#search-button").get_attribute("disabled"), 30, "the search to end")
    page.click("#unit-list tr[data-serial='%s'] [data-test=connect]" % LAN_UNIT)
    page.wait_for(lambda: page.find("#password-dialog").is_displayed(), 10, "the password dialog")
    page.type_into("#password-input", PASSWORD)
    page.click("#password-ok")
    page.wait_for(lambda: page.attr("#connected-unit", "data-state") == "connected", 20, "RIVERSIDE connected")
    page.click("#tab-site")
    page.click("#site-read")
    page.wait_for(lambda: page.all("#site-tree [data-test=group]"), 30, "the registration read")


def views(page):
    return page.js("return [...document.querySelectorAll('nav#tabs [data-test=tab]')].map((t) => t.dataset.view)")


SECTION = "main#views > section[data-view='%s']"


def show(page, view):
    page.click("#tab-" + view)
    page.wait_for(lambda: page.find(SECTION % view).is_displayed(), 10, view + " shown")


def every_tab(page, source, lang, report):
    """axe on each tab; the failing findings, by tab."""
    failing = {}
    for view in views(page):
        show(page, view)
        inject(page, source)
        found = run_axe(page)
        report["%s/%s" % (lang, view)] = found
        bad = [v for v in found if v["impact"] in FAILING_IMPACTS or v["id"] in WATCHED]
        if bad:
            failing[view] = bad
            page.shot("axe-%s-%s" % (lang, view))
    return failing


# What the Tab key may land on, and whether each shows where the focus is.
FOCUSABLE = """
    const inView = (el) => el.getClientRects().length && getComputedStyle(el).visibility !== 'hidden'
      && !el.closest('[hidden], details:not([open]) > :not(summary)');
    const all = [...document.querySelectorAll('#page-top, ' + arguments[0])].flatMap((root) =>
      [...root.querySelectorAll('a[href], button, input, select, textarea, summary, [tabindex]')]);
    return all.filter((el) => !el.disabled && el.tabIndex >= 0 && inView(el)).map((el) => el.id || el.dataset.test || el.textContent.trim().slice(0, 20));
"""

FOCUS_SHOWN = """
    const el = document.activeElement;
    if (!el || el === document.body) return null;
    const s = getComputedStyle(el);
    const ring = s.outlineStyle !== 'none' && parseFloat(s.outlineWidth) > 0;
    return [el.id || el.dataset.test || el.textContent.trim().slice(0, 20), ring || s.boxShadow !== 'none'];
"""


def keyboard(page, view):
    """Every control of the tab and the header is reached by Tab, each with
    its focus shown."""
    show(page, view)
    wanted = page.js(FOCUSABLE, SECTION % view)
    page.js("document.activeElement && document.activeElement.blur(); window.scrollTo(0, 0)")
    reached, unseen = [], []
    body = page.find("body")
    ActionChains(page.driver).move_to_element(body).perform()
    # Until every control was reached, or the focus came round again.
    for _ in range(3 * len(wanted) + 40):
        ActionChains(page.driver).send_keys(Keys.TAB).perform()
        at = page.js(FOCUS_SHOWN)
        if not at:
            continue
        if reached and at[0] == reached[0] and len(reached) > 1:
            break
        reached.append(at[0])
        if not at[1]:
            unseen.append(at[0])
        if all(w in reached for w in wanted):
            break
    # A control a view disabled meanwhile (History's compare once read) is not wanted.
    still = page.js(FOCUSABLE, SECTION % view)
    missing = [w for w in wanted if w not in reached and w in still]
    return missing, unseen


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "540")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    source = axe_source()
    report = {}
    with pagedriver.shelltest.temp_root() as root:
        os.environ.pop("LINKMETER_DEMO_CONTROL", None)
        os.environ["LANG"] = "en_US.UTF-8"
        page = pagedriver.Page(binary, root, artefacts)
        try:
            language(page, "en")
            connect(page)
            failing = {}
            for lang in ("en", "ja"):
                language(page, lang)
                failing.update({"%s/%s" % (lang, k): v for k, v in every_tab(page, source, lang, report).items()})
            with open(os.path.join(artefacts, "axe-findings.json"), "w", encoding="utf-8") as f:
                json.dump(report, f, ensure_ascii=False, indent=1)
            check(not failing, "axe findings that fail:\n%s" % json.dumps(failing, ensure_ascii=False, indent=1), page)
            language(page, "en")
            problems = {}
            for view in views(page):
                missing, unseen = keyboard(page, view)
                if missing or unseen:
                    problems[view] = {"not reached": missing, "focus not shown": unseen}
            check(not problems, "keyboard: %s" % json.dumps(problems, indent=1), page)
            page.shot("done")
        finally:
            page.quit()
    print("accessibility: ok; findings in " + os.path.join(artefacts, "axe-findings.json"))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
