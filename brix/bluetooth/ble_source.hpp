// The Bluetooth LE heart-rate strap source: through BlueZ on the system bus (bluez/), or
// Windows' GATT functions for paired straps (win32/).
#pragma once

#include "link/sensor_source.hpp"

#include <memory>
#include <string>

namespace brix {

// A strap by its address ("AA:BB:CC:DD:EE:FF", either case), or with an empty address the
// first strap that advertises the Heart Rate service (on Windows: the first paired one).
// Problems with the system (no adapter, BlueZ not running, access refused, no strap paired)
// are told in one line on stderr; the source then keeps the pulse "switching on" and tries
// again now and then.
std::unique_ptr<SensorSource> makeBleSource(const std::string& address);

// Whether `text` is a Bluetooth address of six hexadecimal pairs separated by colons.
bool isBluetoothAddress(const std::string& text);

} // namespace brix
