// Bundles the page into one folder: index.html, app.js, app.css and the
// guide's pictures (guide-pictures/*.png as guide/*.png); and/or
// the site logic the command line runs (src/sitelogic.js, no DOM) into one
// script that sets the global LinkmeterSite; and/or the flows it runs
// (src/cliflows.js) as the global LinkmeterFlows.
//   node build.mjs --modules DIR/node_modules --out DIR --rules catalogue-rules.json
//   node build.mjs --modules DIR/node_modules --site FILE
//   node build.mjs --modules DIR/node_modules --flows FILE --rules catalogue-rules.json
// Minified, no source map and no absolute paths, so two builds give the
// same bytes wherever the trees are.
import { createRequire } from 'node:module';
import { copyFileSync, mkdirSync, readdirSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));

function option(name, required = true) {
  const at = process.argv.indexOf(name);
  if (at < 0 || at + 1 >= process.argv.length) {
    if (!required) return null;
    console.error(`build.mjs: ${name} DIR is required`);
    process.exit(2);
  }
  return resolve(process.argv[at + 1]);
}

const modules = option('--modules');
const site = option('--site', false);
const flows = option('--flows', false);
const out = option('--out', site === null && flows === null);
// The command catalogue's write checks, made at build time (lm-apidoc).
const rules = out === null && flows === null ? null : option('--rules');
const esbuild = createRequire(join(modules, 'entry.js'))('esbuild');

// One script for JavaScriptCore that sets the global `globalName`.
async function commandLineScript(entry, outfile, globalName) {
  await esbuild.build({
    absWorkingDir: here,
    entryPoints: [entry],
    outfile,
    bundle: true,
    minify: true,
    format: 'iife',
    globalName,
    target: ['es2020'],
    charset: 'utf8',
    legalComments: 'none',
    nodePaths: [modules],
    alias: rules === null ? {} : { 'catalogue-rules': rules },
    logLevel: 'warning',
  });
}

if (site !== null) await commandLineScript('src/sitelogic.js', site, 'LinkmeterSite');
if (flows !== null) await commandLineScript('src/cliflows.js', flows, 'LinkmeterFlows');
if (out === null) process.exit(0);

mkdirSync(out, { recursive: true });
await esbuild.build({
  absWorkingDir: here,
  entryPoints: { app: 'src/main.js', 'app-style': 'src/style.css' },
  outdir: out,
  bundle: true,
  minify: true,
  format: 'iife',
  target: ['es2020'],
  charset: 'utf8',
  legalComments: 'none',
  nodePaths: [modules],
  alias: { 'catalogue-rules': rules },
  logLevel: 'warning',
});
copyFileSync(join(here, 'index.html'), join(out, 'index.html'));
const pictures = join(here, 'guide-pictures');
mkdirSync(join(out, 'guide'), { recursive: true });
for (const name of readdirSync(pictures).filter((n) => n.endsWith('.png')).sort()) {
  copyFileSync(join(pictures, name), join(out, 'guide', name));
}
