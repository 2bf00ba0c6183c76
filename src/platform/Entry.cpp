// Process entry: the toolkit's macro provides main() or, on Windows, WinMain,
// which hands its four values to wxEntry.
#include "Main.h"

wxIMPLEMENT_APP(MyApp);
