#include "app/ddapp.h"

DDApp* theApp = nullptr;
uint32_t fps = 0;

DDApp::DDApp(const char* name) : appName(name) { theApp = this; }
