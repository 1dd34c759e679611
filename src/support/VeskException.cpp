#include "support/VeskException.h"

#include "support/IUserInterface.h"
#include "support/TextUtil.h"
#include "support/VeskCatalog.h"
#include "support/VeskFsPathT.h"
#include "support/VeskMemoryArchive.h"
#include "support/WinTypes.h"

namespace mailwright::Error {
namespace {

std::string FileNameOnly(const std::string& file) { return VeskFsPath(file).GetFileName().Str(); }

}  // namespace

VeskException::VeskException(TextOrId file, TextOrId function, std::int32_t line)
    : m_file(FileNameOnly(file.Str())), m_function(function.Str()), m_line(line) {}

VeskException::VeskException(TextOrId file, std::int32_t line) : m_file(FileNameOnly(file.Str())), m_line(line) {}

void VeskException::Save(VeskMemoryArchive& archive) const {
    archive.WriteStringItem(m_file);
    archive.WriteStringItem(m_function);
    archive.WriteValueItem(m_line);
}

void VeskException::Restore(VeskMemoryArchive& archive) {
    archive.ReadStringItem(m_file);
    archive.ReadStringItem(m_function);
    archive.ReadValueItem(m_line);
}

int VeskException::ReportError() const {
    std::string message = Trim(GetMessageText());
    if (message.empty()) {
        // The translation keeps the English text's placeholders, or it is not used.
        const std::string format = VeskCatalog::Translate("error box", "Unknown error occured\nFile: %s, Line: %d");
        message = Format(format.c_str(), m_file.c_str(), m_line);
    }
    return UserInterface().ErrorBox(message, VeskCatalog::Translate("error box", "Error"),
                                    MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

VeskExceptionText::VeskExceptionText(TextOrId text, TextOrId file, TextOrId function, std::int32_t line)
    : VeskException(std::move(file), std::move(function), line), m_text(text.Str()) {}

VeskExceptionText::VeskExceptionText(TextOrId text) : m_text(text.Str()) {}

void VeskExceptionText::Save(VeskMemoryArchive& archive) const {
    VeskException::Save(archive);
    archive.WriteStringItem(m_text);
}

void VeskExceptionText::Restore(VeskMemoryArchive& archive) {
    VeskException::Restore(archive);
    archive.ReadStringItem(m_text);
}

VeskExceptionCommon::VeskExceptionCommon(std::uint32_t code, TextOrId text, TextOrId file, TextOrId function,
                                         std::int32_t line)
    : VeskException(std::move(file), std::move(function), line), m_code(code), m_text(text.Str()) {}

VeskExceptionCommon::VeskExceptionCommon(std::uint32_t code, TextOrId text) : m_code(code), m_text(text.Str()) {}

std::string VeskExceptionCommon::GetMessageText() const {
    const std::string system = Trim(GetSystemErrorText(m_code));
    if (!system.empty()) return Trim(Format("%s (%#x)\n\n%s", system.c_str(), m_code, m_text.c_str()));
    return Trim(Format("(%#x) %s", m_code, m_text.c_str()));
}

void VeskExceptionCommon::Save(VeskMemoryArchive& archive) const {
    VeskException::Save(archive);
    archive.WriteValueItem(m_code);
    archive.WriteStringItem(m_text);
}

void VeskExceptionCommon::Restore(VeskMemoryArchive& archive) {
    VeskException::Restore(archive);
    archive.ReadValueItem(m_code);
    archive.ReadStringItem(m_text);
}

}  // namespace mailwright::Error
