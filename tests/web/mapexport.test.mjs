// The map as a file that stands alone: the text document the command line
// draws with, its base64 decoding, the plan an export names, and the whole
// drawing read back as XML-ish text.
import test from 'node:test';
import assert from 'node:assert/strict';
import { textDocument } from '../../web/linkmeter/src/ui/svgtext.js';
import { decodeBase64 } from '../../web/linkmeter/src/device/cliruntime.js';
import { pickPlan, mapSvgText } from '../../web/linkmeter/src/records/mapexport.js';
import { setLanguage } from '../../web/linkmeter/src/i18n/i18n.js';

globalThis.document ??= textDocument;
setLanguage('en');

test('base64 decodes as the browser\'s atob, refusing what is not base64', () => {
  for (const bytes of ['', 'a', 'ab', 'abc', 'abcd', '\u0000\u00ff\u0080 <svg>']) {
    assert.equal(decodeBase64(Buffer.from(bytes, 'latin1').toString('base64')), bytes);
  }
  assert.equal(decodeBase64('YW\nJj'), 'abc');
  for (const bad of ['a', 'YW*j', 'Y']) assert.throws(() => decodeBase64(bad));
});

test('the plan an export names: by name first, then by number from 1, else none', () => {
  const plans = [{ name: 'Ground' }, { name: '2' }, { name: 'Yard' }];
  const cases = [[undefined, 'Ground'], ['', 'Ground'], ['Yard', 'Yard'], ['2', '2'], ['3', 'Yard'], ['1', 'Ground'], ['0', null], ['4', null], ['Attic', null], ['1.5', null]];
  for (const [which, name] of cases) assert.equal(pickPlan(plans, which)?.name ?? null, name, String(which));
  assert.equal(pickPlan([], undefined), null);
});

test('the drawing escapes what it writes and carries links, pins, image and legend', () => {
  const plan = { id: 'p1', name: 'Hall <A> & "B"', width: 800, height: 600, scale: null };
  const units = [
    { key: '9C0021', serial: '9C0021', label: 'BASE', kind: 'base', group: null, num: 0, parent: null },
    { key: 'C20201', serial: 'C20201', label: 'G1 <FLOW>', kind: 'remote', group: 0, num: 1, parent: 0 },
  ];
  const positions = new Map([['9C0021', { plan: 'p1', x: 10, y: 10, state: 'placed' }], ['C20201', { plan: 'p1', x: 300, y: 200, state: 'planned' }]]);
  const { svg, links } = mapSvgText({ plan, image: 'data:image/png;base64,AAAA', units, positions, survey: null, planNames: new Map() });
  assert.deepEqual(links, [{ from: '9C0021', to: 'C20201', cls: 'none' }]);
  assert.match(svg, /<g class="map-link c-none" data-link="" data-from="9C0021" data-to="C20201" data-class="none">/);
  assert.match(svg, /data-serial="C20201"[^>]*data-state="planned"/);
  assert.match(svg, /G1 &lt;FLOW&gt;/);
  assert.match(svg, /Hall &lt;A&gt; &amp; "B"/);
  assert.match(svg, /href="data:image\/png;base64,AAAA"/);
  assert.doesNotMatch(svg, /<FLOW>/);
  assert.match(svg, /data-legend=""/);
  assert.match(svg, /data-key="notMeasured">not measured</);
});
