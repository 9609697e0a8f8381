// Bundles the page into one folder: index.html, app.js, app.css and the
// guide's pictures (guide-pictures/*.png as guide/*.png); and/or the one
// script the command line runs (src/cli.js, no DOM: the site logic and the
// page's flows) as the global LinkmeterCli.
//   node build.mjs --modules DIR/node_modules --out DIR --rules catalogue-rules.json
//   node build.mjs --modules DIR/node_modules --cli FILE --rules catalogue-rules.json
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
const cli = option('--cli', false);
const out = option('--out', cli === null);
// The command catalogue's write checks, made at build time (lm-apidoc).
const rules = option('--rules');
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
    alias: { 'catalogue-rules': rules },
    logLevel: 'warning',
  });
}

if (cli !== null) await commandLineScript('src/cli.js', cli, 'LinkmeterCli');
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
