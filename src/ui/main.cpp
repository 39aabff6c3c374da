// vantrell: the program starts the application and does nothing else.
//
// Arguments are accepted and ignored: wx and GTK get the program's name
// only, so no option of theirs can change how the program starts. GSettings
// is kept in memory so the file chooser's preferences are not stored.
#include <cstdlib>

#include <wx/app.h>

#include "SenderApp.h"

wxIMPLEMENT_APP_NO_MAIN(vantrell::CSenderApp);

int main(int argc, char** argv) {
    static_cast<void>(argc);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    char* programOnly[] = {argv[0], nullptr};
    int nArgs = 1;
    wxEntry(nArgs, programOnly);
    return 0;
}
