// The map's colours for a drawing that stands alone, away from the page's
// style sheet: the palette's classes and changes (ui/palette.js, which
// style.css declares too) written into the SVG itself.
import { PALETTE as P } from '../ui/palette.js';

export const MAP_SVG_STYLE = `
.map-link line { stroke: ${P.none}; stroke-linecap: round; fill: none; }
.map-link.c-good line { stroke: ${P.good}; }
.map-link.c-fair line { stroke: ${P.fair}; }
.map-link.c-weak line { stroke: ${P.weak}; }
.map-link.c-bad line { stroke: ${P.bad}; }
.map-link.c-silent line { stroke: ${P.bad}; opacity: 0.8; }
.map-link line.map-change-halo { stroke-opacity: 0.4; }
.map-link.change-worse line.map-change-halo { stroke: ${P.worse}; }
.map-link.change-better line.map-change-halo { stroke: ${P.better}; }
.map-link text.map-change-mark { text-anchor: middle; }
.map-link.change-worse text.map-change-mark { fill: ${P.worse}; }
.map-link.change-better text.map-change-mark { fill: ${P.better}; }
text { font-family: "Noto Sans CJK JP", sans-serif; fill: #222; }
.map-link text, .map-pin text { paint-order: stroke; stroke: #fff; stroke-width: 3px; }
.map-lost { fill: ${P.bad}; stroke: #fff; }
.map-link text.map-lost-text { fill: #fff; stroke: none; text-anchor: middle; }
.map-pin circle { fill: ${P.none}; stroke: #222; stroke-width: 1.5px; }
.map-pin.v-good circle { fill: ${P.good}; }
.map-pin.v-fair circle { fill: ${P.fair}; }
.map-pin.v-weak circle { fill: ${P.weak}; }
.map-pin.v-bad circle, .map-pin.v-silent circle { fill: ${P.bad}; }
.map-pin circle.planned { fill: #fff; stroke-dasharray: 3 2; }
.map-pin.moved circle { stroke: ${P.better}; stroke-width: 3px; }
.map-pin circle.map-battery-ring { fill: none; stroke: ${P.bad}; stroke-width: 2.5px; }
.map-pin text.battery-low { fill: ${P.badText}; font-weight: bold; }
.map-scale line { stroke: #111; }
.map-proposal-leg { stroke: ${P.prediction}; fill: none; stroke-linecap: round; }
.map-proposal-pin { fill: #fff; stroke: ${P.prediction}; }
.map-proposal.infeasible .map-proposal-pin { stroke-dasharray: 2 2; }
.map-proposal text { fill: ${P.prediction}; paint-order: stroke; stroke: #fff; stroke-width: 3px; font-style: italic; }
.map-legend-back { fill: #fff; }
`;
