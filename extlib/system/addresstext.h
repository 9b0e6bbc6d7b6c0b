// The text of hardware addresses shared by M_MACADAPW and M_MACNBIOW: each
// address as six hexadecimal byte pairs joined by hyphens (17 characters),
// the addresses one after the other with no separator, at most 17 of them.
#pragma once

#include <cstdint>
#include <cstdio>

namespace marvo {

class AddressText {
  public:
    static constexpr int kMaxAddresses = 17;
    static constexpr int kAddressLength = 17;

    bool full() const { return count_ >= kMaxAddresses; }
    int count() const { return count_; }
    const char* text() const { return text_; }

    // Appends the first six bytes of an address; ignored once full.
    void append(const uint8_t* address)
    {
        if (full())
            return;
        std::snprintf(text_ + kAddressLength * count_, sizeof text_ - kAddressLength * count_,
                      "%02X-%02X-%02X-%02X-%02X-%02X", address[0], address[1], address[2],
                      address[3], address[4], address[5]);
        ++count_;
    }

  private:
    char text_[300] = {};
    int count_ = 0;
};

} // namespace marvo
