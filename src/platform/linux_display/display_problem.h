// What the display layer could not do last, for DisplayServices::displayProblem.
#pragma once

#include <string>

void setDisplayProblem(const std::string& problem);
const char* linuxDisplayProblem();
