// Adds the team records' texts to the page's message tables.
import { addMessages } from './i18n.js';
import ja from './teamsync-ja.js';
import en from './teamsync-en.js';

addMessages('ja', ja);
addMessages('en', en);
