// The technician's guide: the commissioning checklist, how to read the
// page's marks, what each remedy means on site, and a section per tab that
// the "?" on the tab opens (show({section})). The checklist's ticks are the
// technician's own, kept while the page runs. Some tabs' sections show a
// picture of that tab on the demo site.
import { h, fill } from '../ui/dom.js';
import { t, addMessages, language } from '../i18n/i18n.js';
import ja from '../i18n/guide-ja.js';
import en from '../i18n/guide-en.js';

addMessages('ja', ja);
addMessages('en', en);

export const STEPS = ['find', 'scan', 'register', 'survey', 'fix', 'accept', 'report'];
const READING = ['chips', 'classes', 'bands', 'verdicts'];
export const REMEDIES = ['raiseAntenna', 'raiseRepeater', 'checkUnit', 'addRepeater', 'changeChannel', 'replaceBattery', 'moreProbes', 'surveyAgain', 'moveRepeater', 'shareRepeater'];

const ticked = new Set(); // kept across a language switch

// Tab → picture, packed as guide/<picture>-<language>.png. The GUI test
// web_gui.guide takes them from the demo site; scripts/guide-pictures makes
// them anew in web/linkmeter/guide-pictures at PICTURE_SIZE.
export const PICTURES = { site: 'site-tree', sitesurvey: 'site-survey', acceptance: 'acceptance', report: 'report' };
export const PICTURE_SIZE = { width: 800, height: 538 };
const PICTURE_FALLBACK = 'en';

const pictureFile = (name, lang) => `guide/${name}-${lang}.png`;

// The tab's picture in the page's language, English where that one is missing.
function picture(viewId, title) {
  const name = PICTURES[viewId];
  if (!name) return null;
  const fallback = pictureFile(name, PICTURE_FALLBACK);
  const img = h('img', { src: pictureFile(name, language()), alt: t('guide.pictureAlt', { tab: title }), loading: 'lazy',
    width: String(PICTURE_SIZE.width), height: String(PICTURE_SIZE.height),
    onerror: () => { if (img.getAttribute('src') !== fallback) img.setAttribute('src', fallback); } });
  return h('figure', { class: 'guide-picture', test: 'guide-picture', dataset: { picture: name } },
    img, h('figcaption', { text: t('guide.picture.' + name) }));
}

function checklist() {
  return h('ol', { id: 'guide-steps', class: 'guide-steps' }, STEPS.map((step) => {
    const box = h('input', { type: 'checkbox', id: 'guide-step-' + step, checked: ticked.has(step),
      onchange: (e) => (e.target.checked ? ticked.add(step) : ticked.delete(step)) });
    return h('li', { test: 'guide-step', dataset: { step } }, box, ' ', h('label', { for: 'guide-step-' + step, text: t('guide.step.' + step) }));
  }));
}

const section = (id, title, ...body) => h('section', { id: 'guide-' + id, class: 'guide-section', test: 'guide-section', dataset: { section: id } }, h('h3', { text: title }), ...body);
const list = (keys, prefix) => h('ul', {}, keys.map((k) => h('li', { test: 'guide-' + prefix, dataset: { key: k }, text: t(`guide.${prefix}.${k}`) })));

function content(views) {
  return [
    h('h2', { text: t('guide.title') }),
    h('p', { text: t('guide.intro') }),
    section('steps', t('guide.steps'), checklist()),
    section('reading', t('guide.reading'), list(READING, 'read')),
    section('remedies', t('guide.remedies'), list(REMEDIES, 'remedy')),
    h('h2', { text: t('guide.tabs') }),
    views.filter((v) => v.id !== 'guide').map((v) => section(v.id, t(v.title), h('p', { text: t('guide.tab.' + v.id) }), picture(v.id, t(v.title)))),
  ];
}

// The "?" a tab's view carries: opens that tab's section of the guide.
export function guideButton(ctx, viewId) {
  return h('button', { class: 'guide-open no-print', test: 'guide-open', dataset: { section: viewId }, title: t('guide.open'), 'aria-label': t('guide.open'), text: '?',
    onclick: () => ctx.go('guide', { section: viewId }) });
}

// views: the page's views ({id, title}), in tab order.
export function guideView(views) {
  return {
    id: 'guide',
    title: 'tab.guide',
    create() {
      const body = h('div', { id: 'guide' });
      fill(body, content(views));
      const el = h('section', { id: 'view-guide' }, body);
      const show = (options) => {
        const id = options && options.section;
        for (const s of body.querySelectorAll('[data-test=guide-section]')) s.classList.toggle('guide-current', s.dataset.section === id);
        body.dataset.section = id || '';
        const target = id ? body.querySelector(`#guide-${id}`) : null;
        if (target && target.scrollIntoView) target.scrollIntoView({ block: 'start' });
      };
      return { element: el, show };
    },
  };
}
