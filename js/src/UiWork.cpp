#include "sorrel/js/UiWork.h"

namespace Sorrel::Js {

bool CallOnUi(HostUi& ui, const std::function<void()>& work) {
  std::exception_ptr error;
  const bool ran = ui.Call([&] {
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
  });
  if (error) std::rethrow_exception(error);
  return ran;
}

}  // namespace Sorrel::Js
