#pragma once
// The registration a survey, scan or radio download works from: read from
// the base unit (RSETF) as the page's site view reads it and kept in the
// site records, or taken from a file (--registration) for a base unit
// whose registration cannot be read that way.

#include <optional>
#include <string>

#include "lm/Json.h"

namespace linkmeter::cli {

class PageCalls;
class PageFlows;
class SiteLogic;
class UnitConnection;

// The regInfo a registration file holds, or nullopt with `error` set.
std::optional<lm::json::Value> ReadRegistrationFile(const std::string& path, std::string& error);

// The regInfo, or nullopt with `error` set. `file` is a JSON file holding
// a regInfo ({groups: […]}) or an answer carrying one ({regInfo: …}).
// A registration from a file is kept on the visit open in `flows` (the
// unit's own is kept by the page's recorder as it is read).
std::optional<lm::json::Value> SiteRegistration(PageCalls& page, const UnitConnection& unit, PageFlows& flows,
                                                const std::optional<std::string>& file, std::string& error);

// {group, kind, num} of the remote unit (or repeater, with `repeaters`)
// that `wanted` names in the registration: its serial in any form, its
// name or its label (PickUnit), with its serial in `serial` (may be null);
// nullopt with `error` saying why not, the candidates listed.
std::optional<lm::json::Value> TargetNamed(SiteLogic& logic, const lm::json::Value& regInfo, const std::string& wanted,
                                           bool repeaters, std::string& error, std::string* serial = nullptr);

}  // namespace linkmeter::cli
