#pragma once
// The program's message boxes: the report of a failed start (naming the
// program, its version and the step that failed), the question on a close
// while pages owe an answer, and plain notices. Main thread, GTK started.

#include <gtk/gtk.h>

#include <string>

namespace linkmeter::shell {

// "<title> Ver.<version text>\n<detail>\n" followed by 40 spaces.
std::string StartupErrorText(const std::string& title, const std::string& versionText, const std::string& detail);

// Shows the text in a modal warning dialog (OK button) titled `title`; also
// writes it to standard error.
void ShowStartupError(const std::string& title, const std::string& text);

// The Yes/No warning titled "デバッグ情報"; true for Yes.
bool AskDebugQuestion(GtkWindow* parent, const std::string& text);

// An information box with an OK button.
void ShowNotice(GtkWindow* parent, const std::string& title, const std::string& text);

}  // namespace linkmeter::shell
