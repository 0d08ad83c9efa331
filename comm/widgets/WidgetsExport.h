// Symbols of the control's widget library that hosts use.
#pragma once

#define FERIXCOMMWIDGETS_API __attribute__((visibility("default")))
