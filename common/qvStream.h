#pragma once
// A seekable byte source, and one over memory; the file form lives with the
// code that opens files.
#include <cstdint>
#include <cstring>
#include <string>

class TStream {
public:
    virtual ~TStream() = default;
    virtual int64_t Size() = 0;
    virtual int64_t Position() = 0;
    virtual void Seek(int64_t position) = 0;
    // Bytes read, 0 at the end; a read failure raises.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
};

class TMemoryStream : public TStream {
public:
    explicit TMemoryStream(std::string bytes = {}) : bytes_(std::move(bytes)) {}
    int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
    int64_t Position() override { return position_; }
    void Seek(int64_t position) override { position_ = position; }
    int64_t Read(void* buffer, int64_t count) override
    {
        int64_t left = Size() - position_;
        int64_t n = count < left ? count : left;
        if (n <= 0) return 0;
        std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(n));
        position_ += n;
        return n;
    }

private:
    std::string bytes_;
    int64_t position_ = 0;
};
