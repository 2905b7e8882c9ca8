#pragma once
// Small owners for Windows handles, so that no path leaks one.
#include <windows.h>
#include <winsvc.h>

#include <utility>

template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;
    UniqueResource() = default;
    explicit UniqueResource(Type value) : value_(value) {}
    ~UniqueResource() { Reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    Type Get() const { return value_; }
    bool Valid() const { return Traits::IsValid(value_); }
    explicit operator bool() const { return Valid(); }
    Type Release() { return std::exchange(value_, Traits::Invalid()); }
    void Reset(Type value = Traits::Invalid())
    {
        if (Traits::IsValid(value_)) Traits::Close(value_);
        value_ = value;
    }
    Type* Put()
    {
        Reset();
        return &value_;
    }

private:
    Type value_ = Traits::Invalid();
};

struct KernelHandleTraits {  // CreateFile style: INVALID_HANDLE_VALUE and 0 both mean none
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Type h) { CloseHandle(h); }
};
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Type h) { FindClose(h); }
};
struct ChangeNotifyTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Type h) { FindCloseChangeNotification(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { RegCloseKey(h); }
};
struct ScHandleTraits {
    using Type = SC_HANDLE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { CloseServiceHandle(h); }
};
struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { FreeLibrary(h); }
};
struct LocalMemTraits {
    using Type = HLOCAL;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { LocalFree(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueChangeNotify = UniqueResource<ChangeNotifyTraits>;
using UniqueRegKey = UniqueResource<RegKeyTraits>;
using UniqueScHandle = UniqueResource<ScHandleTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueLocal = UniqueResource<LocalMemTraits>;

// Both handles of a process that CreateProcess filled in, closed together.
class UniqueProcessInformation {
public:
    UniqueProcessInformation() = default;
    ~UniqueProcessInformation() { Reset(); }
    UniqueProcessInformation(const UniqueProcessInformation&) = delete;
    UniqueProcessInformation& operator=(const UniqueProcessInformation&) = delete;
    PROCESS_INFORMATION* Put()
    {
        Reset();
        return &info_;
    }
    const PROCESS_INFORMATION& Get() const { return info_; }
    void Reset()
    {
        UniqueHandle process(info_.hProcess), thread(info_.hThread);
        info_ = {};
    }

private:
    PROCESS_INFORMATION info_{};
};

// COM for the calling thread, released in the destructor when this object
// initialised it (also when it was already initialised: every successful
// CoInitialize is paired).
class ComScope {
public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool Initialized() const { return initialized_; }
    bool IsNew() const { return isNew_; }

private:
    bool initialized_ = false;
    bool isNew_ = false;
};

// Releases a COM interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T* operator->() const { return ptr_; }
    T* Get() const { return ptr_; }
    T** Put()
    {
        Reset();
        return &ptr_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset()
    {
        if (ptr_) ptr_->Release();
        ptr_ = nullptr;
    }
    explicit operator bool() const { return ptr_ != nullptr; }

private:
    T* ptr_ = nullptr;
};
