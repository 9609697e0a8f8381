// Bundles the page into one folder: index.html, app.js and app.css; and/or
// the site logic the command line runs (src/sitelogic.js, no DOM) into one
// script that sets the global LinkmeterSite.
//   node build.mjs --modules DIR/node_modules --out DIR --rules catalogue-rules.json
//   node build.mjs --modules DIR/node_modules --site FILE
// Minified, no source map and no absolute paths, so two builds give the
// same bytes wherever the trees are.
import { createRequire } from 'node:module';
import { copyFileSync, mkdirSync } from 'node:fs';
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
const out = option('--out', site === null);
// The command catalogue's write checks, made at build time (lm-apidoc).
const rules = out === null ? null : option('--rules');
const esbuild = createRequire(join(modules, 'entry.js'))('esbuild');

if (site !== null) {
  await esbuild.build({
    absWorkingDir: here,
    entryPoints: ['src/sitelogic.js'],
    outfile: site,
    bundle: true,
    minify: true,
    format: 'iife',
    globalName: 'LinkmeterSite',
    target: ['es2020'],
    charset: 'utf8',
    legalComments: 'none',
    nodePaths: [modules],
    logLevel: 'warning',
  });
}
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
