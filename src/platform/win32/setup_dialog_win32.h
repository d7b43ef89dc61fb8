// The setup dialog on Windows: the dialog template 106 of the executable's resources.
#pragma once

#include "platform/display.h"

// Control ids of the template, as the resource script numbers them.
constexpr int32_t kDialogTemplateId = 106;
constexpr int32_t kFullscreenBoxId = 1008;
constexpr int32_t kResolutionListId = 1012;

// Runs the modal dialog over the view; kSetupRun or kSetupQuit, -1 when it cannot be shown
// (a module without the template, for one).
int32_t win32ShowSetupDialog(SetupDialogView* view);
