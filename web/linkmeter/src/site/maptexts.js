// The site map's texts, added to the page's message tables.
import { addMessages } from '../i18n/i18n.js';
import ja from '../i18n/map-ja.js';
import en from '../i18n/map-en.js';

addMessages('ja', ja);
addMessages('en', en);
