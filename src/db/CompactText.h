#pragma once
// A text in 16 bytes: up to 14 bytes inside, longer ones on the heap. The
// records of a configuration hold millions of short texts (phone numbers,
// key codes, parameter values, most of them empty or a few characters), and
// a std::string takes twice the room for each. CBasicCompactText<24> keeps
// up to 22 bytes inside (a tree item's label).
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tornu {

template <std::size_t Size> class CBasicCompactText {
    static_assert(Size >= 16 && Size <= 128);

public:
    CBasicCompactText() noexcept { bytes_[kTag] = 0; }
    CBasicCompactText(std::string_view text) { Store(text); }
    CBasicCompactText(const CBasicCompactText& other) { Store(other.View()); }
    CBasicCompactText(CBasicCompactText&& other) noexcept {
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.bytes_[kTag] = 0;
    }
    CBasicCompactText& operator=(const CBasicCompactText& other) { return *this = other.View(); }
    CBasicCompactText& operator=(CBasicCompactText&& other) noexcept {
        if (this != &other) {
            Release();
            std::memcpy(bytes_, other.bytes_, sizeof bytes_);
            other.bytes_[kTag] = 0;
        }
        return *this;
    }
    CBasicCompactText& operator=(std::string_view text) {
        // A copy first: `text` may lie inside this object's own heap block.
        CBasicCompactText copy(text);
        return *this = std::move(copy);
    }
    ~CBasicCompactText() { Release(); }

    std::string_view View() const {
        if (IsInline())
            return {bytes_, static_cast<std::size_t>(bytes_[kTag])};
        return {HeapData(), HeapSize()};
    }
    operator std::string_view() const { return View(); }
    std::string Str() const { return std::string(View()); }
    bool empty() const { return View().empty(); }
    std::size_t size() const { return View().size(); }
    bool operator==(std::string_view text) const { return View() == text; }

private:
    static constexpr std::size_t kTag = Size - 1;
    static constexpr char kHeap = static_cast<char>(0x80);

    bool IsInline() const { return bytes_[kTag] != kHeap; }
    char* HeapData() const {
        char* data;
        std::memcpy(&data, bytes_, sizeof data);
        return data;
    }
    std::uint32_t HeapSize() const {
        std::uint32_t size;
        std::memcpy(&size, bytes_ + sizeof(char*), sizeof size);
        return size;
    }
    void Store(std::string_view text) {
        if (text.size() < kTag) {
            if (!text.empty()) // an empty view may have no address
                std::memcpy(bytes_, text.data(), text.size());
            bytes_[kTag] = static_cast<char>(text.size());
            return;
        }
        char* data = new char[text.size()];
        std::memcpy(data, text.data(), text.size());
        const auto size = static_cast<std::uint32_t>(text.size());
        std::memcpy(bytes_, &data, sizeof data);
        std::memcpy(bytes_ + sizeof data, &size, sizeof size);
        bytes_[kTag] = kHeap;
    }
    void Release() {
        if (!IsInline())
            delete[] HeapData();
        bytes_[kTag] = 0;
    }

    char bytes_[Size];
};

using CCompactText = CBasicCompactText<16>;

} // namespace tornu
