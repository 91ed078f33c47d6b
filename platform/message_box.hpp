// Modal message boxes; texts are CP1251 bytes and are shown as UTF-8.
#pragma once

#include <functional>
#include <string>

enum class MessageBoxButtons { Ok, OkCancel };
enum class MessageBoxIcon { None, Error };

// Shows the box and waits for it to be closed. With no display the text goes to standard
// error and the call returns at once. Main thread only.
void showMessageBox(const char* textCp1251, const char* captionCp1251,
                    MessageBoxButtons buttons = MessageBoxButtons::Ok,
                    MessageBoxIcon icon = MessageBoxIcon::None);

// Tests capture boxes instead of showing them: while a capture is set, every box is handed
// to it (CP1251 text and caption, unchanged) and nothing is shown. Pass nullptr to stop.
using MessageBoxCapture = std::function<void(const std::string& text, const std::string& caption)>;
void setMessageBoxCapture(MessageBoxCapture capture);
