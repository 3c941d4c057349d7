#pragma once
// A text that held a secret (the alternate account's password) and leaves
// nothing of it behind: its buffer is made once at the text's size, never
// grows, and is overwritten before it is freed. A copy has a buffer of its
// own, wiped in turn; a move wipes the buffer it leaves.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace quorvin::text {

// Overwrites `size` bytes in a way the optimiser keeps, however dead the
// bytes are afterwards.
void WipeBytes(void* bytes, std::size_t size);

template <typename CharT>
class BasicSecret {
public:
    BasicSecret() = default;
    explicit BasicSecret(std::basic_string_view<CharT> text) : text_(text) {}
    // `size` NULs, to be written through data().
    explicit BasicSecret(std::size_t size) : text_(size, CharT()) {}

    BasicSecret(const BasicSecret& other) : text_(other.text_) {}
    BasicSecret(BasicSecret&& other) noexcept : text_(std::move(other.text_)) { other.Wipe(); }
    BasicSecret& operator=(const BasicSecret& other) {
        if (this != &other) {
            Wipe();
            text_ = other.text_;
        }
        return *this;
    }
    BasicSecret& operator=(BasicSecret&& other) noexcept {
        if (this != &other) {
            Wipe();
            text_ = std::move(other.text_);
            other.Wipe();
        }
        return *this;
    }
    ~BasicSecret() { Wipe(); }

    // Overwrites the whole buffer, spare room included, and leaves the
    // text empty in it.
    void Wipe() {
        WipeBytes(text_.data(), text_.capacity() * sizeof(CharT));
        text_.clear();
    }

    CharT* data() { return text_.data(); }
    const CharT* data() const { return text_.data(); }
    const CharT* c_str() const { return text_.c_str(); }
    std::size_t size() const { return text_.size(); }
    std::basic_string_view<CharT> view() const { return text_; }

private:
    std::basic_string<CharT> text_;
};

using Secret = BasicSecret<char>;
using WideSecret = BasicSecret<wchar_t>;

}  // namespace quorvin::text
