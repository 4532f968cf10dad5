// Running the settings dialogs for a project window: fill the dialog from
// the project, run it until OK passes its checks or Cancel ends it, then hand
// the new values to the windows. The project windows' menus call these.
#pragma once

class QMenu;
class TEditAnceForm;

// Merge group of the "&Settings" menu in the main window's menu bar.
inline constexpr int kSettingsMenuGroup = 7;

// "&Settings" / "&Enviroment". True when the dialog ended with OK.
bool RunEnviromentSettings(TEditAnceForm& project);
// "&Settings" / "&Morph && Warp", and the first step of "&Morphing". True
// when the dialog ended with OK.
bool RunMorphSettings(TEditAnceForm& project);

// The "&Settings" menu of a project window: "&Enviroment" (Ctrl+E) and
// "&Morph && Warp" (Ctrl+M). The project owns it.
QMenu* CreateSettingsMenu(TEditAnceForm& project);
