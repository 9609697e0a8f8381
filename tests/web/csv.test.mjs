// CSV text of site-survey results.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { csvField, csvText, surveyCsv, SURVEY_HEADER } from '../../web/linkmeter/src/page/csv.js';
import { provenance, PROVENANCE_HEADER } from '../../web/linkmeter/src/ui/provenance.js';

test('fields are quoted and defused where a spreadsheet would misread them', () => {
  const cases = [
    ['plain', 'plain'], ['a,b', '"a,b"'], ['say "hi"', '"say ""hi"""'], ['two\nlines', '"two\nlines"'],
    ['=SUM(A1)', "'=SUM(A1)"], ['+1', "'+1"], ['-x', "'-x"], ['@cmd', "'@cmd"], ['=a,b', `"'=a,b"`],
    [-5, '-5'], [0, '0'], [NaN, ''], [null, ''], [undefined, ''], [true, 'true'], ['温室-1', '温室-1'],
  ];
  for (const [value, text] of cases) assert.equal(csvField(value), text, String(value));
});

test('lines end with CRLF, the last one too', () => {
  assert.equal(csvText(['a', 'b'], [[1, 'x'], [2, 'y,z']]), 'a,b\r\n1,x\r\n2,"y,z"\r\n');
  assert.equal(csvText(['a'], []), 'a\r\n');
});

test('one line per hop, each starting with whose it is; a unit with no answer gets one line with its status', () => {
  const group = { name: 'GH', freq: 12 };
  const when = (sec) => new Date(2026, 0, 2, 3, 4, sec).getTime();
  const answered = {
    when: when(5), group, status: 'partial',
    target: { name: 'FAR', label: 'G1 FAR', model: 'VL-RA', serial: '00B80105' },
    hops: [
      { label: 'G1 R1', serial: '00C80101', reading: { level: 140, levelClass: 'good', battery: 90, batteryClass: 'ok' } },
      { label: 'G1 FAR', serial: '00B80105', reading: null },
    ],
  };
  const silent = { when: when(9), group, status: 'noAnswer', target: { name: '', label: 'G1 #6', model: 'VL-RC', serial: '00BC0106' }, hops: [{ label: 'G1 #6', serial: '00BC0106', reading: null }] };
  const prov = provenance({ serial: '009A0011', name: 'GREENHOUSE' }, { time: when(0) });
  const lines = surveyCsv({ prov, regSource: 'sibling', results: [answered, silent] }).split('\r\n');
  assert.equal(lines[0], SURVEY_HEADER.join(','));
  assert.deepEqual(SURVEY_HEADER.slice(0, PROVENANCE_HEADER.length), PROVENANCE_HEADER);
  // Results without probe figures (an older survey) leave those columns empty; every line names the boundaries.
  const rule = 'level good>=130 fair>=100 weak>=80; battery ok>=30% low>=10%';
  assert.deepEqual(lines.slice(1), [
    `009A0011,GREENHOUSE,00B80105,2026-01-02 03:04:05,unit,sibling,GH,12,G1 FAR,VL-RA,partial,1,G1 R1,00C80101,140,good,90,ok,,,,,,,,,${rule}`,
    `009A0011,GREENHOUSE,00B80105,2026-01-02 03:04:05,unit,sibling,GH,12,G1 FAR,VL-RA,partial,2,G1 FAR,00B80105,,no answer,,,,,,,,,,,${rule}`,
    `009A0011,GREENHOUSE,00BC0106,2026-01-02 03:04:09,unit,sibling,GH,12,G1 #6,VL-RC,noAnswer,,,,,,,,,,,,,,,,${rule}`,
    '',
  ]);
  for (const line of lines.slice(0, -1)) assert.equal(line.split(',').length, SURVEY_HEADER.length, line);
});
