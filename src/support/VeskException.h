#pragma once
#include <cstdint>
#include <string>

#include "support/TextOrId.h"

namespace mailwright {

class VeskMemoryArchive;

namespace Error {

// A failure reported to the user: where it was raised and, in the kinds below, what
// to say. Thrown by value, caught by reference, shown with ReportError.
class VeskException {
public:
    VeskException(TextOrId file, TextOrId function, std::int32_t line);
    VeskException(TextOrId file, std::int32_t line);
    virtual ~VeskException() = default;

    virtual int GetKind() const = 0;
    virtual std::string GetMessageText() const = 0;
    virtual VeskException* Clone() const = 0;
    virtual void Save(VeskMemoryArchive& archive) const;
    virtual void Restore(VeskMemoryArchive& archive);

    // Shows the exception in the modal error box and returns the box's result.
    int ReportError() const;

    const std::string& GetFile() const { return m_file; }
    const std::string& GetFunction() const { return m_function; }
    std::int32_t GetLine() const { return m_line; }

protected:
    VeskException() = default;
    VeskException(const VeskException&) = default;
    VeskException& operator=(const VeskException&) = default;

    std::string m_file;
    std::string m_function;
    std::int32_t m_line = 0;
};

// An exception that carries the message shown to the user.
class VeskExceptionText : public VeskException {
public:
    VeskExceptionText(TextOrId text, TextOrId file, TextOrId function, std::int32_t line);
    explicit VeskExceptionText(TextOrId text);
    VeskExceptionText(const VeskExceptionText&) = default;

    int GetKind() const override { return 4; }
    std::string GetMessageText() const override { return m_text; }
    VeskException* Clone() const override { return new VeskExceptionText(*this); }
    void Save(VeskMemoryArchive& archive) const override;
    void Restore(VeskMemoryArchive& archive) override;

private:
    std::string m_text;
};

// An exception that carries an error code (a Windows error code or an HRESULT) and a text.
class VeskExceptionCommon : public VeskException {
public:
    VeskExceptionCommon(std::uint32_t code, TextOrId text, TextOrId file, TextOrId function, std::int32_t line);
    VeskExceptionCommon(std::uint32_t code, TextOrId text);
    VeskExceptionCommon(const VeskExceptionCommon&) = default;

    int GetKind() const override { return 2; }
    std::string GetMessageText() const override;
    VeskException* Clone() const override { return new VeskExceptionCommon(*this); }
    void Save(VeskMemoryArchive& archive) const override;
    void Restore(VeskMemoryArchive& archive) override;

    std::uint32_t GetCode() const { return m_code; }

private:
    std::uint32_t m_code = 0;
    std::string m_text;
};

}  // namespace Error

// The system's message text for an error code; empty for 0 and for unknown codes.
std::string GetSystemErrorText(std::uint32_t code);

}  // namespace mailwright
