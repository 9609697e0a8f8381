// The command line's one script (JavaScriptCore, no DOM): the site logic
// (sitelogic.js: routes, verdicts, summaries, decoders, the hop rule) as
// `site`, called by name with plain JSON; the page's flows (cliflows.js:
// surveys, the channel scan, the recorder) as `flows`, run over the host
// functions the program defines as lmHost before this script loads.
// build.mjs bundles it as the global LinkmeterCli; tools/cli
// ScriptContext.cpp loads it once per run.
export * as site from './sitelogic.js';
export * as flows from './cliflows.js';
