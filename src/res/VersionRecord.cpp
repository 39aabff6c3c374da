// The executable's version record, where Linux tools can read it:
//
//   readelf -p .vantrell.version vantrell
//
// lists one entry per line, "Name=value", in the order a file-properties
// page shows them. Nothing in the program reads the record; the `used`
// attribute keeps the linker from dropping it for that reason.
#include "ProjectInfo.h"

namespace vantrell {

__attribute__((section(".vantrell.version"), used)) constexpr auto kVersionRecord = Concat(
    "FileVersionNumber=", kVersionNumbers, "\0",
    "ProductVersionNumber=", kVersionNumbers, "\0",
    "FileFlags=none", "\0",
    "FileType=application", "\0",
    "StringFileInfo=040904B0", "\0",
    "CompanyName=", kCompanyName, "\0",
    "FileDescription=", kFileDescription, "\0",
    "FileVersion=", kFileVersion, "\0",
    "InternalName=", kInternalName, "\0",
    "LegalCopyright=", kLegalCopyright, "\0",
    "LegalTrademarks=", kLegalTrademarks, "\0",
    "OriginalFilename=", kOriginalFilename, "\0",
    "ProductName=", kProductNameRecord, "\0",
    "ProductVersion=", kProductVersion, "\0",
    "Translation=0409 04B0");

}  // namespace vantrell
