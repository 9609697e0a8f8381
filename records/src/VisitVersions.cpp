#include "lm/records/VisitVersions.h"

#include <algorithm>
#include <set>
#include <functional>

#include "lm/records/ContentId.h"
#include "lm/records/Database.h"
#include "lm/records/StoreResult.h"
#include "lm/records/Transaction.h"
#include "lm/Text.h"

namespace lm::records {
namespace {

VisitRow BaseRow(Database& db, RowId visit) {
  auto st = db.Prepare(
      "SELECT v.content_id, v.started_at, v.technician, v.customer, v.notes FROM visits v WHERE v.id = ?");
  st.BindAll(visit);
  if (!st.Step()) {
    throw StoreFailure{{StoreErrorCode::kNotFound, "no visit " + std::to_string(visit) + " in the site records"}};
  }
  VisitRow row;
  row.id = visit;
  row.contentId = st.Text(0);
  row.info = {st.Int(1), st.Text(2), st.Text(3), st.Text(4)};
  return row;
}

bool SameFields(const VisitVersion& v, const VisitInfo& f) {
  return v.technician == f.technician && v.customer == f.customer && v.notes == f.notes;
}

}  // namespace

std::string JoinIds(const std::vector<std::string>& ids) {
  std::string out;
  for (size_t i = 0; i < ids.size(); ++i) out += (i == 0 ? "" : " ") + ids[i];
  return out;
}

std::vector<std::string> SplitIds(const std::string& text) {
  std::vector<std::string> out;
  if (text.empty()) return out;
  size_t from = 0;
  for (size_t space = text.find(' '); space != std::string::npos; space = text.find(' ', from)) {
    out.push_back(text.substr(from, space - from));
    from = space + 1;
  }
  out.push_back(text.substr(from));
  return out;
}

bool CanonicalIds(const std::vector<std::string>& ids) {
  const auto hexId = [](const std::string& id) {
    return id.size() == 64 &&
           std::all_of(id.begin(), id.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
  };
  if (ids.empty() || !std::all_of(ids.begin(), ids.end(), hexId)) return false;
  return std::adjacent_find(ids.begin(), ids.end(), std::greater_equal<>()) == ids.end();
}

bool StorableText(std::string_view text) {
  return text.find('\0') == std::string_view::npos && lm::text::IsValidUtf8(text);
}

std::vector<VisitVersion> CurrentVersions(const std::vector<VisitVersion>& all) {
  std::set<std::string> replaced;
  for (const auto& v : all) replaced.insert(v.replaces.begin(), v.replaces.end());
  std::vector<VisitVersion> current;
  for (const auto& v : all) {
    if (!replaced.count(v.contentId)) current.push_back(v);
  }
  std::sort(current.begin(), current.end(), [](const auto& a, const auto& b) { return a.contentId < b.contentId; });
  return current;
}

std::vector<VisitVersion> VisitVersions::All(const VisitRow& row) {
  std::vector<VisitVersion> all{{row.contentId, {}, row.info.startedAt, row.info.technician, row.info.customer,
                                 row.info.notes}};
  auto st = db_.Prepare(
      "SELECT content_id, replaces, made_at, technician, customer, notes FROM visit_versions WHERE visit_id = ?");
  st.BindAll(row.id);
  while (st.Step()) all.push_back({st.Text(0), SplitIds(st.Text(1)), st.Int(2), st.Text(3), st.Text(4), st.Text(5)});
  return all;
}

void VisitVersions::Apply(VisitRow& row) {
  const auto current = CurrentVersions(All(row));
  if (current.empty()) return;  // only a cycle of forged versions could do this; the visit's own fields stand
  const VisitVersion& first = current.front();
  row.info.technician = first.technician;
  row.info.customer = first.customer;
  row.info.notes = first.notes;
  row.versionId = first.contentId;
  row.competing.clear();
  if (current.size() > 1) row.competing = current;
}

void VisitVersions::Add(RowId visit, const VisitInfo& fields, Millis madeAt, std::vector<std::string> replaces) {
  Transaction tx(db_);
  const VisitRow base = BaseRow(db_, visit);
  const auto current = CurrentVersions(All(base));
  if (replaces.empty()) {
    if (current.size() == 1 && SameFields(current.front(), fields)) return;
    for (const auto& v : current) replaces.push_back(v.contentId);
  }
  std::sort(replaces.begin(), replaces.end());
  replaces.erase(std::unique(replaces.begin(), replaces.end()), replaces.end());
  for (const auto& id : replaces) {
    const bool known = std::any_of(current.begin(), current.end(), [&](const auto& v) { return v.contentId == id; });
    if (!known) throw StoreFailure{{StoreErrorCode::kInvalid, "version " + id + " is no current version of the visit"}};
  }
  const VisitVersion version{"", replaces, madeAt, fields.technician, fields.customer, fields.notes};
  const std::string contentId = VisitVersionContentId(base.contentId, version);
  db_.Prepare(
         "INSERT INTO visit_versions(content_id, visit_id, replaces, made_at, technician, customer, notes) "
         "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT(content_id) DO NOTHING")
      .BindAll(contentId, visit, JoinIds(replaces), madeAt, fields.technician, fields.customer, fields.notes)
      .Run();
  tx.Commit();
}

}  // namespace lm::records
