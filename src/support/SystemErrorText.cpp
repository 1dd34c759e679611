// The system texts of the error codes this program can meet, worded as Windows words them.
#include <iterator>

#include "support/VeskException.h"

namespace mailwright {
namespace {

struct SystemText {
    std::uint32_t code;
    const char* text;
};

constexpr SystemText kSystemTexts[] = {
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough memory resources are available to process this command.\r\n"},
    {13, "The data is invalid.\r\n"},
    {29, "The system cannot write to the specified device.\r\n"},
    {30, "The system cannot read from the specified device.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {80, "The file exists.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {112, "There is not enough space on the disk.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {234, "More data is available.\r\n"},
    {259, "No more data is available.\r\n"},
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
    {0x80004001, "Not implemented\r\n"},
    {0x80004002, "No such interface supported\r\n"},
    {0x80004005, "Unspecified error\r\n"},
    {0x80070005, "Access is denied.\r\n"},
    {0x8007000E, "Not enough memory resources are available to complete this operation.\r\n"},
    {0x80070057, "The parameter is incorrect.\r\n"},
};

}  // namespace

std::string GetSystemErrorText(std::uint32_t code) {
    if (code == 0) return {};
    for (const SystemText& entry : kSystemTexts)
        if (entry.code == code) return entry.text;
    return {};
}

}  // namespace mailwright
