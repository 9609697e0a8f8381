// The customer's report: each unit's compact row (route with each hop's
// median, weakest hop, probes and losses, battery, verdict), the groups in
// brief, the report id that follows its records, the paper's order and
// words in both languages, and the SHA-256 it is named by.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import { siteTargets } from '../../web/linkmeter/src/site/sitesurveybook.js';
import { judgeAcceptance } from '../../web/linkmeter/src/site/acceptance.js';
import { waiverRecord } from '../../web/linkmeter/src/site/waivers.js';
import { describeAcceptance } from '../../web/linkmeter/src/site/acceptancetexts.js';
import { setLanguage } from '../../web/linkmeter/src/i18n/i18n.js';
import { customerReport, reportId } from '../../web/linkmeter/src/report/customerreport.js';
import { sha256Hex } from '../../web/linkmeter/src/ui/sha256.js';
import { loadDom } from './dom-support.mjs';
import { northSite, resultOfProbes } from './site-fixture.mjs';

// G1: HOUSE-1 at the base unit; FIELD behind R1 → R2; SOIL behind R1.
const regInfo = northSite();
const targets = siteTargets(regInfo);
const targetOf = (num) => targets.find((x) => x.num === num);

// `n` probes of unit `num`, each hop answering [level, battery] (null: no answer from there on).
const resultOf = (num, n, hops) => resultOfProbes(regInfo, targetOf(num), Array.from({ length: n }, () => hops));

const survey = (complete = true, fieldBattery = 80) => ({
  targets, regInfo, complete, started: Date.UTC(2026, 11, 9, 9), finished: Date.UTC(2026, 11, 9, 9, 20),
  prov: { base: { serial: '10092561', name: 'BASE', model: 'VL-B7' } },
  results: [
    resultOf(1, 20, [[140, 90]]),
    resultOf(2, 20, [[115, 80], [109, 70], [140, fieldBattery]]),
    resultOf(3, 20, [[120, 80], null]),
  ],
});

const judged = (s, waivers = []) => describeAcceptance(judgeAcceptance(s, { at: 5, waivers }));

test('a compact row per unit: route with each hop\'s median, weakest hop, probes, battery, verdict', () => {
  setLanguage('en');
  const s = survey();
  const report = customerReport(s, judged(s));
  const rows = Object.fromEntries(report.units.map((r) => [r.serial, r]));
  const cases = [
    // serial, route, weakest, probes, battery, verdict
    ['00B80101', 'BASE → G1 HOUSE-1 140', '→ G1 HOUSE-1 140', { asked: 20, answered: 20, lost: 0 }, 90, 'pass'],
    ['00BC0102', 'BASE → G1 R1 115 → G1 R2 109 → G1 FIELD 140', '→ G1 R2 109', { asked: 20, answered: 20, lost: 0 }, 80, 'marginal'],
    ['00BC0103', 'BASE → G1 R1 120 → G1 SOIL —', null, { asked: 20, answered: 0, lost: 20 }, null, 'fail'],
  ];
  for (const [serial, route, weakest, probes, battery, verdict] of cases) {
    const r = rows[serial];
    assert.equal(r.route, route, serial);
    assert.equal(r.weakest ? r.weakest.text : null, weakest, serial);
    assert.deepEqual(r.probes, probes, serial);
    assert.equal(r.battery ? r.battery.percent : null, battery, serial);
    assert.equal(r.verdict, verdict, serial);
  }
  const [group] = report.groups;
  assert.deepEqual([group.name, group.units, group.pass, group.marginal, group.fail, group.waived], ['NORTH', 3, 1, 1, 1, 0]);
  assert.equal(group.weakest.text, '→ G1 R2 109');
});

test('the report id follows the records it was made from, and only them', () => {
  const s = survey();
  const id = reportId(s, judged(s));
  assert.match(id, /^[0-9a-f]{12}$/);
  assert.equal(reportId(survey(), judged(survey())), id, 'the same records, the same id');
  const waiver = { ...waiverRecord({ serial: '00BC0103', reason: 'cable pending', at: 7 }), id: 1 };
  const changed = [
    ['a waiver', () => reportId(s, judged(s, [waiver]))],
    ['another battery reading', () => { const o = survey(true, 79); return reportId(o, judged(o)); }],
    ['an incomplete survey', () => { const o = survey(false); return reportId(o, judged(o)); }],
    ['another profile', () => reportId(s, describeAcceptance(judgeAcceptance(s, { profile: { ...judged(s).profile, name: 'Strict' } })))],
  ];
  for (const [what, other] of changed) assert.notEqual(other(), id, what);
});

test('SHA-256 over block boundaries and multi-byte text', () => {
  for (const text of ['', 'abc', 'x'.repeat(55), 'x'.repeat(56), 'x'.repeat(64), 'BASE → 親機 115'.repeat(30)]) {
    assert.equal(sha256Hex(text), createHash('sha256').update(text).digest('hex'), `${text.length} characters`);
  }
});

const dom = loadDom();
test('the paper: page 1 first, rows, legend; no on-screen controls; both languages', { skip: !dom && 'linkedom missing' }, async () => {
  const { window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>');
  Object.assign(globalThis, { document: window.document, Node: window.Node });
  const { customerPaper } = await import('../../web/linkmeter/src/report/customerpaper.js');
  const waiver = { ...waiverRecord({ serial: '00BC0103', reason: 'cable pending', at: 7 }), id: 1 };
  for (const [lang, verdictWord, incompleteWord] of [['en', 'FAIL', 'did not complete'], ['ja', '不合格', '最後まで終わっていません']]) {
    setLanguage(lang);
    for (const [complete, waivers] of [[true, []], [false, []], [true, [waiver]]]) {
      const s = survey(complete);
      const a = judged(s, waivers);
      const el = customerPaper({ acceptance: a, report: customerReport(s, a), survey: s, made: s.finished,
        facts: { site: 'BASE (10092561) VL-B7', customer: 'Riverside Farm', technician: 'K. Sato', notes: '' },
        comparison: null, weakest: null, thresholdsLine: 'good from 130' });
      const text = el.textContent;
      const what = `${lang}, ${complete ? 'complete' : 'incomplete'}, ${waivers.length} waiver(s)`;
      const verdict = el.querySelector('[data-test=paper-verdict]');
      assert.equal(verdict.dataset.verdict, waivers.length ? 'passWithWaivers' : 'fail', what);
      if (!waivers.length) assert.ok(text.indexOf(verdictWord) < text.indexOf('G1 HOUSE-1 140'), `${what}: the verdict before the rows`);
      assert.equal(el.querySelectorAll('[data-test=report-unit]').length, 3, what);
      // SOIL failed: listed by what was found, or with its waiver's reason;
      // its work is page 1's only while it is not waived.
      const failing = [...el.querySelectorAll('[data-test=paper-failing]')].map((li) => li.dataset.units);
      const waived = [...el.querySelectorAll('[data-test=paper-waiver]')].map((li) => li.dataset.units);
      assert.deepEqual([failing, waived], waivers.length ? [[], ['00BC0103']] : [['00BC0103'], []], what);
      const actions = [...el.querySelectorAll('[data-test=paper-action]')].map((li) => li.dataset.units);
      assert.deepEqual(actions, waivers.length ? [] : ['00BC0103'], `${what}: the work of units not waived`);
      assert.equal(text.includes('cable pending'), waivers.length > 0, what);
      assert.equal(text.includes(incompleteWord), !complete, `${what}: the incomplete survey said on page 1 only when so`);
      assert.ok(text.includes('→') && text.includes('—'), what);
      assert.equal(el.querySelectorAll('button, select, input, .no-print').length, 0, what);
      assert.doesNotMatch(text, /paper\.|acceptance\.|diagnosis\.|\{[a-z]+\}/, `${what}: every text found and filled`);
    }
  }
  setLanguage('en');
});

test('page 1 says what was found and what to do in the customer\'s words, at most five actions', { skip: !dom && 'linkedom missing' }, async () => {
  const { window } = dom.parseHTML('<!DOCTYPE html><html><body></body></html>');
  Object.assign(globalThis, { document: window.document, Node: window.Node });
  const { customerPaper, PAGE_ONE_ACTIONS } = await import('../../web/linkmeter/src/report/customerpaper.js');
  setLanguage('en');
  // HOUSE-1's battery at 9 %, FIELD weak behind R2, SOIL silent: three findings, three actions.
  const s = { ...survey(), results: [resultOf(1, 20, [[140, 9]]), resultOf(2, 20, [[115, 80], [90, 70], [140, 80]]), resultOf(3, 20, [[120, 80], null])] };
  const a = judged(s);
  const paper = (acceptance) => customerPaper({ acceptance, report: customerReport(s, acceptance), survey: s, made: s.finished,
    facts: { site: 'BASE', customer: '', technician: '', notes: '' }, comparison: null, weakest: null, thresholdsLine: '' });
  const el = paper(a);
  const failing = [...el.querySelectorAll('[data-test=paper-failing]')];
  const words = failing.map((li) => li.textContent).join(' | ');
  assert.match(words, /Low battery \(1\): G1 HOUSE-1/, words);
  // The finding, never the rule's name or the jargon of the rules.
  assert.doesNotMatch(words, /battery not low|hop median|median/i, words);
  const actions = [...el.querySelectorAll('[data-test=paper-action]')];
  assert.deepEqual(actions.map((li) => li.dataset.kind), ['replaceBattery', 'checkUnit', 'raiseRepeater'], 'cheapest first');
  // Page 1 (everything before the table of units) uses no "hop" and no "median".
  const pageOne = [...el.children].slice(0, [...el.children].findIndex((c) => c.tagName === 'TABLE' && c.classList.contains('paper-units')));
  for (const part of pageOne) assert.doesNotMatch(part.textContent, /\bhop|median/i, part.textContent);
  // More than five actions: five on page 1, the rest after the units.
  const many = { ...a, fixFirst: Array.from({ length: 7 }, (_, i) => ({ ...a.fixFirst[0], key: `k${i}`, text: `action ${i}` })) };
  const more = paper(many);
  assert.equal(more.querySelectorAll('[data-test=paper-fix-first] [data-test=paper-action]').length, PAGE_ONE_ACTIONS);
  assert.equal(more.querySelectorAll('[data-test=paper-action]').length, 7);
  assert.ok(more.querySelector('[data-test=paper-more-actions]'));
});
