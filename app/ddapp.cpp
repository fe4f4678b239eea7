#include "app/ddapp.h"

DDApp* theApp = nullptr;

DDApp::DDApp(const char* name) : appName(name) { theApp = this; }
