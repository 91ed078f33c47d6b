// Bluetooth addresses as the user writes them, checked the same way on every system.
#include "bluetooth/ble_source.hpp"

#include <cctype>

namespace brix {

bool isBluetoothAddress(const std::string& text) {
    if (text.size() != 17) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool colon = i % 3 == 2;
        if (colon ? text[i] != ':' : !std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

} // namespace brix
