// How many probes a survey sends each route when the technician does not
// say: one number for the page's site survey, `survey` and `monitor`.
export const DEFAULT_PROBES = 5;
