// The setup dialog's view in GTK 3.
#pragma once

#include "platform/display.h"

// The modal dialog of DisplayServices::showSetupDialog; -1 when GTK cannot reach the display.
int32_t gtkShowSetupDialog(SetupDialogView* view);
