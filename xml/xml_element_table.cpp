#include "xml/xml_element_table.h"

#include <algorithm>
#include <cstring>

namespace xml_detail {

void ElementTable::Reset(std::size_t capacity) {
    pages_.clear();
    capacity_ = 0;
    size_ = 0;
    Reserve(std::max<std::size_t>(capacity, 1));
    ElementRecord& document = (*this)[Add()];
    std::memset(&document, 0, sizeof(document));
}

void ElementTable::Grow() {
    Reserve(capacity_ + std::max<std::size_t>(capacity_ / 2, 1));
}

// Full pages stay where they are; only a partly used last page is reallocated (and copied)
// when it has to hold more records.
void ElementTable::Reserve(std::size_t capacity) {
    std::size_t pageStart = 0;
    for (std::size_t page = 0; pageStart < capacity; ++page, pageStart += kPageSize) {
        std::size_t oldRecords =
            capacity_ > pageStart ? std::min(capacity_ - pageStart, kPageSize) : 0;
        std::size_t newRecords = std::min(capacity - pageStart, kPageSize);
        if (newRecords == oldRecords) {
            continue;
        }
        auto records = std::make_unique_for_overwrite<ElementRecord[]>(newRecords);
        if (oldRecords > 0) {
            std::memcpy(records.get(), pages_[page].get(), oldRecords * sizeof(ElementRecord));
            pages_[page] = std::move(records);
        } else {
            pages_.push_back(std::move(records));
        }
    }
    capacity_ = capacity;
}

}  // namespace xml_detail
