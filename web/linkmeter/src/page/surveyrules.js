// When the site tree and the surveys may work, and when a shown survey is
// no longer the current one: the page's rules, apart from its elements.
import { surveyRegistration } from './state.js';

// Base units whose registration RSETF refuses; their routes come from the
// sibling application's file or are entered by hand.
export const NO_RSETF_MODELS = ['VL-B1'];

export function refusesRegistration(unit) {
  return Boolean(unit) && NO_RSETF_MODELS.includes(String(unit.model || ''));
}

// Why surveys cannot run now, or '' when they can: a survey sends the
// routes of the registration in use, so that registration must be the
// connected base unit's.
export function surveyBlock(state) {
  if (!state.unit) return 'notConnected';
  if (state.linkLost) return 'linkLost';
  const reg = surveyRegistration(state);
  if (!reg || !reg.regInfo) return 'noRegistration';
  if (!reg.prov || reg.prov.base.serial !== String(state.unit.serial || '')) return 'otherBase';
  return '';
}

// The registration sources the technician can choose among now.
export function routeSources(state) {
  return [
    { source: 'unit', available: Boolean(state.regInfo) },
    { source: 'sibling', available: Boolean(state.siblingReg) },
    { source: 'manual', available: Boolean(state.manualReg) },
  ];
}

// A survey ({prov, regSource}: measured by prov's base unit along the routes
// of a registration from regSource) made from another registration than the
// one in use now is earlier.
export function madeFromOther(survey, state) {
  const reg = surveyRegistration(state);
  if (!survey || !survey.prov || !reg || !reg.prov) return true;
  return reg.prov.source !== survey.regSource || reg.prov.base.serial !== survey.prov.base.serial;
}
