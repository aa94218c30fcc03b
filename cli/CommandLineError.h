#pragma once

#include <string_view>

// Every message a program gives on standard error has one form,
// "program: message", so that a script's log says who spoke. The name is set
// once, at the start of main.
void setProgramName(std::string_view name);
void reportError(std::string_view message);
