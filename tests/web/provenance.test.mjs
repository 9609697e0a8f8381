import { test } from 'node:test';
import assert from 'node:assert/strict';
import { provenance, isCurrent, provenanceCells, exportFileName, PROVENANCE_HEADER, notCurrentReason, provenanceText } from '../../web/linkmeter/src/ui/provenance.js';
import { t } from '../../web/linkmeter/src/i18n/i18n.js';

const riverside = { serial: '0A5C0012', name: 'RIVERSIDE', model: 'VL-B7' };
const usb = { serial: '009A0001', name: 'BENCH', model: 'VL-B1' };

test('a result is current only for the connected, reachable base unit and only as the latest', () => {
  const prov = provenance(riverside, { time: new Date(2026, 11, 9, 3, 15) });
  const cases = [
    [{ unit: riverside }, {}, true],
    [{ unit: riverside }, { earlier: true }, false],
    [{ unit: usb }, {}, false],
    [{ unit: null }, {}, false],
    [{ unit: riverside, linkLost: true }, {}, false],
  ];
  for (const [state, options, want] of cases) assert.equal(isCurrent(prov, state, options), want, JSON.stringify([state, options]));
  assert.equal(isCurrent(null, { unit: riverside }), false);
  assert.throws(() => provenance(riverside, { source: 'guess' }));
});

test('exports name the base unit, the unit and the time', () => {
  const prov = provenance(riverside, { unit: { serial: '0B8A0003', label: 'G1 · TANK' }, source: 'unit', time: new Date(2026, 11, 9, 3, 15, 7) });
  assert.equal(PROVENANCE_HEADER.length, provenanceCells(prov).length);
  assert.deepEqual(provenanceCells(prov), ['0A5C0012', 'RIVERSIDE', '0B8A0003', '2026-12-09 03:15:07', 'unit']);
  assert.equal(provenanceCells(prov, '0B8A0009')[2], '0B8A0009');
  assert.equal(exportFileName('site-survey', prov), 'site-survey-RIVERSIDE-20261209-0315.csv');
  const odd = provenance({ serial: '0A5C0012', name: 'A/B: "x"' }, { time: new Date(2026, 0, 2, 9, 5) });
  assert.equal(exportFileName('event-log', odd), 'event-log-A_B_x-20260102-0905.csv');
  const nameless = provenance({ serial: '0A5C0012' }, { time: new Date(2026, 0, 2, 9, 5) });
  assert.equal(exportFileName('recorded', nameless), 'recorded-0A5C0012-20260102-0905.csv');
});

test('a result that is not current says why: earlier run, another unit, a file, the site records, no unit, a lost link', () => {
  const fromUnit = provenance(riverside, { time: 0 });
  const fromFile = provenance(riverside, { source: 'sibling', time: 0 });
  const cases = [
    [fromUnit, { unit: riverside }, {}, null],
    [fromUnit, { unit: riverside }, { earlier: true }, 'earlier'],
    [fromUnit, { unit: usb }, {}, 'otherUnit'],
    [fromUnit, { unit: null }, {}, 'noUnit'],
    [fromUnit, { unit: riverside, linkLost: true }, {}, 'linkLost'],
    [fromFile, { unit: usb }, {}, 'file'],
    // Records from the store are kept ones, not a file's.
    [provenance(riverside, { source: 'records', time: 0 }), { unit: riverside }, { earlier: true }, 'records'],
    [provenance(riverside, { source: 'records', time: 0 }), { unit: usb }, {}, 'records'],
  ];
  for (const [prov, state, options, want] of cases) {
    assert.equal(notCurrentReason(prov, state, options), want, JSON.stringify([prov.source, state, options]));
    const text = provenanceText(prov, state, options);
    if (want) assert.ok(text.endsWith(t('prov.why.' + want)), text);
    else assert.ok(!text.includes(' — '), text);
  }
});
