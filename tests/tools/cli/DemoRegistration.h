#pragma once
// The demo site's registration of one base unit, for tests of the site
// logic: a site file's groups carry the fields a registration gives a route
// (num, parent, serial, name, freq, band). Null for a name it lacks.

#include <fstream>
#include <sstream>
#include <string>

#include "lm/Json.h"

inline lm::json::Value DemoRegistration(const std::string& baseName) {
  std::ifstream in(LM_DEMO_SITE);
  std::stringstream text;
  text << in.rdbuf();
  std::optional<lm::json::Value> site = lm::json::Parse(text.str());
  if (!site) return lm::json::Value();
  for (const lm::json::Value& base : site->get("baseUnits").get<lm::json::Array>()) {
    if (base.get("name").to_str() == baseName) return lm::json::MakeObject({{"groups", base.get("groups")}});
  }
  return lm::json::Value();
}
