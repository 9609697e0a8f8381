// CSV text of site-survey results.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { csvField, csvText, surveyCsv, SURVEY_HEADER } from '../../web/linkmeter/src/csv.js';

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

test('one line per hop; a unit with no answer gets one line with its status', () => {
  const group = { name: 'GH', freq: 12 };
  const answered = {
    time: '2026-01-02 03:04:05', group, status: 'partial',
    target: { name: 'FAR', model: 'VL-RA', serial: '00B80105' },
    hops: [
      { label: 'R1', serial: '00C80101', reading: { level: 140, levelClass: 'good', battery: 90, batteryClass: 'ok' } },
      { label: 'FAR', serial: '00B80105', reading: null },
    ],
  };
  const silent = { time: '2026-01-02 03:04:09', group, status: 'noAnswer', target: { name: 'GONE', model: 'VL-RC', serial: '00BC0106' }, hops: [{ label: 'GONE', serial: '00BC0106', reading: null }] };
  const lines = surveyCsv([answered, silent]).split('\r\n');
  assert.equal(lines[0], SURVEY_HEADER.join(','));
  assert.deepEqual(lines.slice(1), [
    '2026-01-02 03:04:05,GH,12,FAR,VL-RA,00B80105,partial,1,R1,00C80101,140,good,90,ok',
    '2026-01-02 03:04:05,GH,12,FAR,VL-RA,00B80105,partial,2,FAR,00B80105,,no answer,,',
    '2026-01-02 03:04:09,GH,12,GONE,VL-RC,00BC0106,noAnswer,,,,,,,',
    '',
  ]);
  for (const line of lines.slice(0, -1)) assert.equal(line.split(',').length, SURVEY_HEADER.length, line);
});
