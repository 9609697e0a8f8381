// Bundles and packs the page again in a fresh folder elsewhere and checks
// that the package comes out byte for byte as the build made it: no time,
// path or order of the build tree may leak into it.
//   node bundle_reproducible.mjs PACKAGE NODE_MODULES RULES
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const [built, modules, rules] = process.argv.slice(2);
const web = join(dirname(fileURLToPath(import.meta.url)), '..', '..', 'web');
const scratch = mkdtempSync(join(tmpdir(), 'lm-bundle-'));

// Every file under `dir`, as paths relative to it, in name order as the build packs them.
function files(dir, prefix = '') {
  return readdirSync(dir, { withFileTypes: true }).flatMap((e) =>
    e.isDirectory() ? files(join(dir, e.name), prefix + e.name + '/') : [prefix + e.name]).sort();
}

try {
  const out = join(scratch, 'somewhere', 'else');
  execFileSync(process.execPath, [join(web, 'linkmeter', 'build.mjs'), '--modules', modules, '--out', out, '--rules', rules],
    { cwd: scratch, stdio: 'inherit' });
  const again = join(scratch, 'again.appres');
  const names = files(out);
  if (!names.some((n) => n.startsWith('guide/'))) throw new Error('the second build has no guide pictures');
  execFileSync(process.execPath, [join(web, 'pack.mjs'), again, out, ...names], { stdio: 'inherit' });
  if (!readFileSync(again).equals(readFileSync(built))) {
    console.error(`${built} differs from a second build (${again})`);
    process.exitCode = 1;
  } else {
    console.log('ok: the second build gives the same bytes');
  }
} finally {
  if (!process.exitCode) rmSync(scratch, { recursive: true, force: true });
}
