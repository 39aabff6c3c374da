// The yardstick: the least a wx program can do to show a dialog of the
// main dialog's size. Vantrell's start-up is measured against it.
#include <wx/app.h>
#include <wx/dialog.h>

class BareApp : public wxApp {
public:
    bool OnInit() override {
        wxDialog dialog(nullptr, wxID_ANY, "Bare dialog");
        dialog.SetClientSize(466, 237);
        dialog.CentreOnScreen();
        dialog.ShowModal();
        return false;
    }
};

wxIMPLEMENT_APP(BareApp);
