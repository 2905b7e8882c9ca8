#include "qvErrors.h"

#include <windows.h>

std::string SysErrorText(uint32_t code)
{
    char buffer[512] = {};
    DWORD len = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                               nullptr, code, 0, buffer, sizeof(buffer), nullptr);
    std::string text(buffer, len);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

std::string WindowsErrorText(uint32_t code)
{
    return "Windows error " + std::to_string(code) + " (" + SysErrorText(code) + ")";
}

std::string OSErrorMessage(uint32_t code)
{
    return "System Error.  Code: " + std::to_string(code) + ".\r\n" + SysErrorText(code);
}

void RaiseOSError(uint32_t code)
{
    throw EOSError(code, OSErrorMessage(code));
}

void RaiseLastOSError()
{
    RaiseOSError(GetLastError());
}
