#pragma once
// Shared pieces of the test programs: scratch folders, helper programs,
// processes started and ended by the tests.
#include <windows.h>

#include <string>

// A fresh folder under %TEMP%, removed with everything in it at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return path_; }  // no trailing "\"
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

void RemoveTree(const std::string& path);
// Full path of a program built beside the test program (a helper).
std::string HelperPath(const std::string& exeName);
bool WriteTextFile(const std::string& path, const std::string& bytes);

// Links made as a user of the machine makes them: Unix "ln" between the Unix
// names of both paths (Wine's own link calls make nothing). The symbolic
// link stands for a junction or symbolic link, the hard link for a hard link
// to a file the user may read. True once the link is there.
bool MakeLink(const std::string& link, const std::string& target);
bool MakeHardLink(const std::string& link, const std::string& target);
// Removes the link itself: Wine's delete would act on what it points to.
bool RemoveLink(const std::string& link);
// A key made a registry link to a machine key (root and key are the link's
// place), as a user may make one in their own hive. True once it is there.
bool MakeRegistryLink(HKEY root, const std::string& key, const std::string& machineKey);
std::string ReadTextFile(const std::string& path);

// A started process, ended (if still running) when the object goes.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool Start(const std::string& exePath, const std::string& args = "");
    bool Running() const;
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    // Exit code once ended; STILL_ACTIVE while running.
    DWORD Wait(DWORD timeoutMs);
    void Kill();

private:
    PROCESS_INFORMATION info_{};
};

// Polls the condition every 10 ms until it holds or the time runs out.
template <typename Cond>
bool WaitUntil(Cond cond, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (cond()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
}
