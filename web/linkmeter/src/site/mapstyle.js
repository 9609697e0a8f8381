// The map's colours for a drawing that stands alone, away from the page's
// style sheet: the page's bands (style.css) written into the SVG itself.
export const MAP_SVG_STYLE = `
.map-link line { stroke: #9aa3ad; stroke-linecap: round; fill: none; }
.map-link.c-good line { stroke: #2e9d4f; }
.map-link.c-fair line { stroke: #8fb43a; }
.map-link.c-weak line { stroke: #e09b1b; }
.map-link.c-bad line { stroke: #c8362d; }
.map-link.c-silent line { stroke: #c8362d; opacity: 0.8; }
.map-link.change-worse line { stroke: #7a0aa8; }
.map-link.change-better line { stroke: #1565c0; }
text { font-family: "Noto Sans CJK JP", sans-serif; fill: #222; }
.map-link text, .map-pin text { paint-order: stroke; stroke: #fff; stroke-width: 3px; }
.map-lost { fill: #c8362d; stroke: #fff; }
.map-link text.map-lost-text { fill: #fff; stroke: none; text-anchor: middle; }
.map-pin circle { fill: #9aa3ad; stroke: #222; stroke-width: 1.5px; }
.map-pin.v-good circle { fill: #2e9d4f; }
.map-pin.v-fair circle { fill: #8fb43a; }
.map-pin.v-weak circle { fill: #e09b1b; }
.map-pin.v-bad circle, .map-pin.v-silent circle { fill: #c8362d; }
.map-pin circle.planned { fill: #fff; stroke-dasharray: 3 2; }
.map-pin.moved circle { stroke: #1565c0; stroke-width: 3px; }
.map-scale line { stroke: #111; }
.map-proposal-leg { stroke: #5c6bc0; fill: none; stroke-linecap: round; }
.map-proposal-pin { fill: #fff; stroke: #5c6bc0; }
.map-proposal.infeasible .map-proposal-pin { stroke-dasharray: 2 2; }
.map-proposal text { fill: #5c6bc0; paint-order: stroke; stroke: #fff; stroke-width: 3px; font-style: italic; }
.map-legend-back { fill: #fff; }
`;
