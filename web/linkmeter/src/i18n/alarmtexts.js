// Adds the monitor's alarm texts to the page's message tables.
import { addMessages } from './i18n.js';
import ja from './alarms-ja.js';
import en from './alarms-en.js';

addMessages('ja', ja);
addMessages('en', en);
