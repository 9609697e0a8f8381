// A document of just what the map drawing uses (createElementNS,
// createTextNode, attributes, dataset, append), where no browser is: the
// command line draws the page's own map elements with it and writes them
// out as XML text.
const escapeText = (s) => String(s).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
const escapeAttr = (s) => escapeText(s).replace(/"/g, '&quot;');

class TextNode {
  constructor(text) {
    this.textContent = String(text);
  }

  toXml() {
    return escapeText(this.textContent);
  }
}

const dataName = (key) => 'data-' + key.replace(/[A-Z]/g, (c) => '-' + c.toLowerCase());

class ElementNode {
  constructor(tag) {
    this.tagName = tag;
    this.attributes = new Map();
    this.children = [];
    this.dataset = new Proxy({}, {
      set: (_, key, value) => (this.attributes.set(dataName(String(key)), String(value)), true),
      get: (_, key) => this.attributes.get(dataName(String(key))),
    });
  }

  setAttribute(name, value) {
    this.attributes.set(name, String(value));
  }

  getAttribute(name) {
    return this.attributes.has(name) ? this.attributes.get(name) : null;
  }

  append(...nodes) {
    for (const n of nodes) this.children.push(typeof n === 'string' ? new TextNode(n) : n);
  }

  toXml() {
    const attrs = [...this.attributes].map(([k, v]) => ` ${k}="${escapeAttr(v)}"`).join('');
    if (!this.children.length) return `<${this.tagName}${attrs}/>`;
    return `<${this.tagName}${attrs}>${this.children.map((c) => c.toXml()).join('')}</${this.tagName}>`;
  }
}

export const textDocument = Object.freeze({
  // Where the page's language is noted (i18n sets its lang).
  documentElement: { lang: '' },
  createElementNS: (ns, tag) => new ElementNode(tag),
  createTextNode: (text) => new TextNode(text),
});

// Installs the text document as `document` where there is none.
export function installTextDocument() {
  if (!globalThis.document) globalThis.document = textDocument;
}
