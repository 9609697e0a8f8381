// The size of a plan's image read from its bytes, without drawing it (the
// command line has no images): PNG from its header, JPEG from its frame
// marker, SVG from its width and height or its viewBox (1000 × 1000 when it
// gives neither, as the page takes it).

const u16 = (b, i) => (b[i] << 8) | b[i + 1];
const u32 = (b, i) => ((b[i] << 24) | (b[i + 1] << 16) | (b[i + 2] << 8) | b[i + 3]) >>> 0;

function pngSize(b) {
  return b.length >= 24 ? { width: u32(b, 16), height: u32(b, 20) } : null;
}

// The first start-of-frame marker (C0..CF but C4, C8, CC) holds the size.
function jpegSize(b) {
  let i = 2;
  while (i + 9 < b.length) {
    if (b[i] !== 0xff) return null;
    const marker = b[i + 1];
    if (marker === 0xd8 || (marker >= 0xd0 && marker <= 0xd7) || marker === 0x01) {
      i += 2;
      continue;
    }
    if (marker >= 0xc0 && marker <= 0xcf && ![0xc4, 0xc8, 0xcc].includes(marker)) return { width: u16(b, i + 7), height: u16(b, i + 5) };
    i += 2 + u16(b, i + 2);
  }
  return null;
}

function svgSize(b) {
  const head = new TextDecoder().decode(b.subarray(0, 4096));
  const tag = (/<svg\b[^>]*>/.exec(head) || [''])[0];
  const attr = (name) => {
    const m = new RegExp(`\\s${name}\\s*=\\s*["']\\s*([0-9.]+)\\s*(px)?\\s*["']`).exec(tag);
    return m ? Number(m[1]) : null;
  };
  const w = attr('width');
  const h = attr('height');
  if (w > 0 && h > 0) return { width: Math.round(w), height: Math.round(h) };
  const box = /\sviewBox\s*=\s*["']\s*[-0-9.]+[\s,]+[-0-9.]+[\s,]+([0-9.]+)[\s,]+([0-9.]+)\s*["']/.exec(tag);
  if (box && Number(box[1]) > 0 && Number(box[2]) > 0) return { width: Math.round(Number(box[1])), height: Math.round(Number(box[2])) };
  return { width: 1000, height: 1000 };
}

// {width, height} of an image of `format` ('png', 'jpeg', 'svg'), or null
// when the bytes do not say.
export function imageDimensions(bytes, format) {
  const size = format === 'png' ? pngSize(bytes) : format === 'jpeg' ? jpegSize(bytes) : format === 'svg' ? svgSize(bytes) : null;
  return size && size.width > 0 && size.height > 0 ? size : null;
}
