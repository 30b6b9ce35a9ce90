// The program's one application object.
#include "app/velkaro_app.h"

CVelkaroApp theApp;
