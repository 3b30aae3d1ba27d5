// Binary file access. Every loader reads through IFile, made by the one
// CFileSystem; INormalFile wraps a buffered standard-I/O stream.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/input_file.h"

class IFile {
public:
    virtual ~IFile() = default;
    virtual void Open(const char* path, const char* mode) { (void)path; (void)mode; }
    virtual void Close() {}
    virtual void Seek(int64_t offset, int origin) { (void)offset; (void)origin; }
    virtual void Read(int32_t size, void* buffer) { (void)size; (void)buffer; }
    virtual void ReadShortsLE(int32_t count, uint16_t* values) { (void)count; (void)values; }
    virtual void ReadShortsBE(int32_t count, uint16_t* values) { (void)count; (void)values; }
    virtual void ReadLongsLE(int32_t count, uint32_t* values) { (void)count; (void)values; }
    virtual void Write(int32_t size, const void* buffer) { (void)size; (void)buffer; }
    virtual void WriteShortsLE(int32_t count, const uint16_t* values) { (void)count; (void)values; }
    virtual void WriteLongsLE(int32_t count, const uint32_t* values) { (void)count; (void)values; }
    virtual int64_t Tell() { return 0; }
    virtual void Print(const char* text) { (void)text; }
    virtual bool IsOpen() { return false; }
};

class INormalFile : public IFile {
public:
    INormalFile() = default;
    ~INormalFile() override;
    INormalFile(const INormalFile&) = delete;
    INormalFile& operator=(const INormalFile&) = delete;

    void Open(const char* path, const char* mode) override;
    void Close() override;
    void Seek(int64_t offset, int origin) override;
    void Read(int32_t size, void* buffer) override;
    void ReadShortsLE(int32_t count, uint16_t* values) override;
    void ReadShortsBE(int32_t count, uint16_t* values) override;
    void ReadLongsLE(int32_t count, uint32_t* values) override;
    void Write(int32_t size, const void* buffer) override;
    void WriteShortsLE(int32_t count, const uint16_t* values) override;
    void WriteLongsLE(int32_t count, const uint32_t* values) override;
    int64_t Tell() override;
    void Print(const char* text) override;
    bool IsOpen() override;

    // Why the last Open failed, when it did.
    const SInputError& OpenError() const { return m_openError; }

private:
    FILE* m_handle = nullptr;
    SInputError m_openError;
};

class CFileSystem {
public:
    // Never null; the file is not open when the path could not be opened
    // or is not a regular file (see input_file.h), and *why then says why.
    // The caller owns the object.
    IFile* OpenFile(const char* path, SInputError* why = nullptr);
};

extern CFileSystem g_fileSystem;

// Every byte of an open file, from its start. False, with the reason for the
// user in *error, when there is no memory for them or they cannot all be
// read (*bytes then holds what could).
bool ReadAll(IFile* file, std::vector<uint8_t>* bytes, std::string* error);
