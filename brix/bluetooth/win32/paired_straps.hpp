// The straps paired in Windows' settings, found by the GATT services they expose.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace brix {

// One device interface of a paired device's GATT service: CreateFile opens it for the GATT
// functions.
struct ServiceInterface {
    std::wstring path;
    std::string address; // "AA:BB:CC:DD:EE:FF" as the path names it; empty when it does not
};

// The present interfaces of the service `service` (Windows makes each GATT service of a paired
// device an interface whose class is the service's UUID), in the system's order.
std::vector<ServiceInterface> findServiceInterfaces(const GUID& service);

// The device's address in an interface path, which names it as "_" and twelve hexadecimal
// digits (BTHLEDevice#{service}_Dev_VID&...&_c0ffee123456#...); empty when there is none.
std::string addressInPath(const std::wstring& path);

} // namespace brix
