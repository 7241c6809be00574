#include "net/MyBuffer.h"

#include <cstdlib>
#include <cstring>

CMyBuffer::CMyBuffer(const CMyBuffer& other)
{
    if (other.m_pData == nullptr)
        return;
    m_pData = static_cast<char*>(std::malloc(other.m_uCapacity));
    if (m_pData == nullptr)
        return; // out of memory: the copy stays empty
    std::memcpy(m_pData, other.m_pData, other.m_uCapacity);
    m_uUsed = other.m_uUsed;
    m_uCapacity = other.m_uCapacity;
}

CMyBuffer::~CMyBuffer()
{
    Clear();
}

void CMyBuffer::Append(const void* pBytes, uint32_t uCount)
{
    if (pBytes == nullptr || uCount == 0)
        return;

    // At least one zero byte must follow the content, so the block grows while the new content
    // would reach its end. The capacity is a 32-bit count: content that would not fit in it is
    // dropped, and the caller sees that the used count did not change.
    const uint64_t uNeeded = static_cast<uint64_t>(m_uUsed) + uCount;
    if (uNeeded >= m_uCapacity)
    {
        const uint64_t uSteps = uNeeded / GROW_BY + 1;
        const uint64_t uNewCapacity = uSteps * GROW_BY;
        if (uNewCapacity > UINT32_MAX)
            return;
        char* pNew = static_cast<char*>(std::calloc(1, static_cast<size_t>(uNewCapacity)));
        if (pNew == nullptr)
            return;
        if (m_pData != nullptr)
            std::memcpy(pNew, m_pData, m_uUsed);
        std::free(m_pData);
        m_pData = pNew;
        m_uCapacity = static_cast<uint32_t>(uNewCapacity);
    }
    std::memcpy(m_pData + m_uUsed, pBytes, uCount);
    m_uUsed += uCount;
}

void CMyBuffer::Clear()
{
    std::free(m_pData);
    m_pData = nullptr;
    m_uUsed = 0;
    m_uCapacity = 0;
}
