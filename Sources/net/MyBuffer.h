#pragma once

#include <cstddef>
#include <cstdint>

// The growable byte block that receives a download. Whenever it holds data, the bytes behind the
// used ones up to the capacity are zero, so the content can always be read as text. The capacity
// grows in steps of 1 MiB.
class CMyBuffer
{
public:
    static constexpr uint32_t GROW_BY = 1024 * 1024;

    CMyBuffer() = default;
    CMyBuffer(const CMyBuffer& other);
    CMyBuffer& operator=(const CMyBuffer& other) = delete;
    virtual ~CMyBuffer();

    // Appends n bytes (at most one read block, 10,239 bytes, or any amount: the buffer grows
    // by as many steps as needed).
    void Append(const void* pBytes, uint32_t uCount);
    void Clear();

    const char* GetData() const { return m_pData; }
    uint32_t GetUsed() const { return m_uUsed; }
    uint32_t GetCapacity() const { return m_uCapacity; }

private:
    char* m_pData = nullptr;
    uint32_t m_uUsed = 0;
    uint32_t m_uCapacity = 0;
};
