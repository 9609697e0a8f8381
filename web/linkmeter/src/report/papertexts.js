// The texts of the customer's report on paper, added to the page's message
// tables.
import { addMessages } from '../i18n/i18n.js';
import ja from '../i18n/paper-ja.js';
import en from '../i18n/paper-en.js';

addMessages('ja', ja);
addMessages('en', en);
