#pragma once
// The page-process side of the host's UI requests over the WebKitGTK
// extension: each goes as a query of the calling document, unanswered.

namespace Sorrel::Js::webext {

// Called once by the extension module after the bridge has started.
void InstallPageUiRequests();

}  // namespace Sorrel::Js::webext
