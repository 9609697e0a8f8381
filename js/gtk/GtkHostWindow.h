#pragma once
// HostWindow over one GtkWindow. Main thread only.

#include <gtk/gtk.h>

#include "sorrel/js/HostUi.h"

namespace Sorrel::Js::gtk {

class GtkHostWindow : public HostWindow {
 public:
  explicit GtkHostWindow(GtkWindow* window) : window_(window) {}

  void SetClientSize(std::optional<int32_t> width, std::optional<int32_t> height) override;
  void SetPosition(std::optional<int32_t> x, std::optional<int32_t> y) override;
  void MoveBy(int32_t dx, int32_t dy) override;
  void SetTitle(const std::string& title) override;
  void Center(bool overDesktop) override;
  void PostClose() override;

  GtkWindow* Window() const { return window_; }

 private:
  GtkWindow* window_;
};

}  // namespace Sorrel::Js::gtk
