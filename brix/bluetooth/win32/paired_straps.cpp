// Device interfaces through SetupDi, the way Windows lists the GATT services of paired devices.
#include "bluetooth/win32/paired_straps.hpp"

#include <setupapi.h>

#include <cwctype>

namespace brix {

std::vector<ServiceInterface> findServiceInterfaces(const GUID& service) {
    std::vector<ServiceInterface> found;
    HDEVINFO set =
        SetupDiGetClassDevsW(&service, nullptr, nullptr, DIGCF_DEVICEINTERFACE | DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return found;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &service, index, &data);
         ++index) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
        // The detail is a size field and the path after it, in one block of `size` bytes.
        std::vector<unsigned char> block(size);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(block.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr)) continue;
        ServiceInterface entry;
        entry.path = detail->DevicePath;
        entry.address = addressInPath(entry.path);
        found.push_back(std::move(entry));
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

std::string addressInPath(const std::wstring& path) {
    std::string address;
    for (std::size_t at = path.find(L'_'); at != std::wstring::npos; at = path.find(L'_', at + 1)) {
        std::size_t digits = 0;
        while (at + 1 + digits < path.size() && std::iswxdigit(path[at + 1 + digits]) != 0)
            ++digits;
        if (digits != 12) continue;
        address.clear();
        for (std::size_t i = 0; i < 12; ++i) {
            if (i > 0 && i % 2 == 0) address += ':';
            address += static_cast<char>(std::towupper(path[at + 1 + i]));
        }
    }
    return address; // the last such run: the device's, after the service's own numbers
}

} // namespace brix
