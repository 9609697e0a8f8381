"""What the page's GUI tests share beyond driving the page: the check that
stops a test with a screenshot and the page's messages, the page's language
switched as a person switches it, a file waited for until it stops growing,
and one program run through a list of steps."""
import os

from selenium.webdriver.support.ui import Select

import pagedriver


def check(condition, what, page=None):
    if not condition:
        if page:
            page.shot("failed")
        raise AssertionError(what + ("\n" + page.messages() if page else ""))


def language(page, lang):
    Select(page.find("#language")).select_by_value(lang)
    page.wait_for(lambda: page.js("return document.documentElement.lang") == lang, 10, "the page in " + lang)


def english(page):
    language(page, "en")


def both_languages(page, name, again=None):
    """A screenshot of what is on show in English, then in Japanese; the
    page rebuilds its views in the other language, so `again` redoes what a
    view kept only for itself."""
    page.shot(name + "-en")
    language(page, "ja")
    if again:
        again(page)
    page.shot(name + "-ja")
    language(page, "en")


def saved(page, path):
    """True once the page's notice names `path`: it comes after the file is
    closed, however slowly the machine wrote it."""
    return os.path.exists(path) and path in page.text("#messages")


def run_page(binary, root, artefacts, steps):
    """The program started on `root` with the demo site, `steps` run on its
    page in order, the program ended however they end."""
    page = pagedriver.Page(binary, root, artefacts)
    try:
        pagedriver.run_steps(page, steps)
    finally:
        page.quit()
