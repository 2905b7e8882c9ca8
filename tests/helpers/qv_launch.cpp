// Starts a program and waits for it, for tests that need a parent of a given
// name: a copy of this helper named "ServiceQuorvane.exe" plays the service.
//   qv_launch PROGRAM [ARGUMENTS...]    exit code: the program's, 255 when it could not start
#include <windows.h>

#include <string>

int main(int argc, char** argv)
{
    if (argc < 2) return 255;
    std::string commandLine = "\"" + std::string(argv[1]) + "\"";
    for (int i = 2; i < argc; ++i) commandLine += " " + std::string(argv[i]);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 255;
    WaitForSingleObject(info.hProcess, 60000);
    DWORD code = 255;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}
