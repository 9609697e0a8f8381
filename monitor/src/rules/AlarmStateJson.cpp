// The rules' state as JSON in the site records, and back. What is read back
// is checked member by member; a state that does not read is dropped whole.
#include "lm/monitor/rules/AlarmState.h"

#include <stdexcept>

#include "lm/monitor/rules/TextList.h"

namespace lm::monitor {
namespace {

using lm::json::Array;
using lm::json::MakeObject;
using lm::json::Number;
using lm::json::Object;
using lm::json::Value;

constexpr int kStateVersion = 1;

struct BadState : std::runtime_error {
  BadState() : std::runtime_error("alarm state") {}
};

const Value& Need(const Value& v, const std::string& key) {
  if (!v.is<Object>() || !v.contains(key)) throw BadState();
  return v.get(key);
}

template <class T>
const T& Need(const Value& v, const std::string& key) {
  const Value& m = Need(v, key);
  if (!m.is<T>()) throw BadState();
  return m.get<T>();
}

int64_t NeedInt(const Value& v, const std::string& key) {
  const Value& m = Need(v, key);
  if (!lm::json::IsIntegral(m, -9.0e15, 9.0e15)) throw BadState();
  return static_cast<int64_t>(m.get<double>());
}

Value Samples(const std::deque<RoundSample>& samples) {
  Array list;
  for (const RoundSample& r : samples) {
    list.push_back(Value(Array{Number(r.at), lm::json::String(std::string(1, static_cast<char>(r.condition))), Value(r.value)}));
  }
  return Value(list);
}

std::deque<RoundSample> SamplesFrom(const Array& list) {
  std::deque<RoundSample> samples;
  for (const Value& item : list) {
    if (!item.is<Array>() || item.get<Array>().size() != 3) throw BadState();
    const Array& a = item.get<Array>();
    if (!lm::json::IsIntegral(a[0], 0, 9.0e15) || !a[1].is<std::string>() || !a[2].is<double>()) throw BadState();
    const std::string& c = a[1].get<std::string>();
    if (c != "b" && c != "g" && c != "o" && c != "u") throw BadState();
    samples.push_back({static_cast<int64_t>(a[0].get<double>()), static_cast<Condition>(c[0]), a[2].get<double>()});
  }
  return samples;
}

std::vector<std::string> TextsFrom(const Array& list) {
  std::vector<std::string> texts;
  for (const Value& v : list) {
    if (!v.is<std::string>()) throw BadState();
    texts.push_back(v.get<std::string>());
  }
  return texts;
}

Value SubjectJson(const SubjectState& s) {
  const std::deque<RoundSample> evidence(s.evidence.begin(), s.evidence.end());
  return MakeObject({{"rule", Value(s.rule)}, {"subject", Value(s.subject)}, {"unit", Value(s.unit)},
                     {"label", Value(s.label)}, {"history", Samples(s.history)}, {"firing", Value(s.firing)},
                     {"since", Number(s.since)}, {"endedAt", Number(s.endedAt)}, {"flapping", Value(s.flapping)},
                     {"announced", Value(s.announced)}, {"unreachable", TextList(s.unreachable)},
                     {"evidence", Samples(evidence)}});
}

SubjectState SubjectFrom(const Value& v) {
  SubjectState s;
  s.rule = Need<std::string>(v, "rule");
  s.subject = Need<std::string>(v, "subject");
  s.unit = Need<std::string>(v, "unit");
  s.label = Need<std::string>(v, "label");
  s.history = SamplesFrom(Need<Array>(v, "history"));
  s.firing = Need<bool>(v, "firing");
  s.since = NeedInt(v, "since");
  s.endedAt = NeedInt(v, "endedAt");
  s.flapping = Need<bool>(v, "flapping");
  s.announced = Need<std::string>(v, "announced");
  if (s.announced != "" && s.announced != "firing" && s.announced != "resolved") throw BadState();
  s.unreachable = TextsFrom(Need<Array>(v, "unreachable"));
  const std::deque<RoundSample> evidence = SamplesFrom(Need<Array>(v, "evidence"));
  s.evidence.assign(evidence.begin(), evidence.end());
  return s;
}

}  // namespace

Value StateToJson(const EngineState& state) {
  Object subjects, heard;
  for (const auto& [key, s] : state.subjects) subjects[key] = SubjectJson(s);
  for (const auto& [unit, at] : state.lastHeard) heard[unit] = Number(at);
  return MakeObject({{"version", Number(kStateVersion)}, {"subjects", Value(subjects)}, {"lastHeard", Value(heard)},
                     {"lastRoundAt", Number(state.lastRoundAt)}});
}

EngineState StateFromJson(const Value& json) {
  try {
    if (NeedInt(json, "version") != kStateVersion) return {};
    EngineState state;
    for (const auto& [key, v] : Need<Object>(json, "subjects")) state.subjects[key] = SubjectFrom(v);
    for (const auto& [unit, at] : Need<Object>(json, "lastHeard")) {
      if (!lm::json::IsIntegral(at, 0, 9.0e15)) return {};
      state.lastHeard[unit] = static_cast<int64_t>(at.get<double>());
    }
    state.lastRoundAt = NeedInt(json, "lastRoundAt");
    return state;
  } catch (const BadState&) {
    return {};
  }
}

}  // namespace lm::monitor
