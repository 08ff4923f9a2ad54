// A library to put in place of one of the product's DLLs (KWSHEXT.DLL, its
// shell extension) where a test needs a program to have it loaded: a real
// DLL, which LoadLibraryA maps as the shell maps the extension.  It does
// nothing.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
