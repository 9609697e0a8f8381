#include "linkmeter/cli/SiteLogic.h"

#include "JscSupport.h"
#include "SiteLogicBundle.h"

#include <jsc/jsc.h>

#include <algorithm>
#include <set>
#include <utility>

namespace linkmeter::cli {

namespace {

using jsc::GRef;
using jsc::GText;
using jsc::TakeException;

// The global the bundle sets (build.mjs globalName).
constexpr const char* kGlobal = "LinkmeterSite";
constexpr const char* kSourceUri = "linkmeter:sitelogic.js";

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

}  // namespace

struct SiteLogic::Context {
  GRef<JSCContext> context;
  GRef<JSCValue> site;  // the LinkmeterSite object
  std::set<std::string, std::less<>> functions;
};

SiteLogic::SiteLogic() : SiteLogic(lm::embedded::SiteLogicBundle()) {}

SiteLogic::SiteLogic(std::string_view bundle) : owner_(std::this_thread::get_id()) {
  auto ctx = std::make_unique<Context>();
  ctx->context.reset(jsc_context_new());
  GRef<JSCValue> done(jsc_context_evaluate_with_source_uri(ctx->context.get(), bundle.data(),
                                                            static_cast<gssize>(bundle.size()), kSourceUri, 1));
  if (std::string thrown = TakeException(ctx->context.get()); !thrown.empty()) {
    loadError_ = "the site logic did not load: " + thrown;
    return;
  }
  ctx->site.reset(jsc_context_get_value(ctx->context.get(), kGlobal));
  if (!ctx->site || !jsc_value_is_object(ctx->site.get())) {
    loadError_ = std::string("the site logic did not load: no ") + kGlobal;
    return;
  }
  gchar** names = jsc_value_object_enumerate_properties(ctx->site.get());
  for (gchar** n = names; n && *n; ++n) {
    GRef<JSCValue> member(jsc_value_object_get_property(ctx->site.get(), *n));
    if (member && jsc_value_is_function(member.get())) ctx->functions.emplace(*n);
  }
  g_strfreev(names);
  context_ = std::move(ctx);
}

SiteLogic::~SiteLogic() = default;

std::vector<std::string> SiteLogic::Functions() {
  if (!context_) return {};
  return {context_->functions.begin(), context_->functions.end()};
}

std::optional<lm::json::Value> SiteLogic::Call(std::string_view function, const lm::json::Array& args,
                                               std::string* error) {
  if (std::this_thread::get_id() != owner_) {
    SetError(error, "the site logic was called from a thread other than its own");
    return std::nullopt;
  }
  if (!context_) {
    SetError(error, loadError_);
    return std::nullopt;
  }
  if (context_->functions.find(function) == context_->functions.end()) {
    SetError(error, "no site-logic function " + std::string(function));
    return std::nullopt;
  }
  JSCContext* ctx = context_->context.get();
  const std::string name(function);
  GRef<JSCValue> fn(jsc_value_object_get_property(context_->site.get(), name.c_str()));

  std::vector<GRef<JSCValue>> held;
  std::vector<JSCValue*> params;
  for (const lm::json::Value& arg : args) {
    held.emplace_back(jsc_value_new_from_json(ctx, lm::json::ToText(arg).c_str()));
    params.push_back(held.back().get());
  }
  GRef<JSCValue> answer(jsc_value_function_callv(fn.get(), static_cast<guint>(params.size()), params.data()));
  if (std::string thrown = TakeException(ctx); !thrown.empty()) {
    SetError(error, thrown);
    return std::nullopt;
  }
  if (!answer || jsc_value_is_undefined(answer.get())) return lm::json::Value();
  GText text(jsc_value_to_json(answer.get(), 0));
  std::string thrown = TakeException(ctx);
  std::optional<lm::json::Value> parsed = text ? lm::json::Parse(text.get()) : std::nullopt;
  if (!parsed) {
    SetError(error, name + " gave an answer that is not JSON" + (thrown.empty() ? "" : ": " + thrown));
    return std::nullopt;
  }
  return parsed;
}

}  // namespace linkmeter::cli
