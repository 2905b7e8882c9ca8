#pragma once
// The user at the console, seen from the service: name, SID, and starting a
// program in that user's session.
#include <cstdint>
#include <string>

#include "qvHandles.h"

// The token of the user logged on at the console; false when there is none.
bool QueryConsoleUserToken(UniqueHandle& token);

std::string GetConsoleUserName();  // empty when nobody is logged on at the console
// Both empty on any failure.
bool GetConsoleUserSidAndName(std::string& sid, std::string& name);
// The console user's TEMP folder from that user's environment, without a
// trailing ""; empty when nobody is logged on or it cannot be read.
std::string GetConsoleUserTempFolder();
// The user's profile folder as the machine's profile list names it for the
// SID (a place the user cannot change), expanded, without a trailing "\";
// empty when unknown.
std::string GetUserProfileFolder(const std::string& sid);
// Starts the program as the console user on "winsta0\default"; the new
// process id, 0 on failure.
uint32_t RunFileAsConsoleUser(const std::string& program, const std::string& commandLine, uint32_t creationFlags);
