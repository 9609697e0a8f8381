#include "linkmeter/cli/SiteLogic.h"

#include "linkmeter/cli/ScriptContext.h"

namespace linkmeter::cli {

SiteLogic::SiteLogic() : own_(std::make_unique<ScriptContext>()), context_(*own_) {}

SiteLogic::SiteLogic(std::string_view script) : own_(std::make_unique<ScriptContext>(script)), context_(*own_) {}

SiteLogic::SiteLogic(ScriptContext& context) : context_(context) {}

SiteLogic::~SiteLogic() = default;

bool SiteLogic::Ready() const { return context_.Ready(); }

const std::string& SiteLogic::LoadError() const { return context_.LoadError(); }

std::optional<lm::json::Value> SiteLogic::Call(std::string_view function, const lm::json::Array& args,
                                               std::string* error) {
  return context_.CallSite(function, args, error);
}

std::vector<std::string> SiteLogic::Functions() { return context_.SiteFunctions(); }

}  // namespace linkmeter::cli
