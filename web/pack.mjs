// Writes a page package: a ZIP archive of the given files, deflated, in the
// order given, every member dated 2000-01-01 00:00 with mode 0644 and no
// extra fields, so the same files always give the same bytes.
//   node pack.mjs OUT.appres DIR FILE...
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import * as zlib from 'node:zlib';

// zlib.crc32 came with Node 20.15 / 22.2; Debian 12's Node 18 lacks it.
const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(bytes) {
  if (typeof zlib.crc32 === 'function') return zlib.crc32(bytes);
  let c = 0xffffffff;
  for (const b of bytes) c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

const DOS_DATE = ((2000 - 1980) << 9) | (1 << 5) | 1;
const DOS_TIME = 0;
const UTF8_NAMES = 0x0800;

function header(fields) {
  const size = fields.reduce((n, [width]) => n + width, 0);
  const buf = Buffer.alloc(size);
  let at = 0;
  for (const [width, value] of fields) {
    if (width === 2) buf.writeUInt16LE(value, at);
    else buf.writeUInt32LE(value >>> 0, at);
    at += width;
  }
  return buf;
}

function pack(out, dir, names) {
  const parts = [];
  const central = [];
  let offset = 0;
  for (const name of names) {
    const data = readFileSync(join(dir, name));
    const packed = zlib.deflateRawSync(data, { level: 9 });
    const method = packed.length < data.length ? 8 : 0;
    const body = method === 8 ? packed : data;
    const nameBytes = Buffer.from(name, 'utf8');
    const crc = crc32(data);
    const common = [[2, 20], [2, UTF8_NAMES], [2, method], [2, DOS_TIME], [2, DOS_DATE],
      [4, crc], [4, body.length], [4, data.length], [2, nameBytes.length], [2, 0]];
    const local = header([[4, 0x04034b50], ...common]);
    parts.push(local, nameBytes, body);
    central.push(header([[4, 0x02014b50], [2, (3 << 8) | 20], ...common,
      [2, 0], [2, 0], [2, 0], [4, 0o100644 * 0x10000], [4, offset]]), nameBytes);
    offset += local.length + nameBytes.length + body.length;
  }
  const directory = Buffer.concat(central);
  const end = header([[4, 0x06054b50], [2, 0], [2, 0], [2, names.length], [2, names.length],
    [4, directory.length], [4, offset], [2, 0]]);
  writeFileSync(out, Buffer.concat([...parts, directory, end]));
}

const [out, dir, ...names] = process.argv.slice(2);
if (!out || !dir || names.length === 0) {
  console.error('usage: node pack.mjs OUT.appres DIR FILE...');
  process.exit(2);
}
pack(out, dir, names);
