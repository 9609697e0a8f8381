// The site map's records: a site's plans and map edits read from the site
// records, a plan's image read once and checked against its SHA-256, and
// new plans and edits kept on the visit open now.
import { base64ToBytes, bytesToBase64 } from './records.js';
import { sha256Bytes } from '../ui/sha256.js';
import { plansInForce } from '../site/mapplans.js';
import { editOrder } from '../site/mapplacement.js';

// A plan record's decoded form as the map uses it, or null when it lacks
// what a plan needs.
function planOf(record) {
  const d = record.decoded || {};
  if (typeof d.sha256 !== 'string' || !(d.width > 0) || !(d.height > 0)) return null;
  return { id: d.sha256, recordId: record.id, name: String(d.name || ''), format: String(d.format || ''), width: d.width, height: d.height, at: record.takenAt, scale: null };
}

// An edit as the map uses it. Its sender is the team server's session user
// once the server took it (its receipt), before that the technician of the
// visit it was made on, marked not sent; never the `by` the edit itself says.
const editOf = (record) => ({
  ...(record.decoded || {}), at: record.takenAt, visitId: record.visitId, recordId: record.id,
  receipt: record.receipt ? record.receipt.number : null,
  by: record.receipt ? String(record.receipt.sentBy) : String(record.technician || ''), sent: Boolean(record.receipt),
});

export class SiteMapSource {
  // records: createRecords' functions; recorder: the page's recorder.
  constructor({ records, recorder }) {
    this.records = records;
    this.recorder = recorder;
    this.images = new Map(); // plan id → data URL of its image as read
  }

  // {plans: [plan], kept: [plan], edits: [edit]} of site `serial`: a plan
  // once however often it was kept (the first keeps its name; addedAt has
  // each time), its scale the last scale edit; `plans` those in force now
  // (renamed, hidden, removed: mapplans.js), `kept` every one; edits in the order they apply
  // (editOrder).
  async load(serial) {
    const { plans, edits } = await this.records.readSiteMap({ serial });
    const byId = new Map();
    // The records come newest visit first; plans are numbered as added.
    for (const p of plans.map(planOf).filter(Boolean).sort((a, b) => a.at - b.at)) {
      if (byId.has(p.id)) byId.get(p.id).addedAt.push(p.at);
      else byId.set(p.id, { ...p, addedAt: [p.at] });
    }
    const all = edits.map(editOf).sort(editOrder);
    for (const e of all) if (e.action === 'scale' && byId.has(e.plan)) byId.get(e.plan).scale = e;
    const kept = [...byId.values()];
    return { plans: plansInForce(kept, all), kept, edits: all };
  }

  // The image of `plan` as a data URL (the page's policy loads images from
  // nowhere else), read once; a record whose bytes do not hash to the
  // plan's id is refused.
  async image(plan) {
    if (this.images.has(plan.id)) return this.images.get(plan.id);
    const record = await this.records.readRecord({ kind: 'plan', id: plan.recordId });
    const bytes = base64ToBytes(record.raw);
    if (sha256Bytes(bytes) !== plan.id) throw new Error('plan image does not match its hash');
    const url = dataUrl(plan.format, record.raw);
    this.images.set(plan.id, url);
    return url;
  }

  // The image a plan file gives: a PDF's page rendered to PNG by the
  // program (poppler), any other file as it is.
  async planImage(bytes, page = 1) {
    if (!isPdf(bytes)) return bytes;
    const { png } = await this.records.renderPlanPage({ pdf: bytesToBase64(bytes), page });
    return base64ToBytes(png);
  }

  // Keeps a plan on the visit open now unless the site has it already;
  // resolves with the plan, or null when no visit is open.
  async addPlan({ name, format, bytes, width, height }, known = []) {
    const sha256 = sha256Bytes(bytes);
    const kept = known.find((p) => p.id === sha256);
    if (kept) return kept;
    const decoded = { name, format, width, height, sha256 };
    const answer = await this.recorder.recordNow('recordPlan', { source: 'file', raw: bytesToBase64(bytes), decoded });
    if (!answer) return null;
    return { id: sha256, recordId: answer.id, name, format, width, height, at: Date.now(), scale: null };
  }

  // Keeps one edit on the visit open now; resolves with true once kept,
  // false when no visit is open.
  async addEdit(edit) {
    const { at, sent, ...decoded } = edit;
    const answer = await this.recorder.recordNow('recordMapEdit', { takenAt: at, raw: [], decoded });
    return Boolean(answer);
  }
}

const MIME = { png: 'image/png', jpeg: 'image/jpeg', svg: 'image/svg+xml' };
export const mimeOf = (format) => MIME[format] || 'application/octet-stream';
export const dataUrl = (format, base64) => `data:${mimeOf(format)};base64,${base64}`;

export const isPdf = (bytes) => bytes[0] === 0x25 && bytes[1] === 0x50 && bytes[2] === 0x44 && bytes[3] === 0x46;

// The format of an image file from its first bytes, or null: PNG and JPEG
// by their signatures, SVG by an <svg element near the start.
export function imageFormat(bytes) {
  if (bytes[0] === 0x89 && bytes[1] === 0x50 && bytes[2] === 0x4e && bytes[3] === 0x47) return 'png';
  if (bytes[0] === 0xff && bytes[1] === 0xd8 && bytes[2] === 0xff) return 'jpeg';
  const head = new TextDecoder().decode(bytes.subarray(0, 2048));
  return /<svg[\s>]/.test(head) ? 'svg' : null;
}
