// The system texts of the error codes this program can meet, worded as Windows words them.
#include <iterator>

#include "support/StringTable.h"
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
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {4, "The system cannot open the file.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {13, "The data is invalid.\r\n"},
    {17, "The system cannot move the file to a different disk drive.\r\n"},
    {18, "There are no more files.\r\n"},
    {19, "The media is write protected.\r\n"},
    {29, "The system cannot write to the specified device.\r\n"},
    {30, "The system cannot read from the specified device.\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {33, "The process cannot access the file because another process has locked a portion of the file.\r\n"},
    {36, "Too many files opened for sharing.\r\n"},
    {50, "The request is not supported.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {109, "The pipe has been ended.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {120, "This function is not supported on this system.\r\n"},
    {145, "The directory is not empty.\r\n"},
    {161, "The specified path is invalid.\r\n"},
    {170, "The requested resource is in use.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {206, "The filename or extension is too long.\r\n"},
    {223, "The file size exceeds the limit allowed and cannot be saved.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
    {267, "The directory name is invalid.\r\n"},
    {995, "The I/O operation has been aborted because of either a thread exit or an application request.\r\n"},
    {998, "Invalid access to memory location.\r\n"},
    {1009, "The configuration registry database is corrupt.\r\n"},
    {1010, "The configuration registry key is invalid.\r\n"},
    {1011, "The configuration registry key could not be opened.\r\n"},
    {1012, "The configuration registry key could not be read.\r\n"},
    {1013, "The configuration registry key could not be written.\r\n"},
    {1015, "The registry is corrupted. The structure of one of the files containing registry data is "
           "corrupted, or the system's memory image of the file is corrupted, or the file could not be "
           "recovered because the alternate copy or log was absent or corrupted.\r\n"},
    {1016, "An I/O operation initiated by the registry failed unrecoverably. The registry could not read "
           "in, or write out, or flush, one of the files that contain the system's image of the "
           "registry.\r\n"},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {1117, "The request could not be performed because of an I/O device error.\r\n"},
    {1142, "An attempt was made to create more links on a file than the file system supports.\r\n"},
    {1921, "The name of the file cannot be resolved by the system.\r\n"},
    {0x80004001, "Not implemented\r\n"},
    {0x80004002, "No such interface supported\r\n"},
    {0x80004005, "Unspecified error\r\n"},
    {0x80070005, "Access is denied.\r\n"},
    {0x8007000E, "Not enough memory resources are available to complete this operation.\r\n"},
    {0x80070057, "The parameter is incorrect.\r\n"},
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
        if (entry.code == code) return entry.text;
    return {};
}

}  // namespace mailwright
