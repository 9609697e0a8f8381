// Images read from data: URLs and made smaller once: a 48-megapixel plan
// photo is drawn (on screen and on paper) from a copy no larger than needed.

export function loadImage(url) {
  return new Promise((resolve, reject) => {
    const img = new Image();
    img.onload = () => resolve(img);
    img.onerror = () => reject(new Error('image'));
    img.src = url;
  });
}

// A JPEG copy of the image at `url` ({width, height} in pixels) whose
// longest side is `longest`; the image itself when it is no larger.
export async function downscaled(url, size, longest) {
  const k = longest / Math.max(size.width, size.height);
  if (k >= 1) return url;
  const img = await loadImage(url);
  const canvas = document.createElement('canvas');
  canvas.width = Math.round(size.width * k);
  canvas.height = Math.round(size.height * k);
  canvas.getContext('2d').drawImage(img, 0, 0, canvas.width, canvas.height);
  return canvas.toDataURL('image/jpeg', 0.9);
}
