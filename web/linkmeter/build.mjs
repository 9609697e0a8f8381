// Bundles the page into one folder: index.html, app.js and app.css.
//   node build.mjs --modules DIR/node_modules --out DIR --rules catalogue-rules.json
// Minified, no source map and no absolute paths, so two builds give the
// same bytes wherever the trees are.
import { createRequire } from 'node:module';
import { copyFileSync, mkdirSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));

function option(name) {
  const at = process.argv.indexOf(name);
  if (at < 0 || at + 1 >= process.argv.length) {
    console.error(`build.mjs: ${name} DIR is required`);
    process.exit(2);
  }
  return resolve(process.argv[at + 1]);
}

const modules = option('--modules');
const out = option('--out');
// The command catalogue's write checks, made at build time (lm-apidoc).
const rules = option('--rules');
const esbuild = createRequire(join(modules, 'entry.js'))('esbuild');

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
