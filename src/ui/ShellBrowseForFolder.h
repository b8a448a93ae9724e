#pragma once

#include <string>

class QWidget;

// The desktop's folder picker with `title`, starting at `initialFolder`. True and the chosen
// folder (raw bytes) when the user confirmed one; false when cancelled.
bool BrowseForFolder(QWidget *owner, const std::string &title, const std::string &initialFolder, std::string &path);
