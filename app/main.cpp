// The launcher's one application object.
#include "app/vorlan_app.h"

CVorlanClientApp theApp;
