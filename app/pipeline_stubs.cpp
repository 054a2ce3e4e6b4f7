// Pipeline steps that are not built yet: each does nothing visible.
#include "app/vorlan_app.h"

void CVorlanClientApp::CheckPlatformConfig() {}
void CVorlanClientApp::QueryMinVersion() {}
void CVorlanClientApp::OpenGameWindow(CString, CString) {}
void CVorlanClientApp::OnDownloadTimer() {}
void CVorlanClientApp::CheckUnityOutputLog() {}
void CVorlanClientApp::PollUnityCommandFile() {}
int CVorlanClientApp::ActivateGameWindow() { return 0; }
int CVorlanClientApp::IsExitAllowed() { return 1; }
