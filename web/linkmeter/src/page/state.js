// The page's shared state: a small store whose listeners see every change.
import { DEFAULT_THRESHOLDS } from '../site/thresholds.js';

export function createStore(initial) {
  let state = { ...initial };
  const listeners = new Set();
  return {
    get: () => state,
    set(patch) {
      state = { ...state, ...patch };
      for (const f of listeners) f(state);
    },
    subscribe(f) {
      listeners.add(f);
      return () => listeners.delete(f);
    },
    // Drops every listener (the page rebuilds its views).
    unsubscribeAll: () => listeners.clear(),
  };
}

// What the flows share: the units found, the connected one and its site.
export const store = createStore({
  units: [], // search entries (comInfo without password)
  loggers: [], // loggers found on optical ports
  unit: null, // the connected unit's comInfo (with lanPassword for LAN)
  unitInfo: null, // {ruinf, ebsts, rdtim}
  regInfo: null, // the connected unit's registration as read from it
  regProv: null, // its provenance (provenance.js)
  siblingReg: null, // {regInfo, prov}: the sibling application's registration, kept apart
  manualReg: null, // {regInfo, prov}: routes entered by hand for the connected base unit
  routesFrom: 'unit', // which registration surveys use: 'unit' | 'sibling' | 'manual'
  linkLost: false, // the connected unit's link failed (cable pulled, network gone)
  surveyTarget: null, // {group, kind, num} picked on the site view
  siteSurvey: null, // the latest site survey (sitesurveybook.js), complete or not
  siteSurveyDone: null, // the last complete one, kept until a newer one completes
  busy: 0, // long operations running (keeps the computer awake)
  thresholds: DEFAULT_THRESHOLDS, // level and battery class boundaries (thresholds.js), set from storage at start
});

// The registration surveys and the site tree work from, with its
// provenance: the unit's own unless the technician chose the sibling's
// or the routes entered by hand.
export function surveyRegistration(state) {
  if (state.routesFrom === 'sibling' && state.siblingReg) return state.siblingReg;
  if (state.routesFrom === 'manual' && state.manualReg) return state.manualReg;
  return state.regInfo ? { regInfo: state.regInfo, prov: state.regProv } : null;
}

// LAN passwords of this session, by address and port. Memory only: never
// stored anywhere, gone when the page closes.
const passwords = new Map();
const lanKey = (entry) => `${entry.ipAddr}:${entry.port}`;
export const sessionPasswords = {
  get: (entry) => passwords.get(lanKey(entry)),
  set: (entry, password) => passwords.set(lanKey(entry), password),
  forget: (entry) => passwords.delete(lanKey(entry)),
};
