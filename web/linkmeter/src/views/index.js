// The flows of the page, in tab order. A view is one module exporting
// {id, title (message key), create(ctx) → {element, show?()}}; add a flow by
// adding its module here.
import units from './units.js';
import site from './site.js';
import channels from './channels.js';
import survey from './survey.js';
import sitesurvey from './sitesurvey.js';
import report from './report.js';
import settings from './settings.js';
import registration from './registration.js';
import recorded from './recorded.js';
import eventlog from './eventlog.js';
import sibling from './sibling.js';
import routes from './routes.js';
import history from './history.js';
import map from './map.js';
import acceptance from './acceptance.js';
import { guideView } from './guide.js';

const FLOWS = [units, site, map, channels, survey, sitesurvey, acceptance, report, settings, registration, recorded, eventlog, sibling, routes, history];
// The guide comes last, with a section for each flow.
export const VIEWS = [...FLOWS, guideView(FLOWS)];
