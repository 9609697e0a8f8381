// How many probes a survey sends each route when the technician does not
// say: one number for the page's site survey, `survey` and `monitor`
// (site/limits.js holds it with its bounds).
import { PROBES } from './limits.js';

export const DEFAULT_PROBES = PROBES.default;
