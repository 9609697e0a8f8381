// The limits of what a technician may ask for, the same on every host: the
// page's inputs, the acceptance profile's checks and the command line's
// options read them here (the command line through lm/SiteLimits.h, which
// web/limits.mjs writes from this module at build time). Plain numbers
// only, no imports, so the build can read the module as it is.

// Probes a survey sends each route: the page's site survey, `survey`,
// `accept` and `monitor`. More than this keeps a unit busy for minutes per
// route without telling the technician more.
export const PROBES = Object.freeze({ min: 1, max: 100, default: 5 });

// Rounds of a channel scan: the channel view and `scan`.
export const SCAN_ROUNDS = Object.freeze({ min: 1, max: 100, default: 10 });
