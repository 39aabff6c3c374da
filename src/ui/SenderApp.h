// CSenderApp: starts the program by running the main dialog modally once;
// closing the dialog, in whatever way, ends the program.
//
// The application reads no arguments, settings or environment and writes
// nothing: main() hands wx no arguments at all, so neither wx nor GTK
// parses them, and GTK is told to keep no recent-files list.
#pragma once

#include <wx/app.h>

namespace vantrell {

class CSenderApp : public wxApp {
public:
    CSenderApp();
    ~CSenderApp() override;

    // Runs the main dialog; returns false so wx ends without a main loop.
    bool OnInit() override;
    // The exception report has run inside every handler; an exception that
    // still reaches the loop is reported the same way and the program goes on.
    bool OnExceptionInMainLoop() override;
};

}  // namespace vantrell
