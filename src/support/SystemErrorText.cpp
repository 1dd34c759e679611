// The system texts of the error codes this program can meet, worded as Windows words them
// in the user's language.
#include <iterator>

#include "support/StringTable.h"
#include "support/VeskCatalog.h"
#include "support/VeskException.h"
#include "support/WinTypes.h"

namespace mailwright {
namespace {

struct SystemText {
    std::uint32_t code;
    const char* text;
};

// Every code the program can report: the registry and file layers' codes (LastError.cpp
// maps errno onto them), the process list's and the HRESULTs of the XML document.
constexpr SystemText kSystemTexts[] = {
    {2, TranslatableText("system error", "The system cannot find the file specified.")},
    {3, TranslatableText("system error", "The system cannot find the path specified.")},
    {4, TranslatableText("system error", "The system cannot open the file.")},
    {5, TranslatableText("system error", "Access is denied.")},
    {6, TranslatableText("system error", "The handle is invalid.")},
    {8, TranslatableText("system error",
        "Not enough memory resources are available to process this command.")},
    {13, TranslatableText("system error", "The data is invalid.")},
    {17, TranslatableText("system error", "The system cannot move the file to a different disk drive.")},
    {18, TranslatableText("system error", "There are no more files.")},
    {19, TranslatableText("system error", "The media is write protected.")},
    {29, TranslatableText("system error", "The system cannot write to the specified device.")},
    {30, TranslatableText("system error", "The system cannot read from the specified device.")},
    {31, TranslatableText("system error", "A device attached to the system is not functioning.")},
    {32, TranslatableText("system error",
        "The process cannot access the file because it is being used by another process.")},
    {33, TranslatableText("system error",
        "The process cannot access the file because another process has locked a portion of the file.")},
    {36, TranslatableText("system error", "Too many files opened for sharing.")},
    {50, TranslatableText("system error", "The request is not supported.")},
    {80, TranslatableText("system error", "The file exists.")},
    {87, TranslatableText("system error", "The parameter is incorrect.")},
    {109, TranslatableText("system error", "The pipe has been ended.")},
    {112, TranslatableText("system error", "There is not enough space on the disk.")},
    {120, TranslatableText("system error", "This function is not supported on this system.")},
    {145, TranslatableText("system error", "The directory is not empty.")},
    {161, TranslatableText("system error", "The specified path is invalid.")},
    {170, TranslatableText("system error", "The requested resource is in use.")},
    {183, TranslatableText("system error", "Cannot create a file when that file already exists.")},
    {206, TranslatableText("system error", "The filename or extension is too long.")},
    {223, TranslatableText("system error",
        "The file size exceeds the limit allowed and cannot be saved.")},
    {234, TranslatableText("system error", "More data is available.")},
    {259, TranslatableText("system error", "No more data is available.")},
    {267, TranslatableText("system error", "The directory name is invalid.")},
    {995, TranslatableText("system error",
        "The I/O operation has been aborted because of either a thread exit or an application "
        "request.")},
    {998, TranslatableText("system error", "Invalid access to memory location.")},
    {1009, TranslatableText("system error", "The configuration registry database is corrupt.")},
    {1010, TranslatableText("system error", "The configuration registry key is invalid.")},
    {1011, TranslatableText("system error", "The configuration registry key could not be opened.")},
    {1012, TranslatableText("system error", "The configuration registry key could not be read.")},
    {1013, TranslatableText("system error", "The configuration registry key could not be written.")},
    {1015, TranslatableText("system error",
        "The registry is corrupted. The structure of one of the files containing registry data is "
        "corrupted, or the system's memory image of the file is corrupted, or the file could not be "
        "recovered because the alternate copy or log was absent or corrupted.")},
    {1016, TranslatableText("system error",
        "An I/O operation initiated by the registry failed unrecoverably. The registry could not read "
        "in, or write out, or flush, one of the files that contain the system's image of the "
        "registry.")},
    {1018, TranslatableText("system error",
        "Illegal operation attempted on a registry key that has been marked for deletion.")},
    {1117, TranslatableText("system error",
        "The request could not be performed because of an I/O device error.")},
    {1142, TranslatableText("system error",
        "An attempt was made to create more links on a file than the file system supports.")},
    {1921, TranslatableText("system error", "The name of the file cannot be resolved by the system.")},
    {0x80004001, TranslatableText("system error", "Not implemented")},
    {0x80004002, TranslatableText("system error", "No such interface supported")},
    {0x80004005, TranslatableText("system error", "Unspecified error")},
    {0x80070005, TranslatableText("system error", "Access is denied.")},
    {0x8007000E, TranslatableText("system error",
        "Not enough memory resources are available to complete this operation.")},
    {0x80070057, TranslatableText("system error", "The parameter is incorrect.")},
};

struct OwnText {
    std::uint32_t code;
    StringId text;
};

// The program's own codes, worded by the program.
constexpr OwnText kOwnTexts[] = {
    {ERROR_MW_NOT_REGULAR_FILE, IDS_ERR_NOT_REGULAR_FILE},
    {ERROR_MW_HARD_LINKS, IDS_ERR_HARD_LINKS},
    {ERROR_MW_PREFIX_BUSY, IDS_ERR_PREFIX_BUSY},
};

}  // namespace

std::string GetSystemErrorText(std::uint32_t code) {
    if (code == 0) return {};
    for (const OwnText& entry : kOwnTexts)
        if (entry.code == code) return LoadString(entry.text) + "\r\n";
    for (const SystemText& entry : kSystemTexts)
        // Windows ends each system text with a line break.
        if (entry.code == code) return VeskCatalog::Translate("system error", entry.text) + "\r\n";
    return {};
}

}  // namespace mailwright
