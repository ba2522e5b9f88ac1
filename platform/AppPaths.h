// Where Kirvane keeps its files: kirvane.ini and folder.txt.
//
// Beside the executable when that folder is writable (the portable layout); otherwise
// $XDG_CONFIG_HOME/kirvane/ (~/.config/kirvane/). KIRVANE_CONFIG_DIR overrides both.
#pragma once

#include <string>

// The settings folder, with trailing "/", created when it does not exist yet.
std::string SettingsFolder();
std::string SettingsFilePath();       // <folder>kirvane.ini
std::string RecentFoldersFilePath();  // <folder>folder.txt
