// The launcher's version; its FileVersion text is what the launcher reports as its version.
#define LAUNCHER_VERSION_COMMA 1, 0, 0, 1
#define LAUNCHER_VERSION_TEXT "1.0.0.1"
