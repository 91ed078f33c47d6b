// STUB: replaced by the settings file.
#include "app/settings.hpp"

char settingsBuffer[9] = "00000000";
void loadSettings() {}
void saveSettings() {}
