// RSETF and WSETF: the registration image moved in blocks. RSETF reads the
// stored image from OFFSET; WSETF writes blocks into it. A write framed by
// SAVE frames (SAVE=0 first, SAVE=n last) is collected apart and stored only
// by the last SAVE, and only when it forms a whole image; blocks written
// without SAVE frames change the stored image at once.

#include <cstdlib>

#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/Registration.h"

namespace linkmeter::sim {
namespace {

constexpr std::size_t kMaxBlock = 4096;

Answer ReadRegistration(Exchange& x) {
  const std::string& image = x.unit.registration;
  long long offset = x.Number("OFFSET", 0);
  long long size = x.Number("SIZE", 1024);
  if (offset < 0 || size <= 0 || size > static_cast<long long>(kMaxBlock)) return WithStatus(status::kBadRequest);
  Answer answer;
  if (static_cast<std::size_t>(offset) >= image.size()) {
    answer = WithStatus(status::kNoMoreData);
    answer["DATA"] = "";
  } else {
    answer = WithStatus(status::kSettingsOk);
    answer["DATA"] = image.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
  }
  answer["SAVE"] = x.unit.registration == x.unit.savedRegistration ? "1" : "0";
  answer["VER"] = std::to_string(x.unit.registrationVersion);
  return answer;
}

// Writes a block at `offset` into `image`; false when it would leave a gap.
bool Patch(std::string& image, std::size_t offset, const std::string& data) {
  if (offset > image.size()) return false;
  if (offset == 0) image.clear();  // a write from the start replaces the image
  if (image.size() < offset + data.size()) image.resize(offset + data.size(), '\0');
  image.replace(offset, data.size(), data);
  return true;
}

Answer Save(Exchange& x, long long save) {
  std::optional<std::string>& pending = x.conversation.registrationWrite;
  if (save == 0) {
    pending.emplace();
    return WithStatus(status::kSettingsOk);
  }
  if (!pending) return WithStatus(status::kBadRequest);
  std::string image = std::move(*pending);
  pending.reset();
  if (!IsCompleteRegistration(image)) return WithStatus(status::kRegistrationBad);
  x.unit.registration = image;
  x.unit.savedRegistration = image;
  ++x.unit.registrationVersion;
  x.unit.AddLog(3, "Registration changed", x.now);
  return WithStatus(status::kSettingsOk);
}

Answer WriteRegistration(Exchange& x) {
  if (x.Has("SAVE") && !x.Has("DATA")) return Save(x, x.Number("SAVE"));
  std::string data = x.Text("DATA");
  long long offset = x.Number("OFFSET", 0);
  if (!x.Has("DATA") || offset < 0 || data.size() > kMaxBlock) return WithStatus(status::kBadRequest);
  std::optional<std::string>& pending = x.conversation.registrationWrite;
  std::string& image = pending ? *pending : x.unit.registration;
  if (!Patch(image, static_cast<std::size_t>(offset), data)) return WithStatus(status::kBadRequest);
  return WithStatus(status::kSettingsOk);
}

}  // namespace

void AddRegistrationCommands(CommandTable& table) {
  table.Add("RSETF", ReadRegistration);
  table.Add("WSETF", WriteRegistration);
}

}  // namespace linkmeter::sim
