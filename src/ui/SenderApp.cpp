#include "SenderApp.h"

#include <dlfcn.h>

#include <cstring>
#include <exception>

#include "ExceptionReport.h"
#include "SenderDialog.h"
#include "TemplateDialog.h"
#include "UiServices.h"

namespace vantrell {
namespace {

// The GTK file chooser records every confirmed file in the user's recent
// files, which would be a file this program writes. GTK is already loaded
// by wx, so the setting is reached through the loaded library.
void KeepNoRecentFiles() {
    using GetSettingsFn = void* (*)();
    using SetPropertyFn = void (*)(void*, const char*, ...);
    void* pGet = dlsym(RTLD_DEFAULT, "gtk_settings_get_default");
    void* pSet = dlsym(RTLD_DEFAULT, "g_object_set");
    if (pGet == nullptr || pSet == nullptr) return;
    GetSettingsFn getSettings = nullptr;
    SetPropertyFn setProperty = nullptr;
    std::memcpy(&getSettings, &pGet, sizeof(pGet));
    std::memcpy(&setProperty, &pSet, sizeof(pSet));
    if (void* pSettings = getSettings()) setProperty(pSettings, "gtk-recent-files-enabled", 0, nullptr);
}

}  // namespace

CSenderApp::CSenderApp() = default;
CSenderApp::~CSenderApp() = default;

bool CSenderApp::OnInit() {
    KeepNoRecentFiles();
    CSenderDialog dialog(RealServices());
    SetTopWindow(&dialog);
    dialog.DoModal();
    return false;
}

bool CSenderApp::OnExceptionInMainLoop() {
    ReportException(std::current_exception(), CommandOrigin::Other, *RealServices().pMessages,
                    TemplateDialog::ActiveDialog());
    return true;
}

}  // namespace vantrell
