// What the program knows about itself: the application title, which
// captions every message box, and the help file, both derived from the
// executable's own path as the kernel reports it (/proc/self/exe).
#pragma once

#include <string>

namespace vantrell {

// The file name without folder and without extension: "/opt/x/vantrell"
// gives "vantrell", "/opt/x/Vantrell.bin" gives "Vantrell". A leading dot
// starts a name, not an extension.
std::string TitleFromPath(const std::string& strPath);

// The full path with ".HLP" appended. A Linux executable has no extension
// to replace, and an appended one keeps "vantrell" and "vantrell.bin" apart.
std::string HelpFileFromPath(const std::string& strPath);

// The executable's full path; empty when the kernel does not say.
std::string ExecutablePath();

// Derived once, at the first call.
const std::string& AppTitle();
const std::string& AppHelpFile();

}  // namespace vantrell
