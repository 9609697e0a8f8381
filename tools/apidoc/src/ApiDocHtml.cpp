#include <sstream>

#include "linkmeter/apidoc/Outputs.h"
#include "sorrel/cef/ResUrl.h"

namespace linkmeter::apidoc {
namespace {

using Sorrel::cef::res::HtmlEscape;

constexpr const char* kHead = R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Linkmeter page functions</title>
<style>
body{font:14px/1.45 sans-serif;margin:0;color:#1d2530}
header{position:sticky;top:0;background:#24405e;color:#fff;padding:8px 16px;display:flex;gap:16px;align-items:center}
header input{flex:1;max-width:360px;padding:4px 8px;font-size:14px}
main{padding:0 16px 32px}
h2{border-bottom:2px solid #24405e;margin-top:28px}
section.fn{border:1px solid #cfd6de;border-radius:4px;margin:12px 0;padding:8px 12px}
section.fn.undescribed{border-color:#c0392b}
h3{margin:0 0 4px;font-family:monospace;font-size:15px}
.meta{color:#5a6775;font-size:12px}
table{border-collapse:collapse;margin:6px 0}
td,th{border:1px solid #dde3e9;padding:2px 8px;text-align:left;vertical-align:top}
pre{background:#f3f5f7;padding:6px 8px;overflow-x:auto}
</style></head><body>
<header><strong>Page functions</strong><input id="filter" type="search" placeholder="Filter by name or text"><span id="count"></span></header>
<main>
<p>Every function the program gives the page under <code>app</code>. Query functions take
<code>(arg, onSuccess, onFailure)</code> (unless shown otherwise) and answer later; a failure is an object
<code>{api, code1, msg}</code> (device failures add <code>code2</code>). Native functions run at once and
return their result or throw an <code>Error</code> whose message is that object as JSON.</p>
<p id="limits"><b>Argument limits.</b> A native function takes at most 200000 values per call in all (every
number, string, boolean, null, array, object and member counts one), nested at most 64 levels deep, and no value
that contains itself. Over that it throws <code>code1</code> -4 before any check of its own, with a
<code>msg</code> such as <code>"Invalid arguments : 'arguments[1]' holds more than 200000 values in all."</code>,
<code>"… is nested deeper than 64 levels."</code> or <code>"… contains itself."</code>; more than 200000
arguments throw -3. <code>app.fileWrite</code> therefore writes at most 199996 bytes per call. A query's
argument travels as JSON text nested at most 100 levels deep: deeper, the query fails with -1
(<code>"unhandled query"</code>); a value that contains itself throws in the page before anything is sent.</p>
)";

constexpr const char* kTail = R"(</main>
<script>
const box = document.getElementById('filter');
function apply() {
  const q = box.value.trim().toLowerCase();
  let n = 0;
  for (const s of document.querySelectorAll('section.fn')) {
    const hit = !q || s.textContent.toLowerCase().includes(q);
    s.hidden = !hit;
    if (hit) ++n;
  }
  document.getElementById('count').textContent = n + ' functions';
}
box.addEventListener('input', apply);
apply();
</script></body></html>
)";

void WriteFunction(std::ostream& out, const FunctionDoc& d) {
  out << "<section class=\"fn" << (d.described ? "" : " undescribed") << "\" id=\"" << HtmlEscape(d.script)
      << "\" data-name=\"" << HtmlEscape(d.script) << "\">\n<h3>" << HtmlEscape(d.script + d.call) << "</h3>\n"
      << "<div class=\"meta\">" << d.kind << " \"" << HtmlEscape(d.name) << "\""
      << (d.kind == "query" ? (d.cancellable ? ", returns a cancel function" : ", returns undefined") : "")
      << "</div>\n<p>" << HtmlEscape(d.summary) << "</p>\n";
  if (!d.args.empty()) {
    out << "<table><tr><th>argument</th><th>type</th><th>need</th><th>accepted</th></tr>\n";
    for (const ArgDoc& a : d.args) {
      out << "<tr><td><code>" << HtmlEscape(a.name) << "</code></td><td>" << HtmlEscape(a.type) << "</td><td>" << a.need
          << "</td><td>" << HtmlEscape(a.accepted) << "</td></tr>\n";
    }
    out << "</table>\n";
  }
  if (!d.result.empty()) out << "<p><b>Result:</b> " << HtmlEscape(d.result) << "</p>\n";
  if (!d.failures.empty()) {
    out << "<table><tr><th>code1</th><th>failure</th></tr>\n";
    for (const FailureDoc& f : d.failures) {
      out << "<tr><td>" << HtmlEscape(f.code) << "</td><td>" << HtmlEscape(f.cause) << "</td></tr>\n";
    }
    out << "</table>\n";
  } else if (d.described) {
    out << "<p><b>Failures:</b> none; it always answers.</p>\n";
  }
  if (!d.example.empty()) out << "<pre><code>" << HtmlEscape(d.example) << "</code></pre>\n";
  out << "</section>\n";
}

}  // namespace

std::string ApiDocHtml(const std::vector<FunctionDoc>& docs) {
  std::ostringstream out;
  out << kHead << "<nav>";
  std::string group;
  for (const FunctionDoc& d : docs) {
    if (d.group != group) out << (group.empty() ? "" : " · ") << "<a href=\"#g-" << HtmlEscape(d.group) << "\">" << HtmlEscape(d.group) << "</a>";
    group = d.group;
  }
  out << "</nav>\n";
  group.clear();
  for (const FunctionDoc& d : docs) {
    if (d.group != group) out << "<h2 id=\"g-" << HtmlEscape(d.group) << "\">" << HtmlEscape(d.group) << "</h2>\n";
    group = d.group;
    WriteFunction(out, d);
  }
  out << kTail;
  return out.str();
}

}  // namespace linkmeter::apidoc
