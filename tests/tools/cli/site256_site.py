# Writes the 256-unit site of bench/site256 to a file, with the benchmark's
# own generator; the browser driver it imports is not needed for that, so
# it is stood in for where it is not installed.
# usage: site256_site.py BENCH_DIR OUT.json
import sys, types

sys.path.insert(0, sys.argv[1])
try:
    import site256
except ImportError:
    names = ("selenium", "selenium.webdriver", "selenium.webdriver.common", "selenium.webdriver.common.by",
             "selenium.webdriver.webkitgtk", "selenium.webdriver.webkitgtk.options")
    for name in names:
        sys.modules[name] = types.ModuleType(name)
    sys.modules["selenium"].webdriver = sys.modules["selenium.webdriver"]
    sys.modules["selenium.webdriver.common.by"].By = None
    sys.modules["selenium.webdriver.webkitgtk.options"].Options = None
    import site256

site256.site(sys.argv[2])
