// main for test programs with the wizard's web engine: its schemes registered before the application,
// the window composition chosen as the booth chooses it.
#include "composition.h"
#include "resscheme.h"
#define PELMORA_WEB_MAIN
#include "qtmain.cpp"
