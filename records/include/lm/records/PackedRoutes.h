#pragma once
// A survey's routes as SQL over `surveys su`: a packed survey keeps its list
// of routes once in route_lists, by digest, and an empty routes_json.
#define LM_SURVEY_ROUTES                                                                                     \
  "coalesce((SELECT rl.routes_json FROM packed_surveys ps JOIN route_lists rl ON rl.sha256 = ps.routes_sha256 " \
  "WHERE ps.survey_id = su.id), su.routes_json)"
