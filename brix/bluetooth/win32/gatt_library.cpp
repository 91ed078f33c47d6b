// Finds the GATT functions in BluetoothApis.dll by name.
#include "bluetooth/win32/gatt_library.hpp"

namespace brix::gatt {

namespace {

template <typename Function>
bool resolve(HMODULE dll, const char* name, Function& function, std::string& error) {
    // GetProcAddress hands out a generic pointer; the declared type is the documented one.
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    if (function == nullptr) error = std::string("BluetoothApis.dll lacks ") + name;
    return function != nullptr;
}

// Whether `dll` is Wine's own BluetoothApis.dll, whose functions end the process when called:
// under Wine (ntdll names its version), one loaded from the system folder.
bool wineBuiltin(HMODULE dll) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) return false;
    wchar_t path[MAX_PATH], system[MAX_PATH];
    const DWORD length = GetModuleFileNameW(dll, path, MAX_PATH);
    const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || systemLength == 0 || systemLength >= MAX_PATH)
        return true;
    return CompareStringOrdinal(path, static_cast<int>(systemLength), system,
                                static_cast<int>(systemLength), TRUE) == CSTR_EQUAL;
}

} // namespace

bool Library::load(std::string& error) {
    if (getServices != nullptr) return true;
    // The system's own, or a stand-in beside the program (the tests put one there).
    HMODULE dll = LoadLibraryW(L"BluetoothApis.dll");
    if (dll == nullptr) {
        error = "BluetoothApis.dll is not there: Bluetooth LE needs Windows 8 or later";
        return false;
    }
    if (wineBuiltin(dll)) {
        FreeLibrary(dll);
        error = "Wine offers no Bluetooth LE (its BluetoothApis.dll only stands in for the "
                "system's); a strap works when halvent runs on Windows itself";
        return false;
    }
    Library found;
    const bool all =
        resolve(dll, "BluetoothGATTGetServices", found.getServices, error) &&
        resolve(dll, "BluetoothGATTGetCharacteristics", found.getCharacteristics, error) &&
        resolve(dll, "BluetoothGATTGetDescriptors", found.getDescriptors, error) &&
        resolve(dll, "BluetoothGATTGetDescriptorValue", found.getDescriptorValue, error) &&
        resolve(dll, "BluetoothGATTSetDescriptorValue", found.setDescriptorValue, error) &&
        resolve(dll, "BluetoothGATTSetCharacteristicValue", found.setCharacteristicValue, error) &&
        resolve(dll, "BluetoothGATTRegisterEvent", found.registerEvent, error) &&
        resolve(dll, "BluetoothGATTUnregisterEvent", found.unregisterEvent, error) &&
        resolve(dll, "BluetoothFindFirstRadio", found.findFirstRadio, error) &&
        resolve(dll, "BluetoothFindRadioClose", found.findRadioClose, error);
    if (!all) {
        error += ": Bluetooth LE needs Windows 8 or later";
        FreeLibrary(dll);
        return false;
    }
    *this = found;
    return true;
}

bool Library::radioPresent() const {
    FindRadioParams params{sizeof(FindRadioParams)};
    HANDLE radio = nullptr;
    HANDLE find = findFirstRadio(&params, &radio);
    if (find == nullptr) return false;
    CloseHandle(radio);
    findRadioClose(find);
    return true;
}

} // namespace brix::gatt
