// Adds the texts of the settings, registration, recorded-data, event-log
// and sibling-import flows to the page's message tables.
import { addMessages } from './i18n.js';
import ja from './service-ja.js';
import en from './service-en.js';

addMessages('ja', ja);
addMessages('en', en);
