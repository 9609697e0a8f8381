// The site map from the command line: a plan added from a file, its scale
// set, units placed from a list, each kept as the page keeps it (a plan
// record, map edits) on a visit of its own to the site. Units are named
// as the page shows them: serial in any form, registration name or label.
import { SiteMapSource, imageFormat, isPdf } from './mapsource.js';
import { bytesToBase64, base64ToBytes } from './records.js';
import { sha256Bytes } from '../ui/sha256.js';
import { imageDimensions } from './planimage.js';
import { pickPlan } from './mapexport.js';
import { regInfoOf } from './historysurvey.js';
import { serialKey } from '../site/compare.js';
import { mapUnits } from '../site/mapplacement.js';
import { renameEdit, hideEdit, removeEdit, planEditProblem, PLAN_NAME_MAX } from '../site/mapplans.js';

const hex8 = (n) => n.toString(16).toUpperCase().padStart(8, '0');

// The site `text` names: its serial (any form) or its name. Throws with
// words when none or several match.
export async function siteOf(records, text) {
  const sites = (await records.listSites()) || [];
  const want = String(text || '').trim();
  const byName = sites.filter((s) => String(s.name || '').toUpperCase() === want.toUpperCase());
  const key = serialKey(want);
  const bySerial = /^[0-9A-F]{1,8}$/.test(key) ? sites.filter((s) => serialKey(s.serial) === key) : [];
  const found = byName.length ? byName : bySerial;
  if (found.length > 1) throw new Error(`${want} names ${found.length} sites: ${found.map((s) => `${hex8(s.serial)} ${s.name || ''}`.trim()).join(', ')}`);
  if (found.length === 1) return { serial: found[0].serial, name: found[0].name || '', model: found[0].model || '' };
  // A site prepared in the office before its first visit: by serial only.
  if (/^[0-9A-Fa-f]{1,8}$/.test(want)) return { serial: parseInt(want, 16), name: '', model: '' };
  throw new Error(`the site records hold no site ${want}`);
}

// f(visitId) on a visit of its own to `site`, ended whatever happens.
async function onVisit(records, site, by, f) {
  const { id } = await records.beginVisit({ site: { serial: site.serial, name: site.name, model: site.model }, technician: by || '' });
  try {
    return await f(id);
  } finally {
    await records.endVisit({ visitId: id });
  }
}

// Adds the plan in `bytes` (PNG, JPEG, SVG, or a PDF's page `page`) to
// `site`, named `name`; the same image again is the same plan. → {plan,
// added}.
export async function addPlanFile(records, { site, bytes, name, page = 1, by }) {
  const image = isPdf(bytes) ? base64ToBytes((await records.renderPlanPage({ pdf: bytesToBase64(bytes), page })).png) : bytes;
  const format = imageFormat(image);
  if (!format) throw new Error('the plan is not a PNG, JPEG, SVG or PDF image');
  const size = imageDimensions(image, format);
  if (!size) throw new Error('the size of the plan\'s image cannot be read');
  const sha256 = sha256Bytes(image);
  const map = await new SiteMapSource({ records, recorder: null }).load(site.serial);
  const known = map.plans.find((p) => p.id === sha256);
  if (known) return { plan: known, added: false };
  const decoded = { name, format, width: size.width, height: size.height, sha256 };
  await onVisit(records, site, by, (visitId) => records.recordPlan({ visitId, source: 'file', raw: bytesToBase64(image), decoded }));
  return { plan: { id: sha256, ...decoded }, added: true };
}

async function planNamed(records, site, which) {
  const map = await new SiteMapSource({ records, recorder: null }).load(site.serial);
  const plan = pickPlan(map.plans, which);
  if (!map.plans.length) throw new Error('the site has no plans');
  if (!plan) throw new Error(`the site has no plan ${which} (its plans: ${map.plans.map((p, i) => `${i + 1} ${p.name}`).join(', ')})`);
  return plan;
}

const onPlan = (plan, x, y) => Number.isFinite(x) && Number.isFinite(y) && x >= 0 && y >= 0 && x <= plan.width && y <= plan.height;

// Sets the scale of plan `which`: the line from..to (plan pixels) is
// `metres` long.
export async function setPlanScale(records, { site, plan: which, from, to, metres, by }) {
  const plan = await planNamed(records, site, which);
  if (!onPlan(plan, from[0], from[1]) || !onPlan(plan, to[0], to[1])) throw new Error(`the scale's ends must lie on the plan (0..${plan.width}, 0..${plan.height})`);
  if (from[0] === to[0] && from[1] === to[1]) throw new Error('the scale\'s two ends are the same point');
  if (!(metres > 0)) throw new Error('the scale\'s length must be above 0 metres');
  const decoded = { action: 'scale', plan: plan.id, x1: from[0], y1: from[1], x2: to[0], y2: to[1], metres, by: by || '' };
  await onVisit(records, site, by, (visitId) => records.recordMapEdit({ visitId, raw: [], decoded }));
  return { plan, metresPerPixel: metres / Math.hypot(to[0] - from[0], to[1] - from[1]) };
}

// Renames plan `which` (change 'rename', to `name`), leaves it out of the
// customer's report or puts it back ('hide', 'show'), or removes it
// ('remove'): one map edit, as the Map tab keeps it. → {plan (as it was),
// change, name}.
export async function changePlan(records, { site, plan: which, change, name, by }) {
  const plan = await planNamed(records, site, which);
  const edits = { rename: () => renameEdit(plan, name), hide: () => hideEdit(plan, true), show: () => hideEdit(plan, false), remove: () => removeEdit(plan) };
  if (!edits[change]) throw new Error(`a plan is renamed, hidden, shown or removed, not ${change}`);
  const decoded = { ...edits[change](), by: by || '' };
  const problem = planEditProblem({ ...decoded, at: 0 });
  if (problem === 'name') throw new Error('the plan\'s new name is empty');
  if (problem === 'long') throw new Error(`a plan's name has at most ${PLAN_NAME_MAX} characters`);
  await onVisit(records, site, by, (visitId) => records.recordMapEdit({ visitId, raw: [], decoded }));
  return { plan, change, name: change === 'rename' ? decoded.name : plan.name };
}

// The site's newest registration kept in the records, or null.
async function newestRegistration(records, site) {
  const visits = (await records.listVisits({ serial: site.serial })).slice().sort((a, b) => b.startedAt - a.startedAt || b.id - a.id);
  for (const v of visits) {
    const read = await records.readVisit({ visitId: v.id });
    const regs = (read.records || []).filter((r) => r.kind === 'registration').sort((a, b) => b.at - a.at || b.id - a.id);
    for (const r of regs) {
      const regInfo = regInfoOf((await records.readRecord({ kind: 'registration', id: r.id })).decoded);
      if (regInfo) return regInfo;
    }
  }
  return null;
}

// The unit `text` names among `units` (mapUnits): a label ("G3 FAR-WELL",
// "G2 R1", "BASE"), a registration name, else a serial in any form.
export function unitNamed(units, text) {
  const want = String(text || '').trim().toUpperCase();
  const own = (u) => u.label.replace(/^G\d+ /, '').toUpperCase();
  let found = units.filter((u) => u.label.toUpperCase() === want);
  if (!found.length) found = units.filter((u) => own(u) === want);
  if (!found.length && /^[0-9A-F]{1,8}$/.test(want)) found = units.filter((u) => u.serial === serialKey(want));
  if (found.length > 1) throw new Error(`${text} names ${found.length} units: ${found.map((u) => u.label).join(', ')}`);
  if (!found.length) throw new Error(`the site's registration has no unit ${text}`);
  return found[0];
}

// CSV text with a header `unit,x,y[,state]` as rows [{line, unit, x, y,
// state}]; throws naming the line that is wrong.
export function placementRows(text) {
  const lines = String(text || '').replace(/^\uFEFF/, '').split(/\r?\n/);
  const cells = (line) => line.split(',').map((c) => c.trim().replace(/^"(.*)"$/, '$1'));
  const head = cells(lines[0] || '').map((c) => c.toLowerCase());
  if (head[0] !== 'unit' || head[1] !== 'x' || head[2] !== 'y' || (head.length > 3 && head[3] !== 'state') || head.length > 4) {
    throw new Error('the list must start with the header unit,x,y or unit,x,y,state');
  }
  const rows = [];
  lines.slice(1).forEach((line, i) => {
    if (!line.trim()) return;
    const [unit, x, y, state = 'placed'] = cells(line);
    const row = { line: i + 2, unit, x: Number(x), y: Number(y), state: state || 'placed' };
    if (!unit || x === '' || y === '' || !Number.isFinite(row.x) || !Number.isFinite(row.y)) throw new Error(`line ${row.line}: a unit and its x and y are needed`);
    if (!['placed', 'planned'].includes(row.state)) throw new Error(`line ${row.line}: the state is placed or planned, not ${state}`);
    rows.push(row);
  });
  if (!rows.length) throw new Error('the list places no unit');
  return rows;
}

// Places every unit of `rows` on plan `which`, all or none. → {plan,
// placed: [{label, serial, x, y, state}]}.
export async function placeUnits(records, { site, plan: which, rows, by }) {
  const plan = await planNamed(records, site, which);
  const regInfo = await newestRegistration(records, site);
  if (!regInfo) throw new Error('the site records hold no registration of this site: read it once (linkmeter-cli units, or the Site tab)');
  const units = mapUnits(regInfo, hex8(site.serial));
  const edits = rows.map((r) => {
    let unit;
    try {
      unit = unitNamed(units, r.unit);
    } catch (e) {
      throw new Error(`line ${r.line}: ${e.message}`);
    }
    if (!onPlan(plan, r.x, r.y)) throw new Error(`line ${r.line}: ${r.x},${r.y} is off the plan (0..${plan.width}, 0..${plan.height})`);
    return { unit, decoded: { action: r.state === 'planned' ? 'plan' : 'place', serial: unit.key, plan: plan.id, x: r.x, y: r.y, by: by || '' } };
  });
  await onVisit(records, site, by, async (visitId) => {
    for (const e of edits) await records.recordMapEdit({ visitId, raw: [], decoded: e.decoded });
  });
  return { plan, placed: edits.map((e) => ({ label: e.unit.label, serial: e.unit.key, x: e.decoded.x, y: e.decoded.y, state: e.decoded.action === 'plan' ? 'planned' : 'placed' })) };
}
