"""The technician's guide in the real program on the demo site, driven
through WebDriver: the "?" of a tab opens that tab's section of the guide,
in English and in Japanese, below the header also when a narrower window
wraps the tabs onto more rows, with the commissioning checklist, the reading
of chips, classes, bands and verdicts, and every remedy. The guide's
pictures are taken here from the demo site (a quick site survey, its
acceptance and report) into ARTEFACTS/pictures, named by what they show and
the language; scripts/guide-pictures runs this test and puts them, made
smaller, into web/linkmeter/guide-pictures, which the page carries. The
test checks that those are exactly the pictures it takes and that each
tab's section shows its own, loaded, in the page's language.

usage: guide_test.py LINKMETER ARTEFACTS  (under an X server and dbus-run-session)"""
import faulthandler
import os
import shutil
import sys

import pagedriver
from pagesupport import check, language
from link_quality_test import read_site
from report_pdf_test import quick_site_survey
from page_shell_test import start
from acceptance_test import quick_profile

STEPS = ["find", "scan", "register", "survey", "fix", "accept", "report"]
LANGUAGES = ("en", "ja")
# Tabs whose "?" is tried, and the pictures the guide shows: tab → picture name.
PICTURES = {"site": "site-tree", "sitesurvey": "site-survey", "acceptance": "acceptance", "report": "report"}
COMMITTED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "web", "linkmeter", "guide-pictures")


def open_from_tab(page, tab):
    """The tab's "?" opens the guide at that tab's section."""
    page.click("#tab-" + tab)
    page.click("#view-%s [data-test=guide-open]" % tab)
    page.wait_for(lambda: page.attr("#guide", "data-section") == tab, 10, "the guide at " + tab)
    check(page.js("return !document.getElementById('view-guide').hidden"), "the guide is shown", page)
    current = page.js("return [...document.querySelectorAll('#guide .guide-current')].map((s) => s.dataset.section)")
    check(current == [tab], "only the %s section is marked: %s" % (tab, current), page)
    # In view below the header and tabs, which stay at the top.
    top = page.js("return document.getElementById('guide-' + arguments[0]).getBoundingClientRect().top", tab)
    header = page.js("return document.getElementById('page-top').getBoundingClientRect().bottom")
    check(header <= top < page.js("return window.innerHeight"), "the %s section is in view (top %s, header to %s)" % (tab, top, header), page)


def narrow_window(page):
    """Narrower, the tabs wrap onto more rows and the header grows: a section
    opened from "?" still starts below it."""
    wide = page.js("return document.getElementById('page-top').getBoundingClientRect().height")
    width, height = pagedriver.SIZE
    page.js("app.setWindowSize(%d, %d)" % (width // 2, height))
    try:
        page.wait_for(lambda: page.js("return innerWidth") == width // 2, 10, "the narrower window")
        page.wait_for(lambda: page.js("return document.getElementById('page-top').getBoundingClientRect().height") > wide + 20,
                      10, "the header to grow as the tabs wrap")
        open_from_tab(page, "acceptance")
        page.shot("guide-narrow")
    finally:
        page.js("app.setWindowSize(%d, %d)" % (width, height))
        page.wait_for(lambda: page.js("return innerWidth") == width, 10, "the window's size again")


def guide_content(page, lang):
    steps = page.js("return [...document.querySelectorAll('#guide [data-test=guide-step]')].map((s) => s.dataset.step)")
    check(steps == STEPS, "the commissioning steps in order: %s" % steps, page)
    for part in ("read", "remedy"):
        texts = page.js("return [...document.querySelectorAll('#guide [data-test=guide-%s]')].map((x) => x.textContent)" % part)
        check(len(texts) >= 4 and all(texts), "the guide's %s texts: %d" % (part, len(texts)), page)
    whole = page.text("#guide")
    japanese = any("\u3040" <= ch <= "\u30ff" for ch in whole)
    check(japanese == (lang == "ja"), "the guide is in %s" % lang, page)
    check("guide." not in whole and "{" not in whole, "every text of the guide found", page)
    tabs = page.js("return [...document.querySelectorAll('nav#tabs [data-test=tab]')].map((t) => t.dataset.view)")
    sections = page.js("return [...document.querySelectorAll('#guide [data-test=guide-section]')].map((s) => s.dataset.section)")
    check(all(t in sections for t in tabs if t != "guide"), "a section for every tab: %s" % sections, page)


def pictures(page, folder, lang):
    """The guide's pictures from the demo site, as the technician sees it."""
    os.makedirs(folder, exist_ok=True)
    for tab, name in PICTURES.items():
        page.click("#tab-" + tab)
        page.js("window.scrollTo(0, 0)")
        shutil.copy(page.shot("guide-picture-%s-%s" % (name, lang)), os.path.join(folder, "%s-%s.png" % (name, lang)))


def committed_pictures():
    """The page carries exactly the pictures this test takes."""
    taken = sorted("%s-%s.png" % (name, lang) for name in PICTURES.values() for lang in LANGUAGES)
    committed = sorted(f for f in os.listdir(COMMITTED) if f.endswith(".png")) if os.path.isdir(COMMITTED) else []
    check(committed == taken, "web/linkmeter/guide-pictures holds %s but the test takes %s: run scripts/guide-pictures "
          "and commit the pictures" % (committed, taken))


def shown_pictures(page, lang):
    """Each section with a picture shows its own, loaded, in the page's language."""
    shown = page.js("return [...document.querySelectorAll('#guide [data-test=guide-picture]')]"
                    ".map((f) => [f.closest('[data-test=guide-section]').dataset.section, f.dataset.picture])")
    check(sorted(map(tuple, shown)) == sorted(PICTURES.items()), "the sections' pictures: %s" % shown, page)
    for name in PICTURES.values():
        img = "#guide [data-test=guide-picture][data-picture='%s'] img" % name
        # Loaded lazily: in view first.
        page.js("document.querySelector(arguments[0]).scrollIntoView({block: 'center'})", img)
        page.wait_for(lambda: page.js("return document.querySelector(arguments[0]).complete", img), 10, "the picture " + name)
        got = page.js("const i = document.querySelector(arguments[0]); return {src: i.currentSrc, w: i.naturalWidth, h: i.naturalHeight,"
                      " dw: i.getAttribute('width'), dh: i.getAttribute('height'), alt: i.alt, lazy: i.loading,"
                      " caption: i.closest('figure').querySelector('figcaption').textContent}", img)
        check(got["w"] > 0 and got["src"].endswith("/guide/%s-%s.png" % (name, lang)),
              "the %s picture of %s loaded (%s); is it in web/linkmeter/guide-pictures (scripts/guide-pictures)?" % (lang, name, got), page)
        check([got["dw"], got["dh"]] == [str(got["w"]), str(got["h"])], "the size the page gives %s is its own: %s" % (name, got), page)
        check(got["alt"] and got["caption"] and got["lazy"] == "lazy", "%s has an alt text, a caption and loads lazily: %s" % (name, got), page)


def main(binary, artefacts):
    faulthandler.dump_traceback_later(int(os.environ.get("LM_GUI_HANG_S", "540")), exit=True)
    pagedriver.fresh_artefacts(artefacts)
    with pagedriver.shelltest.temp_root() as root:
        page = start(binary, root, artefacts, "en_US.UTF-8")
        try:
            language(page, "en")
            read_site(page)
            quick_site_survey(page)
            # Judged with as many probes as the quick survey took: the verdicts and remedies of the demo site.
            quick_profile(page, "1")
            # Every picture first: scripts/guide-pictures takes them even where the page lacks one.
            for lang in LANGUAGES:
                print("step: pictures " + lang, flush=True)
                language(page, lang)
                pictures(page, os.path.join(artefacts, "pictures"), lang)
            committed_pictures()
            for lang in LANGUAGES:
                print("step: guide " + lang, flush=True)
                language(page, lang)
                for tab in PICTURES:
                    open_from_tab(page, tab)
                guide_content(page, lang)
                page.shot("guide-" + lang)
                shown_pictures(page, lang)
                if lang == "en":
                    page.js("document.getElementById('guide-step-find').scrollIntoView({block: 'center'})")
                    page.find("#guide-step-find").click()
                # Ticked once, it stays so across the language switch.
                check(page.js("return document.getElementById('guide-step-find').checked"), "a step ticked", page)
            narrow_window(page)
        finally:
            page.quit()
    print("guide: ok; pictures in " + os.path.join(artefacts, "pictures"))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
