#pragma once

#include <cstddef>
#include <vector>

// A sequence of plain values kept in blocks of a fixed size: growing never
// copies what is stored, so reading a year of order lines does not need twice
// its size for a moment as a doubling vector does. The first block grows as
// it fills, for the many small snapshots.
template <typename T>
class BlockVector
{
public:
    static constexpr std::size_t Shift = 13;
    static constexpr std::size_t BlockSize = std::size_t(1) << Shift;
    static constexpr std::size_t Mask = BlockSize - 1;

    std::size_t size() const { return m_size; }
    T& operator[](std::size_t i) { return m_blocks[i >> Shift][i & Mask]; }
    const T& operator[](std::size_t i) const { return m_blocks[i >> Shift][i & Mask]; }

    void push_back(const T& value)
    {
        if (m_blocks.empty() || m_blocks.back().size() == BlockSize) {
            m_blocks.emplace_back();
            if (m_blocks.size() > 1)
                m_blocks.back().reserve(BlockSize);
        }
        m_blocks.back().push_back(value);
        ++m_size;
    }

    void erase(std::size_t index)
    {
        for (std::size_t i = index; i + 1 < m_size; ++i)
            (*this)[i] = (*this)[i + 1];
        m_blocks.back().pop_back();
        if (m_blocks.back().empty())
            m_blocks.pop_back();
        --m_size;
    }

    void reserve(std::size_t n)
    {
        if (m_blocks.empty())
            m_blocks.emplace_back();
        if (m_blocks.size() == 1)
            m_blocks.front().reserve(n < BlockSize ? n : BlockSize);
    }

    void clear()
    {
        m_blocks.clear();
        m_blocks.shrink_to_fit();
        m_size = 0;
    }

private:
    std::vector<std::vector<T>> m_blocks;
    std::size_t m_size = 0;
};
