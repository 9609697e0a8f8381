// Model names by the code in bits 17..23 of a unit's serial number.
import { serialNumber, modelCode } from './route.js';

export const BASE_MODELS = { 9: 'VL-N1', 10: 'VL-N2', 11: 'VL-N3', 12: 'VL-N4', 41: 'VL-B3', 42: 'VL-B4', 77: 'VL-B1', 78: 'VL-B7', 80: 'VL-B6', 81: 'VL-B5' };
export const REMOTE_MODELS = { 62: 'VL-RJ', 63: 'VL-RH', 92: 'VL-RA', 93: 'VL-RB', 94: 'VL-RC', 96: 'VL-RF', 97: 'VL-RD', 98: 'VL-RG', 99: 'VL-RE' };

// The model a serial text ("009C0021") names, or '' when none.
export function modelOfSerialText(text) {
  const n = serialNumber(String(text || '').trim());
  if (n === null) return '';
  const code = modelCode(n);
  return BASE_MODELS[code] || REMOTE_MODELS[code] || '';
}
