// Records how it was started, for tests of programs the tray starts (a copy
// named "qrv_autorun.exe" stands in for the autorun manager): writes its
// command line, exactly as the system hands it over, to its own path +
// ".cmdline", then ends.
#include <windows.h>

#include <string>

int main()
{
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string file = std::string(self) + ".cmdline";
    const char* line = GetCommandLineA();
    HANDLE out = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(out, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
    CloseHandle(out);
    return 0;
}
