// A second yardstick: the main dialog's twelve controls and font, made
// with plain wx calls at fixed pixel places, without Vantrell's dialog
// layer. Against it the benchmark shows what the layer itself costs.
#include <wx/app.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

class PlainApp : public wxApp {
public:
    bool OnInit() override {
        wxDialog dialog(nullptr, wxID_ANY, "Plain dialog");
        dialog.SetFont(wxFontInfo(8).FaceName("MS Sans Serif"));
        dialog.SetClientSize(466, 237);
        new wxButton(&dialog, 1000, "Send ", wxPoint(25, 122), wxSize(107, 23));
        new wxTextCtrl(&dialog, 1001, "", wxPoint(152, 59), wxSize(278, 23), wxTE_READONLY);
        new wxButton(&dialog, 1002, "Load", wxPoint(25, 88), wxSize(109, 23));
        new wxStaticText(&dialog, wxID_ANY, "Sea Talk Status :", wxPoint(35, 24), wxSize(91, 13));
        new wxTextCtrl(&dialog, 1003, "Close -> Please, select SEATLAK  com PORT ", wxPoint(152, 21), wxSize(278, 23),
                       wxTE_READONLY);
        new wxButton(&dialog, 1004, "Com1", wxPoint(212, 148), wxSize(88, 23));
        new wxButton(&dialog, 1005, "Com2", wxPoint(324, 148), wxSize(88, 23));
        new wxStaticBox(&dialog, wxID_ANY, "Sea Talk Ports", wxPoint(180, 124), wxSize(257, 65));
        new wxStaticText(&dialog, wxID_ANY, "The Vantrell Project, vantrell-dev@example.org", wxPoint(58, 213),
                         wxSize(350, 13));
        new wxStaticBox(&dialog, wxID_ANY, "SeaTalk Command", wxPoint(12, 60), wxSize(137, 132));
        new wxButton(&dialog, 1007, "Send N times", wxPoint(23, 154), wxSize(79, 23));
        new wxTextCtrl(&dialog, 1008, "5", wxPoint(108, 154), wxSize(19, 23));
        dialog.CentreOnScreen();
        dialog.ShowModal();
        return false;
    }
};

wxIMPLEMENT_APP(PlainApp);
