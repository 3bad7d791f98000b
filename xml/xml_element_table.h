// The element table: one record per element, addressed by index, stored in pages so that
// growing it never moves the records already written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace xml_detail {

// Where one element lies in the document. Record 0 stands for the document itself.
struct ElementRecord {
    // Flags kept above the depth in `levelAndFlags`.
    static constexpr uint32_t kDepthMask = 0xFFFF;
    static constexpr uint32_t kFirstChild = 1u << 16;
    static constexpr uint32_t kNeverEnded = 1u << 17;
    static constexpr uint32_t kIllFormedContent = 1u << 18;
    static constexpr uint32_t kDocumentIllFormed = 1u << 19;  // record 0 only
    static constexpr uint32_t kMaxStartTagLength = (1u << 22) - 1;
    static constexpr uint32_t kMaxEndTagLength = (1u << 10) - 1;
    static constexpr uint32_t kMaxDepth = kDepthMask;

    int32_t start;   // offset of the start tag's "<"
    int32_t length;  // through the end tag's ">", or the start tag alone
    uint32_t startTagLength : 22;
    uint32_t endTagLength : 10;  // 0 for an empty-element tag or an element never ended
    uint32_t levelAndFlags;      // nesting depth where the start tag was written, and flags
    int32_t parent;              // 0 for the document level
    int32_t firstChild;          // 0 = none
    int32_t nextSibling;         // 0 = none
    int32_t previousSibling;     // for a first child: the last child of the same parent

    bool HasFlag(uint32_t flag) const { return (levelAndFlags & flag) != 0; }
    void SetFlag(uint32_t flag) { levelAndFlags |= flag; }
    void ClearFlag(uint32_t flag) { levelAndFlags &= ~flag; }
};

class ElementTable {
public:
    static constexpr std::size_t kPageShift = 16;
    static constexpr std::size_t kPageSize = std::size_t{1} << kPageShift;

    // Empties the table, gives it room for `capacity` records and adds record 0, cleared.
    void Reset(std::size_t capacity);

    // Index of a new record at the end of the table; its fields are for the caller to fill.
    int32_t Add() {
        if (size_ == capacity_) {
            Grow();
        }
        return static_cast<int32_t>(size_++);
    }

    ElementRecord& operator[](int32_t index) {
        return pages_[static_cast<std::size_t>(index) >> kPageShift][index & (kPageSize - 1)];
    }
    const ElementRecord& operator[](int32_t index) const {
        return pages_[static_cast<std::size_t>(index) >> kPageShift][index & (kPageSize - 1)];
    }

    std::size_t Size() const { return size_; }
    std::size_t Capacity() const { return capacity_; }
    std::size_t Bytes() const { return capacity_ * sizeof(ElementRecord); }

private:
    void Grow();
    void Reserve(std::size_t capacity);

    std::vector<std::unique_ptr<ElementRecord[]>> pages_;
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
};

}  // namespace xml_detail
