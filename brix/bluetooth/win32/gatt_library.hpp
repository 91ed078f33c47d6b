// BluetoothApis.dll loaded at run time, so that the program starts on systems without it.
#pragma once

#include "bluetooth/win32/gatt_api.hpp"

#include <string>

namespace brix::gatt {

// The functions the strap source calls; all set once load() succeeded.
struct Library {
    GetServicesFn getServices = nullptr;
    GetCharacteristicsFn getCharacteristics = nullptr;
    GetDescriptorsFn getDescriptors = nullptr;
    GetDescriptorValueFn getDescriptorValue = nullptr;
    SetDescriptorValueFn setDescriptorValue = nullptr;
    SetCharacteristicValueFn setCharacteristicValue = nullptr;
    RegisterEventFn registerEvent = nullptr;
    UnregisterEventFn unregisterEvent = nullptr;
    FindFirstRadioFn findFirstRadio = nullptr;
    FindRadioCloseFn findRadioClose = nullptr;

    // Loads the DLL the first time; false, with the reason in `error`, when it or one of the
    // functions is missing (Windows before 8). The DLL stays loaded for the process.
    bool load(std::string& error);
    // Whether the system has a Bluetooth radio that is switched on: an adapter that is off or
    // disabled is not listed.
    bool radioPresent() const;
};

} // namespace brix::gatt
