// Adds the team records' texts to the page's message tables.
import { addMessages } from './i18n.js';
import ja from './i18n/teamsync-ja.js';
import en from './i18n/teamsync-en.js';

addMessages('ja', ja);
addMessages('en', en);
