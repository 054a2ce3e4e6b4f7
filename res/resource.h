// Resource ids shared by the resource script and the code.
#define IDR_MAINFRAME 7
