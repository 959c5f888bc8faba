#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Ui.h"

namespace linuxport {

// Save and open dialogs through GtkFileChooserNative (the desktop's portal when there is one,
// GTK's own dialog otherwise). Each runs without blocking; done is called once, on the main
// context, when the user answers.
namespace GtkFileDialogs {

void chooseSavePath(const platform::FileDialog& dialog,
                    std::function<void(std::optional<std::string>)> done);
// Folders are chosen instead of files only when folders may be chosen and no file pattern or
// type asks for files.
void chooseOpenPaths(const platform::FileDialog& dialog,
                     std::function<void(std::vector<std::string>)> done);

}  // namespace GtkFileDialogs

}  // namespace linuxport
