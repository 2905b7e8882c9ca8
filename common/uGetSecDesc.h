#pragma once
// The security descriptor of the system's server mailslots: full access for
// Administrators and Everyone, so a slot made by LocalSystem takes the user's
// messages and the reverse.
#include <windows.h>

#include <memory>

// Owns one descriptor with its ACL; Windows copies it when the slot is created.
class TSecDesc {
public:
    TSecDesc();
    ~TSecDesc();
    TSecDesc(const TSecDesc&) = delete;
    TSecDesc& operator=(const TSecDesc&) = delete;
    PSECURITY_DESCRIPTOR Get() { return valid_ ? &descriptor_ : nullptr; }
    bool Valid() const { return valid_; }

private:
    SECURITY_DESCRIPTOR descriptor_{};
    alignas(8) BYTE acl_[256]{};
    PSID admins_ = nullptr;
    PSID everyone_ = nullptr;
    bool valid_ = false;
};

std::unique_ptr<TSecDesc> GetSecDesc();
